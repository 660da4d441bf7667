// The headless display: the driver's objects made in the framework's order on an EGL
// surfaceless context. Depends on gl_headless.h.
#include "platform/gl/gl_headless.h"

#include "platform/gl/gl_formats.h"

namespace nb {

int32_t HeadlessDisplay::ReadRgb8(std::vector<uint8_t>* rgb, uint32_t* width,
                                  uint32_t* height) const {
  return ReadSurfaceRgb8(renderTarget.Get(), rgb, width, height);
}

int32_t OpenHeadlessDisplay(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                            std::unique_ptr<HeadlessDisplay>* out, std::string* error) {
  auto fail = [error](int32_t result, const std::string& why) {
    if (error) *error = why;
    return result;
  };
  if (!out) return fail(DDERR_INVALIDPARAMS, "no place for the display");
  out->reset();
  if (bitsPerPixel != 16 && bitsPerPixel != 32) {
    return fail(DDERR_INVALIDPIXELFORMAT, "the depth must be 16 or 32 bits");
  }
  auto display = std::make_unique<HeadlessDisplay>();
  std::string why;
  display->context = CreateHeadlessGlContext(&why);
  if (!display->context) return fail(DDERR_NODIRECTDRAWHW, why);

  GlDriverOptions options;
  options.context = display->context;
  options.dcBridge = &display->gdi;
  options.desktop = {width, height, bitsPerPixel};
  int32_t result = CreateGlDirectDraw(options, display->directDraw.Put());
  if (Failed(result)) return fail(result, "the OpenGL driver could not be started");
  result = QueryInterface(*display->directDraw, IID_IDirect3D3, display->direct3D);
  if (Failed(result)) return fail(result, "the driver has no Direct3D interface");

  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
  desc.ddpfPixelFormat = bitsPerPixel == 16 ? GlFormatRgb565() : GlFormatXrgb8888();
  result = display->directDraw->CreateSurface(&desc, display->renderTarget.Put());
  if (Failed(result)) {
    return fail(result, "no " + std::to_string(width) + "x" + std::to_string(height) +
                            " render target");
  }
  result = display->direct3D->CreateDevice(IID_IDirect3DRGBDevice, display->renderTarget.Get(),
                                           display->device.Put());
  if (Failed(result)) return fail(result, "the software device could not be created");
  result = display->direct3D->CreateViewport(display->viewport.Put());
  if (Failed(result)) return fail(result, "no viewport");
  D3DVIEWPORT2 viewport{};
  viewport.dwSize = sizeof(viewport);
  viewport.dwWidth = width;
  viewport.dwHeight = height;
  viewport.dvClipX = -1.0f;
  viewport.dvClipY = 1.0f;
  viewport.dvClipWidth = 2.0f;
  viewport.dvClipHeight = 2.0f;
  viewport.dvMinZ = 0.0f;
  viewport.dvMaxZ = 1.0f;
  if (Failed(result = display->device->AddViewport(display->viewport.Get())) ||
      Failed(result = display->viewport->SetViewport2(viewport)) ||
      Failed(result = display->device->SetCurrentViewport(display->viewport.Get()))) {
    return fail(result, "the viewport could not be set up");
  }
  display->viewportRect = {0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  *out = std::move(display);
  return DD_OK;
}

}  // namespace nb
