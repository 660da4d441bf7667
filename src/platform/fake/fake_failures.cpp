// The usual failure of every port call, for failure sweeps.
#include "platform/fake/fake_failures.h"

#include "platform/registry.h"
#include "platform/result.h"
#include "platform/system.h"

namespace nb::fake {

namespace {

struct Typical {
  std::string_view name;
  int32_t result;
};

// Calls not listed fail with their interface's generic error.
constexpr Typical typicalFailures[] = {
    {"GraphicsSystem::DirectDrawEnumerateExA", DDERR_INVALIDPARAMS},
    {"GraphicsSystem::DirectDrawCreate", DDERR_NODIRECTDRAWHW},
    {"DirectDraw::QueryInterface", E_NOINTERFACE},
    {"DirectDraw::SetCooperativeLevel", DDERR_EXCLUSIVEMODEALREADYSET},
    {"DirectDraw::SetDisplayMode", DDERR_UNSUPPORTEDMODE},
    {"DirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY},
    {"DirectDraw::CreatePalette", DDERR_OUTOFMEMORY},
    {"DirectDraw::TestCooperativeLevel", DDERR_NOEXCLUSIVEMODE},
    {"DirectDraw::FlipToGDISurface", DDERR_NOTFOUND},
    {"DrawSurface::QueryInterface", E_NOINTERFACE},
    {"DrawSurface::GetAttachedSurface", DDERR_NOTFOUND},
    {"DrawSurface::Flip", DDERR_SURFACELOST},
    {"DrawSurface::IsLost", DDERR_SURFACELOST},
    {"DrawSurface::Restore", DDERR_WRONGMODE},
    {"DrawSurface::GetDC", DDERR_CANTCREATEDC},
    {"DrawSurface::ReleaseDC", DDERR_NODC},
    {"DrawSurface::Blt", DDERR_SURFACELOST},
    {"DrawSurface::Lock", DDERR_SURFACELOST},
    {"DrawSurface::Unlock", DDERR_NOTLOCKED},
    {"DrawSurface::SetPalette", DDERR_INVALIDPIXELFORMAT},
    {"Direct3D::FindDevice", DDERR_NOTFOUND},
    {"Direct3D::EnumZBufferFormats", DDERR_NOZBUFFERHW},
    {"Direct3D::CreateDevice", D3DERR_INVALID_DEVICE},
    {"Direct3D::CreateViewport", DDERR_OUTOFMEMORY},
    {"Device3D::BeginScene", DDERR_SURFACELOST},
    {"Device3D::EndScene", D3DERR_SCENE_NOT_IN_SCENE},
    {"Device3D::SetCurrentViewport", D3DERR_VIEWPORTDATANOTSET},
    {"Device3D::DrawPrimitiveStrided", D3DERR_INVALIDVERTEXFORMAT},
    {"Viewport3D::GetViewport2", D3DERR_VIEWPORTDATANOTSET},
    {"Viewport3D::Clear2", DDERR_SURFACELOST},
    {"SoundSystem::DirectSoundCreate", DSERR_NODRIVER},
    {"DirectSound::SetCooperativeLevel", DSERR_ALLOCATED},
    {"DirectSound::CreateSoundBuffer", DSERR_OUTOFMEMORY},
    {"DirectSound::DuplicateSoundBuffer", DSERR_OUTOFMEMORY},
    {"SoundBuffer::GetStatus", DSERR_INVALIDPARAM},
    {"SoundBuffer::Play", DSERR_BUFFERLOST},
    {"SoundBuffer::Restore", DSERR_BUFFERLOST},
    {"SoundBuffer::Lock", DSERR_BUFFERLOST},
    {"SoundBuffer::Unlock", DSERR_INVALIDPARAM},
    {"Registry::RegOpenKeyExA", ERROR_FILE_NOT_FOUND},
    {"Registry::RegCreateKeyExA", ERROR_ACCESS_DENIED},
    {"Registry::RegQueryValueExA", ERROR_FILE_NOT_FOUND},
    {"Registry::RegSetValueExA", ERROR_ACCESS_DENIED},
    {"Registry::RegCloseKey", ERROR_INVALID_HANDLE},
    {"System::timeBeginPeriod", static_cast<int32_t>(TIMERR_NOCANDO)},
    {"System::timeEndPeriod", static_cast<int32_t>(TIMERR_NOCANDO)},
};

}  // namespace

int32_t TypicalFailure(std::string_view fullName) {
  for (const Typical& typical : typicalFailures) {
    if (typical.name == fullName) return typical.result;
  }
  if (fullName.starts_with("Registry::")) return ERROR_ACCESS_DENIED;
  if (fullName.starts_with("SoundSystem::") || fullName.starts_with("DirectSound::") ||
      fullName.starts_with("SoundBuffer::")) {
    return DSERR_GENERIC;
  }
  if (fullName.starts_with("DirectDraw::") || fullName.starts_with("DrawSurface::")) return DDERR_GENERIC;
  return E_FAIL;
}

}  // namespace nb::fake
