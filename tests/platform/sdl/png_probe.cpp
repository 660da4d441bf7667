// nb-png-probe: what a screenshot shows, for the end-to-end tests of the program on
// Wayland (whose screens are read through screenshots, not a display connection).
//   nb-png-probe stats FILE    key=value lines: width, height, lit (pixels not black),
//                              hash (FNV-1a of the pixels), distinct (lit colours), and
//                              blocky: of the 2x2 blocks on even coordinates that hold a lit
//                              pixel, the share in thousandths whose four pixels are equal
//                              (a picture blown up twice is all such blocks; one shown pixel
//                              for pixel is not)
// Depends on libpng. Test support only.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace {

int Stats(const char* path) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) {
    std::fprintf(stderr, "nb-png-probe: cannot read %s\n", path);
    return 2;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    std::fprintf(stderr, "nb-png-probe: cannot decode %s\n", path);
    return 2;
  }
  const uint32_t width = image.width;
  const uint32_t height = image.height;
  auto at = [&](uint32_t x, uint32_t y) {
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  };
  uint64_t lit = 0;
  uint32_t hash = 2166136261u;
  for (uint8_t byte : rgb) hash = (hash ^ byte) * 16777619u;
  std::set<uint32_t> colours;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      if (at(x, y) == 0) continue;
      ++lit;
      colours.insert(at(x, y));
    }
  }
  uint64_t blocks = 0;
  uint64_t uniform = 0;
  for (uint32_t y = 0; y + 1 < height; y += 2) {
    for (uint32_t x = 0; x + 1 < width; x += 2) {
      const uint32_t a = at(x, y);
      const uint32_t b = at(x + 1, y);
      const uint32_t c = at(x, y + 1);
      const uint32_t d = at(x + 1, y + 1);
      if ((a | b | c | d) == 0) continue;
      ++blocks;
      if (a == b && a == c && a == d) ++uniform;
    }
  }
  std::printf("width=%u\nheight=%u\nlit=%llu\nhash=%u\ndistinct=%zu\nblocky=%llu\n", width,
              height, static_cast<unsigned long long>(lit), hash, colours.size(),
              static_cast<unsigned long long>(blocks ? uniform * 1000 / blocks : 0));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "stats") == 0) return Stats(argv[2]);
  std::fprintf(stderr, "usage: nb-png-probe stats FILE\n");
  return 2;
}
