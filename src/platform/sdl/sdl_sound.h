// The sound port on SDL2_mixer: the default audio device as DirectSound, each secondary
// buffer one mixer channel (the bank's sixty voices are sixty channels), its bytes the
// wave's samples converted once to the device's format. Play, Stop, the play position and
// the playing status behave as DirectSound's: a buffer stopped keeps its position, one
// that played to its end starts from the beginning again. No audio device, no sound:
// DirectSoundCreate fails and the saver runs silent (said on the error stream). A device
// that goes away while the show runs (a sound server that ends or restarts) leaves every
// buffer silent, plays failing with DSERR_BUFFERLOST, until it can be opened again: tried
// at most once a second, each try quick, so that the show never waits for it.
// Depends on the sound port, SDL2 and SDL2_mixer.
#pragma once

#include <cstdint>

#include "platform/sound.h"

namespace nb {

class SdlSoundSystem final : public SoundSystem {
 public:
  // retryMs: the least time between two tries to open a device that went away.
  explicit SdlSoundSystem(uint32_t retryMs = 1000) : retryMs_(retryMs) {}
  SdlSoundSystem(const SdlSoundSystem&) = delete;
  SdlSoundSystem& operator=(const SdlSoundSystem&) = delete;

  // Opens the default audio device (only one DirectSound object at a time, as the saver
  // makes). DS_OK; DSERR_NODRIVER without an audio device; DSERR_ALLOCATED while one is
  // open; DSERR_INVALIDPARAM for a device other than the default.
  int32_t DirectSoundCreate(const GUID* device, DirectSound** out) override;

  // Whether a device is open now (for tests and reports).
  static bool DeviceOpen();

 private:
  uint32_t retryMs_;
};

}  // namespace nb
