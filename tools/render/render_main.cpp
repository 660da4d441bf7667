// nightbloom-render: runs the show from a seed for some ticks on a headless OpenGL display
// and writes the frame the scene draws (or several, one tick apart) as PNG files.
// Depends on render_support (show, scene, GL driver, embedded resources, libpng).
// Exit codes: 0 written, 1 the display or a frame failed, 2 bad options or an unwritable
// path.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render_support.h"
#include "show/show.h"
#include "whole_number.h"

namespace {

using namespace nb;

constexpr const char* usage =
    "usage: nightbloom-render --seed S --ticks N [--particles L] [--smoke L] [--size WxH] "
    "[--depth 16|32] [--frames K] --out PATH";

struct Options {
  uint32_t seed = 0;
  uint64_t ticks = 0;
  int32_t particles = 2;
  int32_t smoke = 2;
  uint32_t width = 640;
  uint32_t height = 480;
  uint32_t depth = 32;
  uint32_t frames = 1;
  std::string out;
};

bool Fail(const std::string& message) {
  std::fprintf(stderr, "nightbloom-render: %s\n", message.c_str());
  return false;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  bool haveSeed = false;
  bool haveTicks = false;
  bool haveOut = false;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::printf("%s\n", usage);
      std::exit(0);
    }
    if (name != "--seed" && name != "--ticks" && name != "--particles" && name != "--smoke" &&
        name != "--size" && name != "--depth" && name != "--frames" && name != "--out") {
      return Fail("unknown option '" + name + "'; " + usage);
    }
    if (i + 1 >= argc) return Fail("option " + name + " needs a value");
    const std::string value = argv[++i];
    uint64_t number = 0;
    if (name == "--seed") {
      if (!ParseWholeNumber(value, UINT32_MAX, &number)) {
        return Fail("--seed needs a whole number 0..4294967295, not '" + value + "'");
      }
      options->seed = static_cast<uint32_t>(number);
      haveSeed = true;
    } else if (name == "--ticks") {
      if (!ParseWholeNumber(value, 1000000000, &number)) {
        return Fail("--ticks needs a whole number 0..1000000000, not '" + value + "'");
      }
      options->ticks = number;
      haveTicks = true;
    } else if (name == "--particles" || name == "--smoke") {
      if (!ParseWholeNumber(value, 2, &number)) {
        return Fail(name + " needs a level 0, 1 or 2, not '" + value + "'");
      }
      (name == "--particles" ? options->particles : options->smoke) = static_cast<int32_t>(number);
    } else if (name == "--size") {
      const size_t x = value.find('x');
      uint64_t w = 0;
      uint64_t h = 0;
      if (x == std::string::npos || !ParseWholeNumber(value.substr(0, x), 8192, &w) ||
          !ParseWholeNumber(value.substr(x + 1), 8192, &h) || w == 0 || h == 0) {
        return Fail("--size needs WIDTHxHEIGHT, each 1..8192, not '" + value + "'");
      }
      options->width = static_cast<uint32_t>(w);
      options->height = static_cast<uint32_t>(h);
    } else if (name == "--depth") {
      if (value != "16" && value != "32") {
        return Fail("--depth needs 16 or 32, not '" + value + "'");
      }
      options->depth = value == "16" ? 16 : 32;
    } else if (name == "--frames") {
      if (!ParseWholeNumber(value, 100000, &number) || number == 0) {
        return Fail("--frames needs a whole number 1..100000, not '" + value + "'");
      }
      options->frames = static_cast<uint32_t>(number);
    } else {
      if (value.empty()) return Fail("--out needs a file name");
      options->out = value;
      haveOut = true;
    }
  }
  if (!haveSeed) return Fail(std::string("--seed is required; ") + usage);
  if (!haveTicks) return Fail(std::string("--ticks is required; ") + usage);
  if (!haveOut) return Fail(std::string("--out is required; ") + usage);
  return true;
}

// out/frame.png with frame 1 -> out/frame-0001.png; the number goes before the
// extension of the file name (not of a directory name).
std::string FramePath(const std::string& path, uint32_t frame) {
  char number[16];
  std::snprintf(number, sizeof(number), "-%04u", frame);
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1)) {
    return path + number;
  }
  return path.substr(0, dot) + number + path.substr(dot);
}

// Whether a file can be made at path, tried before the show runs so that a bad path
// costs no rendering. A file made only for the test is removed again.
bool CanWrite(const std::string& path) {
  FILE* existing = std::fopen(path.c_str(), "rb");
  if (existing) {
    std::fclose(existing);
    FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) return false;
    std::fclose(file);
    return true;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fclose(file);
  std::remove(path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;
  std::vector<std::string> paths;
  for (uint32_t k = 1; k <= options.frames; ++k) {
    paths.push_back(options.frames == 1 ? options.out : FramePath(options.out, k));
  }
  if (!CanWrite(paths.front())) {
    Fail("cannot write '" + paths.front() + "'");
    return 2;
  }

  std::unique_ptr<SceneStage> stage;
  std::string error;
  if (Failed(SceneStage::Open(options.width, options.height, options.depth, &stage, &error))) {
    Fail(error);
    return 1;
  }
  settings.particleLevel = options.particles;
  settings.smokeLevel = options.smoke;
  show.hooks = {};  // sound events go nowhere
  SimInit(options.seed);
  for (uint64_t t = 0; t < options.ticks; ++t) stage->Tick();

  std::vector<uint8_t> rgb;
  for (uint32_t k = 0; k < options.frames; ++k) {
    if (k > 0) stage->Tick();
    stage->Render();
    uint32_t width = 0;
    uint32_t height = 0;
    if (Failed(stage->display().ReadRgb8(&rgb, &width, &height))) {
      Fail("the frame could not be read back");
      return 1;
    }
    if (!WritePng(paths[k], rgb, width, height, &error)) {
      Fail(error);
      return 2;
    }
    std::printf("%s\n", paths[k].c_str());
  }
  return 0;
}
