// nightbloom-render's video: the show from a seed, filmed as a display of the asked refresh
// rate shows it, with the sound the saver's bank would play, encoded into a file.
// Depends on render_support (the headless display), the offline mixer, the encoder.
#pragma once

#include <cstdint>
#include <string>

#include "video_encoder.h"

namespace nb {

struct VideoRequest {
  uint32_t seed = 0;
  int32_t particles = 2;
  int32_t smoke = 2;
  uint32_t depth = 32;
  uint32_t seconds = 0;
  VideoFormat format;  // size, rate, container, quality, sound
  std::string path;
};

// Renders the whole video, or as much as was rendered when SIGINT or SIGTERM came. The file
// is written beside its name (path + ".part") and takes the name only when it is complete,
// so a file of that name is never left half-written or lost to a failure. A progress line
// goes to stderr when it is a terminal; the outcome is one line (stdout when the file was
// made, stderr otherwise).
// Exit code: 0 made; 2 it could not start (the file cannot be written, a codec is missing);
// 1 rendering or encoding failed (nothing kept); 130 interrupted (what was rendered kept as
// a playable file, or nothing kept, as the line says).
int RenderVideo(const VideoRequest& request);

}  // namespace nb
