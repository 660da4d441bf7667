// DirectSound wrappers. The port's 20-byte buffer description is copied into the
// platform's own DSBUFFERDESC (which may be larger: later versions added a field), so the
// platform always reads a record of the size it declares.
#include "platform/win32/win32_sound.h"

#include "platform/guid.h"
#include "platform/result.h"
#include "platform/sound.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
// clang-format on

#include "platform/win32/win32_com.h"

namespace nb::win32 {

namespace {

using DirectSoundCreateFn = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

void* WrapSound(WrapperTable& table, const nb::GUID& iid, void* real);

template <class Port, class Real>
using Wrapper = PortWrapper<Port, Real, WrapSound>;

class BufferWrapper final : public Wrapper<SoundBuffer, IDirectSoundBuffer> {
 public:
  using PortWrapper::PortWrapper;
  int32_t GetStatus(uint32_t* status) override {
    if (!status) return DSERR_INVALIDPARAM;
    DWORD value = 0;
    const HRESULT result = real_->GetStatus(&value);
    *status = value;
    return result;
  }
  int32_t Play(uint32_t reserved, uint32_t priority, uint32_t flags) override {
    return real_->Play(reserved, priority, flags);
  }
  int32_t Stop() override { return real_->Stop(); }
  int32_t SetCurrentPosition(uint32_t position) override {
    return real_->SetCurrentPosition(position);
  }
  int32_t Restore() override { return real_->Restore(); }
  int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
               uint32_t* bytes2, uint32_t flags) override {
    DWORD size1 = 0;
    DWORD size2 = 0;
    const HRESULT result =
        real_->Lock(offset, bytes, part1, bytes1 ? &size1 : nullptr, part2,
                    bytes2 ? &size2 : nullptr, flags);
    if (bytes1) *bytes1 = size1;
    if (bytes2) *bytes2 = size2;
    return result;
  }
  int32_t Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) override {
    return real_->Unlock(part1, bytes1, part2, bytes2);
  }
};

class DeviceWrapper final : public Wrapper<DirectSound, IDirectSound> {
 public:
  using PortWrapper::PortWrapper;
  int32_t SetCooperativeLevel(Window window, uint32_t level) override {
    return real_->SetCooperativeLevel(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)),
                                      level);
  }
  int32_t CreateSoundBuffer(const nb::DSBUFFERDESC& desc, SoundBuffer** out) override {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    ::DSBUFFERDESC platform{};
    platform.dwSize = sizeof platform;
    platform.dwFlags = desc.dwFlags;
    platform.dwBufferBytes = desc.dwBufferBytes;
    platform.dwReserved = desc.dwReserved;
    platform.lpwfxFormat =
        const_cast<::WAVEFORMATEX*>(reinterpret_cast<const ::WAVEFORMATEX*>(desc.lpwfxFormat));
    IDirectSoundBuffer* buffer = nullptr;
    const HRESULT result = real_->CreateSoundBuffer(&platform, &buffer, nullptr);
    if (FAILED(result)) return result;
    if (!buffer) return DSERR_GENERIC;
    *out = Wrap<BufferWrapper>(table(), buffer);
    return result;
  }
  int32_t DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) override {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    BufferWrapper* source = Unwrap<BufferWrapper>(original);
    if (!source) return DSERR_INVALIDPARAM;
    IDirectSoundBuffer* copy = nullptr;
    const HRESULT result = real_->DuplicateSoundBuffer(source->real(), &copy);
    if (FAILED(result)) return result;
    if (!copy) return DSERR_GENERIC;
    *out = Wrap<BufferWrapper>(table(), copy);
    return result;
  }
};

void* WrapSound(WrapperTable& table, const nb::GUID& iid, void* real) {
  if (iid == IID_IDirectSound) {
    return static_cast<DirectSound*>(Wrap<DeviceWrapper>(table, static_cast<IDirectSound*>(real)));
  }
  if (iid == IID_IDirectSoundBuffer) {
    return static_cast<SoundBuffer*>(
        Wrap<BufferWrapper>(table, static_cast<IDirectSoundBuffer*>(real)));
  }
  if (ComWrapper* known = table.Find(real)) {
    if (auto* unknown = dynamic_cast<Unknown*>(known)) {
      known->HandedOut();
      return static_cast<void*>(unknown);
    }
  }
  auto* wrapper = new UnknownWrapper(table, static_cast<IUnknown*>(real), WrapSound);
  wrapper->HandedOut();
  return static_cast<Unknown*>(wrapper);
}

}  // namespace

Win32Sound::Win32Sound() : table_(std::make_unique<WrapperTable>()) {}

Win32Sound::~Win32Sound() {
  if (module_ && table_->LiveCount() == 0) FreeLibrary(static_cast<HMODULE>(module_));
}

int32_t Win32Sound::DirectSoundCreate(const GUID* device, DirectSound** out) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (!triedLoading_) {
    triedLoading_ = true;
    module_ = LoadLibraryA("DSOUND.DLL");
  }
  auto create = module_ ? reinterpret_cast<DirectSoundCreateFn>(reinterpret_cast<void*>(
                              GetProcAddress(static_cast<HMODULE>(module_), "DirectSoundCreate")))
                        : nullptr;
  if (!create) return DSERR_NODRIVER;
  IDirectSound* sound = nullptr;
  const HRESULT result = create(device ? &ToWin(*device) : nullptr, &sound, nullptr);
  if (FAILED(result)) return result;
  if (!sound) return DSERR_NODRIVER;
  *out = static_cast<DirectSound*>(WrapSound(*table_, IID_IDirectSound, sound));
  return result;
}

size_t Win32Sound::LiveWrappers() const { return table_->LiveCount(); }

}  // namespace nb::win32
