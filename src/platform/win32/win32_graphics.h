// The graphics port over the real DirectDraw and Direct3D of DirectX 6: "DDRAW.DLL" loaded
// at run time (a machine without it reports the module as missing instead of failing to
// load the program), its drivers enumerated with DirectDrawEnumerateExA (DirectDrawEnumerateA
// where the Ex entry point is missing), and every real object (IDirectDraw4,
// IDirectDrawSurface4 with its IDirect3DTexture2 face, IDirectDrawPalette, IDirect3D3,
// IDirect3DDevice3, IDirect3DViewport3) behind one wrapper whose AddRef and Release are the
// real ones (see win32_com.h).
// Depends on the graphics port; the platform headers stay inside the source file.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/graphics.h"

namespace nb::win32 {

class WrapperTable;

class Win32Graphics final : public GraphicsSystem {
 public:
  Win32Graphics();
  ~Win32Graphics();
  Win32Graphics(const Win32Graphics&) = delete;
  Win32Graphics& operator=(const Win32Graphics&) = delete;

  // Loads "DDRAW.DLL" the first time; true when it is (or already was) loaded.
  bool IsDirectDrawLoaded() override;
  int32_t DirectDrawEnumerateExA(DDENUMCALLBACKEXA callback, void* context,
                                 uint32_t flags) override;
  int32_t DirectDrawCreate(const GUID* driver, Unknown** out) override;

  // Wrappers alive: objects the program can still reach through this adapter.
  size_t LiveWrappers() const;
  // The real interface pointer behind one of this adapter's objects (null for another's),
  // for tests that compare with what the platform reports.
  void* RealInterface(Unknown* object) const;

 private:
  std::unique_ptr<WrapperTable> table_;
  void* module_ = nullptr;  // HMODULE of DDRAW.DLL
  bool triedLoading_ = false;
};

}  // namespace nb::win32
