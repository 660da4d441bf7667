// Bitmap files on any bytes: the resources' 24-bit reader and the fake GDI's reader (24-
// and 8-bit) must agree wherever both accept a file, and a bitmap either accepts becomes
// a texture on a fake device whose caps the input picks (powers of two, square only,
// palettized formats only). A texture of the bitmap's own size in 5-6-5 holds exactly the
// bitmap's pixels; whatever the build does, nothing stays alive afterwards.
#include <vector>

#include "fuzz_support.h"
#include "platform/fake/fake_platform.h"
#include "resources/bmp24.h"
#include "scene/textures.h"

namespace {

using nb::fake::FakeBitmapData;
using nb::fake::Rgb;

uint32_t PowerOfTwoAtLeast(uint32_t value) {
  uint32_t power = 1;
  while (power < value && power < 0x80000000u) power <<= 1;
  return power;
}

void CheckDecoded(const uint8_t* data, size_t size, uint32_t width, uint32_t height,
                  const std::vector<uint8_t>& pixels, const FakeBitmapData* other) {
  FUZZ_CHECK(width >= 1 && width <= 16384 && height >= 1 && height <= 16384);
  FUZZ_CHECK(pixels.size() == size_t{width} * height * 3);
  FUZZ_CHECK(pixels.size() <= size);
  if (other == nullptr || other->bitsPerPixel != 24) return;
  FUZZ_CHECK(other->width == static_cast<int32_t>(width) && other->height == static_cast<int32_t>(height));
  (void)data;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* rgb = &pixels[(size_t{y} * width + x) * 3];
      FUZZ_CHECK(other->Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)) == (Rgb{rgb[0], rgb[1], rgb[2]}));
    }
  }
}

FakeBitmapData FromDecoded(uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels) {
  FakeBitmapData bitmap = FakeBitmapData::Solid(static_cast<int32_t>(width), static_cast<int32_t>(height), {0, 0, 0});
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* rgb = &pixels[(size_t{y} * width + x) * 3];
      bitmap.SetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y), Rgb{rgb[0], rgb[1], rgb[2]});
    }
  }
  return bitmap;
}

// A DirectDraw object, a 16-bit render target and a device of config on it.
struct FakeDisplay {
  nb::Ref<nb::DirectDraw> directDraw;
  nb::Ref<nb::DrawSurface> target;
  nb::Ref<nb::Direct3D> direct3D;
  nb::Ref<nb::Device3D> device;

  FakeDisplay(nb::fake::FakePlatform& fake, const nb::fake::FakeDeviceConfig& config) {
    nb::fake::FakeDriverConfig driver = nb::fake::StandardDriver();
    driver.devices = {config};
    fake.graphics.drivers = {driver};
    nb::Ref<nb::Unknown> unknown;
    FUZZ_CHECK(fake.graphics.DirectDrawCreate(nullptr, unknown.Put()) == nb::S_OK);
    FUZZ_CHECK(nb::QueryInterface(*unknown, nb::IID_IDirectDraw4, directDraw) == nb::S_OK);
    FUZZ_CHECK(directDraw->SetCooperativeLevel(nb::NoWindow, nb::DDSCL_NORMAL) == nb::S_OK);
    nb::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = nb::DDSD_CAPS | nb::DDSD_WIDTH | nb::DDSD_HEIGHT | nb::DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = nb::DDSCAPS_OFFSCREENPLAIN | nb::DDSCAPS_3DDEVICE;
    desc.dwWidth = 64;
    desc.dwHeight = 64;
    desc.ddpfPixelFormat = nb::fake::ModeFormat(16);
    FUZZ_CHECK(directDraw->CreateSurface(&desc, target.Put()) == nb::S_OK);
    FUZZ_CHECK(nb::QueryInterface(*directDraw, nb::IID_IDirect3D3, direct3D) == nb::S_OK);
    FUZZ_CHECK(direct3D->CreateDevice(config.guid, target.Get(), device.Put()) == nb::S_OK);
  }
};

void BuildTexture(const FakeBitmapData& bitmap, uint8_t caps) {
  nb::fake::FakePlatform fake;
  nb::fake::FakeDeviceConfig config = nb::fake::SoftwareDevice();
  uint32_t textureCaps = 0;
  if (caps & 1) textureCaps |= nb::D3DPTEXTURECAPS_POW2;
  if (caps & 2) textureCaps |= nb::D3DPTEXTURECAPS_SQUAREONLY;
  config.emulation.dpcTriCaps.dwTextureCaps = textureCaps;
  if (caps & 4) config.textureFormats = {nb::fake::FormatPal8()};
  {
    FakeDisplay display(fake, config);
    fake.system.AddBitmapResource(401, bitmap);
    nb::TextureUsePlatform(&fake.system, &fake.gdi);
    FUZZ_CHECK(nb::TextureCreate(401, 0) == nb::S_OK);
    const int32_t built = nb::TextureRestore("401", display.device.Get());
    nb::TextureEntry* entry = nb::TextureFind("401");
    FUZZ_CHECK(entry != nullptr);
    if (nb::Succeeded(built)) {
      FUZZ_CHECK(entry->texture && entry->surface);
      FUZZ_CHECK(nb::TextureGet("401") == entry->texture.Get());
      auto* surface = static_cast<nb::fake::FakeSurface*>(entry->surface.Get());
      uint32_t width = static_cast<uint32_t>(bitmap.width);
      uint32_t height = static_cast<uint32_t>(bitmap.height);
      if (textureCaps & nb::D3DPTEXTURECAPS_POW2) {
        width = PowerOfTwoAtLeast(width);
        height = PowerOfTwoAtLeast(height);
      }
      if (textureCaps & nb::D3DPTEXTURECAPS_SQUAREONLY) width = height = width > height ? width : height;
      FUZZ_CHECK(surface->desc().dwWidth == width && surface->desc().dwHeight == height);
      const bool sameSize = width == static_cast<uint32_t>(bitmap.width) && height == static_cast<uint32_t>(bitmap.height);
      const nb::DDPIXELFORMAT& format = surface->desc().ddpfPixelFormat;
      if (sameSize && bitmap.bitsPerPixel == 24 && format.dwRGBBitCount == 16) {
        for (int32_t y = 0; y < bitmap.height; ++y) {
          for (int32_t x = 0; x < bitmap.width; ++x) {
            const Rgb want = nb::fake::UnpackRgb(format, nb::fake::PackRgb(format, bitmap.Pixel(x, y)));
            FUZZ_CHECK(surface->Pixel(x, y) == want);
          }
        }
      }
    } else {
      FUZZ_CHECK(!entry->texture && nb::TextureGet("401") == nullptr);
    }
    nb::TextureDestroyAll();
    nb::TextureUsePlatform(nullptr, nullptr);
  }
  FUZZ_CHECK(fake.world.LiveCount() == 0);
  FUZZ_CHECK(fake.gdi.BitmapCount() == 0);
  FUZZ_CHECK(fake.gdi.OpenDcCount() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t width = 7;
  uint32_t height = 7;
  std::vector<uint8_t> pixels(3, 7);
  const int32_t decoded = nb::DecodeBmp24(data, size, &width, &height, &pixels);
  FakeBitmapData read;
  const bool readByFake = FakeBitmapData::FromBmpFile(data, size, &read);
  if (readByFake) {
    FUZZ_CHECK(read.width >= 1 && read.height >= 1);
    FUZZ_CHECK(read.bits.size() == static_cast<size_t>(read.RowBytes()) * static_cast<size_t>(read.height));
    FUZZ_CHECK(read.bitsPerPixel != 8 || (!read.colours.empty() && read.colours.size() <= 256));
  }
  if (decoded == 0) {
    CheckDecoded(data, size, width, height, pixels, readByFake ? &read : nullptr);
  } else {
    FUZZ_CHECK(decoded == nb::BmpBadData);
    FUZZ_CHECK(width == 0 && height == 0 && pixels.empty());
  }

  // The last byte picks the device's texture caps.
  const uint8_t caps = size > 0 ? data[size - 1] : 0;
  if (readByFake) {
    BuildTexture(read, caps);
  } else if (decoded == 0) {
    BuildTexture(FromDecoded(width, height, pixels), caps);
  }
  return 0;
}
