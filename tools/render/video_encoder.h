// A video file of RGB frames and 16-bit stereo sound through FFmpeg's libraries: H.264 with
// AAC in MP4, VP9 with Opus in WebM. A build configured without FFmpeg gets a stand-in
// whose Open says so.
// Depends on libavcodec, libavformat, libavutil and libswscale (video_encoder.cpp only).
#pragma once

#include <cctype>
#include <cstdint>
#include <memory>
#include <string>

namespace nb {

enum class VideoContainer { Mp4, WebM };

// The container a file name asks for by its extension (.mp4, .webm, in any case). False
// for any other name.
inline bool ContainerForPath(const std::string& path, VideoContainer* out) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "mp4") {
    *out = VideoContainer::Mp4;
    return true;
  }
  if (extension == "webm") {
    *out = VideoContainer::WebM;
    return true;
  }
  return false;
}

struct VideoFormat {
  VideoContainer container = VideoContainer::Mp4;
  uint32_t width = 640;   // even
  uint32_t height = 480;  // even
  uint32_t fps = 60;
  int32_t crf = -1;  // the codec's quality number; -1 for this encoder's default
  bool sound = true;
  uint32_t soundRate = 48000;  // stereo
};

// The quality number's range and default for a container's video codec.
struct CrfRange {
  int32_t low;
  int32_t high;
  int32_t fallback;
};
// H.264 at 18 is close to indistinguishable from its source; VP9's scale is wider, and 30
// there looks alike at a similar size.
inline CrfRange CrfRangeFor(VideoContainer container) {
  return container == VideoContainer::Mp4 ? CrfRange{0, 51, 18} : CrfRange{0, 63, 30};
}

class VideoEncoder {
 public:
  virtual ~VideoEncoder() = default;

  // An encoder writing the file at path in format; the container is format's, whatever the
  // path's name. Null with a one-line reason when the file cannot be made or this system's
  // FFmpeg lacks a codec (or this build has no FFmpeg).
  static std::unique_ptr<VideoEncoder> Open(const std::string& path, const VideoFormat& format,
                                            std::string* error);

  // The next frame, width x height 8-bit RGB, top row first. False with a reason.
  virtual bool AddFrame(const uint8_t* rgb, std::string* error) = 0;
  // The next frames of sound (two interleaved samples each). False with a reason.
  virtual bool AddSound(const int16_t* samples, uint64_t frames, std::string* error) = 0;
  // Drains the codecs and completes the file; nothing may be added after it. An encoder
  // destroyed without it leaves a file that is not complete.
  virtual bool Finish(std::string* error) = 0;
  // Names of the codecs, for the report ("H.264 + AAC").
  virtual std::string CodecNames() const = 0;
};

}  // namespace nb
