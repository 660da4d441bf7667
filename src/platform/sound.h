// The sound ports: DirectSound (the device and its secondary buffers) in the shape of
// IDirectSound and IDirectSoundBuffer, with WAVEFORMATEX and DSBUFFERDESC in the
// platform's layout. Depends on result.h, guid.h, ref.h, handles.h; no platform headers.
#pragma once

#include <cstdint>

#include "platform/guid.h"
#include "platform/handles.h"
#include "platform/ref.h"
#include "platform/result.h"

namespace nb {

inline constexpr uint32_t DSSCL_NORMAL = 1;
inline constexpr uint32_t DSSCL_PRIORITY = 2;
inline constexpr uint32_t DSSCL_EXCLUSIVE = 3;
inline constexpr uint32_t DSSCL_WRITEPRIMARY = 4;

inline constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x00000001;
inline constexpr uint32_t DSBCAPS_STATIC = 0x00000002;
inline constexpr uint32_t DSBCAPS_LOCHARDWARE = 0x00000004;
inline constexpr uint32_t DSBCAPS_LOCSOFTWARE = 0x00000008;
inline constexpr uint32_t DSBCAPS_CTRL3D = 0x00000010;
inline constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x00000020;
inline constexpr uint32_t DSBCAPS_CTRLPAN = 0x00000040;
inline constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x00000080;
inline constexpr uint32_t DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100;
inline constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;

inline constexpr uint32_t DSBSTATUS_PLAYING = 0x00000001;
inline constexpr uint32_t DSBSTATUS_BUFFERLOST = 0x00000002;
inline constexpr uint32_t DSBSTATUS_LOOPING = 0x00000004;

inline constexpr uint32_t DSBPLAY_LOOPING = 0x00000001;
inline constexpr uint32_t DSBLOCK_FROMWRITECURSOR = 0x00000001;
inline constexpr uint32_t DSBLOCK_ENTIREBUFFER = 0x00000002;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

// Packed as the platform packs it (18 bytes): the body of a wave file's "fmt " chunk can
// be used in place.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// DirectX 6 buffer description (20 bytes on 32-bit Windows; write sizeof(DSBUFFERDESC)).
struct DSBUFFERDESC {
  uint32_t dwSize;
  uint32_t dwFlags;
  uint32_t dwBufferBytes;
  uint32_t dwReserved;
  const WAVEFORMATEX* lpwfxFormat;
};
static_assert(sizeof(void*) != 4 || sizeof(DSBUFFERDESC) == 20);

// IDirectSoundBuffer: one secondary buffer (a voice).
class SoundBuffer : public Unknown {
 public:
  // DSBSTATUS_* bits into *status. DS_OK, DSERR_INVALIDPARAM.
  virtual int32_t GetStatus(uint32_t* status) = 0;
  // Starts playing from the current position; reserved and priority 0, flags
  // DSBPLAY_LOOPING or 0. DS_OK, DSERR_BUFFERLOST, DSERR_INVALIDCALL.
  virtual int32_t Play(uint32_t reserved, uint32_t priority, uint32_t flags) = 0;
  // Stops; the position stays where it was. DS_OK.
  virtual int32_t Stop() = 0;
  // Moves the play position to a byte offset. DS_OK, DSERR_INVALIDPARAM.
  virtual int32_t SetCurrentPosition(uint32_t position) = 0;
  // Gets the memory of a lost buffer back (contents undefined). DS_OK,
  // DSERR_BUFFERLOST while it still cannot be restored.
  virtual int32_t Restore() = 0;
  // Maps bytes of the buffer starting at offset for writing, in up to two parts (the
  // second is the wrap to the start; null and 0 when there is none). flags DSBLOCK_*.
  // DS_OK, DSERR_BUFFERLOST, DSERR_INVALIDPARAM, DSERR_INVALIDCALL.
  virtual int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1,
                       void** part2, uint32_t* bytes2, uint32_t flags) = 0;
  // Ends a Lock with the parts and the byte counts written. DS_OK, DSERR_INVALIDPARAM.
  virtual int32_t Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) = 0;
};

// IDirectSound: the sound device.
class DirectSound : public Unknown {
 public:
  // DSSCL_* for the program's window. DS_OK, DSERR_ALLOCATED, DSERR_INVALIDPARAM.
  virtual int32_t SetCooperativeLevel(Window window, uint32_t level) = 0;
  // A secondary buffer of desc.dwBufferBytes in desc's format, one reference in *out.
  // DS_OK, DSERR_INVALIDPARAM, DSERR_BADFORMAT, DSERR_OUTOFMEMORY, DSERR_PRIOLEVELNEEDED.
  virtual int32_t CreateSoundBuffer(const DSBUFFERDESC& desc, SoundBuffer** out) = 0;
  // A second buffer sharing original's sample memory, stopped at position 0.
  // DS_OK, DSERR_INVALIDPARAM, DSERR_OUTOFMEMORY, DSERR_INVALIDCALL.
  virtual int32_t DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) = 0;
};

class SoundSystem {
 public:
  // The sound device for device (null: the default device), one reference in *out.
  // DS_OK, DSERR_NODRIVER, DSERR_ALLOCATED, DSERR_OUTOFMEMORY.
  virtual int32_t DirectSoundCreate(const GUID* device, DirectSound** out) = 0;

 protected:
  ~SoundSystem() = default;
};

}  // namespace nb
