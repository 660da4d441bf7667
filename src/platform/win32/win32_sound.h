// The sound port over the real DirectSound: "DSOUND.DLL" loaded at run time (a machine
// without it simply has no sound device), the device and its buffers behind wrappers
// whose AddRef and Release are the real ones (see win32_com.h).
// Depends on the sound port; the platform headers stay inside the source file.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/sound.h"

namespace nb::win32 {

class WrapperTable;

class Win32Sound final : public SoundSystem {
 public:
  Win32Sound();
  ~Win32Sound();
  Win32Sound(const Win32Sound&) = delete;
  Win32Sound& operator=(const Win32Sound&) = delete;

  // DSERR_NODRIVER when DSOUND.DLL or its entry point is missing.
  int32_t DirectSoundCreate(const GUID* device, DirectSound** out) override;

  size_t LiveWrappers() const;

 private:
  std::unique_ptr<WrapperTable> table_;
  void* module_ = nullptr;  // HMODULE of DSOUND.DLL
  bool triedLoading_ = false;
};

}  // namespace nb::win32
