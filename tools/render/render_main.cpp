// nightbloom-render: runs the show from a seed for some ticks on a headless OpenGL display
// and writes the frame the scene draws (or several, one tick apart) as PNG files; or, with
// --video, films the show with its sound into an MP4 or WebM file.
// Depends on render_support (show, scene, GL driver, embedded resources, libpng) and
// video_render (the offline mixer and FFmpeg).
// Exit codes: 0 written, 1 the display or a frame failed, 2 bad options or an unwritable
// path, 130 a video interrupted by a signal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render_support.h"
#include "show/show.h"
#include "video_render.h"
#include "whole_number.h"

namespace {

using namespace nb;

constexpr const char* usage =
    "usage: nightbloom-render --seed S --ticks N [--particles L] [--smoke L] [--size WxH] "
    "[--depth 16|32] [--frames K] --out PATH\n"
    "       nightbloom-render --seed S --seconds N --video FILE.mp4|FILE.webm [--fps F] "
    "[--crf Q] [--no-sound] [--particles L] [--smoke L] [--size WxH] [--depth 16|32]";

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
  // --video and its own options
  std::string video;
  uint32_t seconds = 0;
  uint32_t fps = 60;
  int64_t crf = -1;
  bool sound = true;
};

bool Fail(const std::string& message) {
  std::fprintf(stderr, "nightbloom-render: %s\n", message.c_str());
  return false;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  bool haveSeed = false;
  bool haveTicks = false;
  bool haveOut = false;
  bool haveFrames = false;
  bool haveSeconds = false;
  std::string videoOnly;  // an option that means something only for a video
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::printf("%s\n", usage);
      std::exit(0);
    }
    if (name == "--no-sound") {
      options->sound = false;
      videoOnly = name;
      continue;
    }
    if (name != "--seed" && name != "--ticks" && name != "--particles" && name != "--smoke" &&
        name != "--size" && name != "--depth" && name != "--frames" && name != "--out" &&
        name != "--video" && name != "--seconds" && name != "--fps" && name != "--crf") {
      return Fail("unknown option '" + name + "'; see --help");
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
      haveFrames = true;
    } else if (name == "--out") {
      if (value.empty()) return Fail("--out needs a file name");
      options->out = value;
      haveOut = true;
    } else if (name == "--video") {
      if (value.empty()) return Fail("--video needs a file name");
      options->video = value;
    } else if (name == "--seconds") {
      if (!ParseWholeNumber(value, 86400, &number) || number == 0) {
        return Fail("--seconds needs a whole number 1..86400, not '" + value + "'");
      }
      options->seconds = static_cast<uint32_t>(number);
      haveSeconds = true;
      videoOnly = name;
    } else if (name == "--fps") {
      if (!ParseWholeNumber(value, 240, &number) || number == 0) {
        return Fail("--fps needs a whole number 1..240, not '" + value + "'");
      }
      options->fps = static_cast<uint32_t>(number);
      videoOnly = name;
    } else {
      if (!ParseWholeNumber(value, 63, &number)) {
        return Fail("--crf needs a whole number (0..51 for .mp4, 0..63 for .webm), not '" + value + "'");
      }
      options->crf = static_cast<int64_t>(number);
      videoOnly = name;
    }
  }
  if (!haveSeed) return Fail("--seed is required; see --help");
  if (options->video.empty()) {
    if (!videoOnly.empty()) return Fail(videoOnly + " is for --video; see --help");
    if (!haveTicks) return Fail("--ticks is required; see --help");
    if (!haveOut) return Fail("--out is required; see --help");
    return true;
  }
  if (haveTicks || haveFrames || haveOut) {
    return Fail("--video takes --seconds, not --ticks, --frames or --out; see --help");
  }
  if (!haveSeconds) return Fail("--video needs --seconds; see --help");
  VideoContainer container = VideoContainer::Mp4;
  if (!ContainerForPath(options->video, &container)) {
    return Fail("'" + options->video +
                "': a video's name ends in .mp4 (H.264 and AAC) or .webm (VP9 and Opus)");
  }
  if (options->width % 2 != 0 || options->height % 2 != 0) {
    return Fail("a video's width and height must be even, not " + std::to_string(options->width) +
                "x" + std::to_string(options->height));
  }
  const CrfRange range = CrfRangeFor(container);
  if (options->crf > range.high) {
    return Fail("--crf for " + std::string(container == VideoContainer::Mp4 ? ".mp4" : ".webm") +
                " needs " + std::to_string(range.low) + ".." + std::to_string(range.high) + ", not " +
                std::to_string(options->crf));
  }
  return true;
}

int RenderVideoFile(const Options& options) {
  VideoRequest request;
  request.seed = options.seed;
  request.particles = options.particles;
  request.smoke = options.smoke;
  request.depth = options.depth;
  request.seconds = options.seconds;
  request.path = options.video;
  VideoFormat& format = request.format;
  ContainerForPath(options.video, &format.container);
  format.width = options.width;
  format.height = options.height;
  format.fps = options.fps;
  format.crf = static_cast<int32_t>(options.crf);
  format.sound = options.sound;
  return RenderVideo(request);
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
  if (!options.video.empty()) return RenderVideoFile(options);
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
