// The stand-in of a build configured without FFmpeg's development files: no video.
// Depends on video_encoder.h only.
#include "video_encoder.h"

namespace nb {

std::unique_ptr<VideoEncoder> VideoEncoder::Open(const std::string&, const VideoFormat&,
                                                 std::string* error) {
  if (error) *error = "this build has no video support (FFmpeg's libraries were missing when it was configured)";
  return nullptr;
}

}  // namespace nb
