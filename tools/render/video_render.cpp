// The video render loop: one pass of the film schedule per frame, the sound mixed up to the
// next pass as it goes, the progress line, and the end by signal between two frames.
// Depends on video_render.h, show_film.h, render_support.h, the offline mixer and the show.
#include "video_render.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "render_support.h"
#include "show/show.h"
#include "show_film.h"
#include "show_mixer.h"

namespace nb {

namespace {

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// SIGINT and SIGTERM ask the loop to stop after the frame it is on; a second one ends the
// process at once (the handler is reset by the first). A signal the process was started
// ignoring (a shell's background job ignores SIGINT) stays ignored.
void CatchStopSignals() {
  stopRequested = 0;
  for (const int number : {SIGINT, SIGTERM}) {
    struct sigaction previous {};
    if (sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
  }
}

void Say(const std::string& line) { std::fprintf(stderr, "nightbloom-render: %s\n", line.c_str()); }

std::string Minutes(double seconds) {
  const auto whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof(text), "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

// "frame 120/180  66%  41.9 frames/s  0:01 left", rewritten in place at most four times a
// second, on a terminal only.
class Progress {
 public:
  explicit Progress(uint64_t total) : total_(total), shown_(isatty(STDERR_FILENO) != 0) {}

  void Update(uint64_t done, double seconds, bool force) {
    if (!shown_ || (!force && seconds - last_ < 0.25)) return;
    last_ = seconds;
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    const double left = rate > 0.0 ? (total_ - done) / rate : 0.0;
    std::fprintf(stderr, "\rframe %llu/%llu  %3d%%  %.1f frames/s  %s left\033[K",
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_),
                 static_cast<int>(done * 100 / total_), rate, Minutes(left).c_str());
    std::fflush(stderr);
    drawn_ = true;
  }

  // Clears the line so that what follows starts on a clean one.
  void End() {
    if (drawn_) std::fprintf(stderr, "\r\033[K");
    drawn_ = false;
  }

 private:
  uint64_t total_;
  bool shown_;
  bool drawn_ = false;
  double last_ = -1.0;
};

// The show and its sound, pass by pass, into an encoder.
class VideoShoot {
 public:
  explicit VideoShoot(const VideoRequest& request)
      : request_(request), schedule_(request.format.fps) {}

  ~VideoShoot() {
    // The show's lists and hooks outlive the mixer otherwise.
    SimShutdown();
    show.hooks = {};
  }

  bool Start(std::string* error) {
    const VideoFormat& format = request_.format;
    if (Failed(SceneStage::Open(format.width, format.height, request_.depth, &stage_, error))) {
      return false;
    }
    settings.particleLevel = request_.particles;
    settings.smokeLevel = request_.smoke;
    show.hooks = {};
    if (format.sound) {
      WaveView waves[soundCount];
      if (!EmbeddedWaves(waves)) {
        *error = "the program's waves are missing";
        return false;
      }
      mixer_ = ShowMixer::Open(MixFormat{format.soundRate, 2}, waves, error);
      if (!mixer_) return false;
      show.hooks.context = mixer_.get();
      show.hooks.sound = ShowMixer::SoundHook;
    }
    SimInit(request_.seed);
    return true;
  }

  // Pass `pass`: its ticks, its sounds at its moment, its frame; then the sound up to the
  // next pass's moment, which no later play can reach back into.
  bool Shoot(uint64_t pass, VideoEncoder& encoder, std::string* error) {
    if (mixer_) mixer_->SetClock(schedule_.ClockAt(pass));
    schedule_.RunPass(pass, [this] { stage_->Tick(); });
    stage_->Render();
    uint32_t width = 0;
    uint32_t height = 0;
    if (Failed(stage_->display().ReadRgb8(&rgb_, &width, &height))) {
      *error = "frame " + std::to_string(pass) + " could not be read back";
      return false;
    }
    if (!encoder.AddFrame(rgb_.data(), error)) return false;
    return !mixer_ || MixUntil(mixer_->FrameAt(schedule_.ClockAt(pass + 1)), encoder, error);
  }

  // The sound that goes with the first `frames` frames, to its end.
  bool Close(uint64_t frames, VideoEncoder& encoder, std::string* error) {
    return !mixer_ || MixUntil(SoundFrameAt(frames), encoder, error);
  }

 private:
  // The sound frame at which video frame `frame` starts.
  uint64_t SoundFrameAt(uint64_t frame) const {
    const VideoFormat& format = request_.format;
    return (frame * format.soundRate + format.fps / 2) / format.fps;
  }

  bool MixUntil(uint64_t end, VideoEncoder& encoder, std::string* error) {
    if (end <= mixer_->MixedFrames()) return true;
    sound_.clear();
    mixer_->Mix(end - mixer_->MixedFrames(), sound_);
    return encoder.AddSound(sound_.data(), sound_.size() / 2, error);
  }

  const VideoRequest& request_;
  FilmSchedule schedule_;
  std::unique_ptr<SceneStage> stage_;
  std::unique_ptr<ShowMixer> mixer_;
  std::vector<uint8_t> rgb_;
  std::vector<int16_t> sound_;
};

double FileMegabytes(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_size / 1e6 : 0.0;
}

}  // namespace

int RenderVideo(const VideoRequest& request) {
  const std::string part = request.path + ".part";
  struct stat existing {};
  if (stat(request.path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
    Say("cannot write '" + request.path + "': it is a directory");
    return 2;
  }
  // Caught before the file exists, so that no signal leaves it half-written unsaid.
  CatchStopSignals();
  // Tried before anything else, so that a bad path is reported as such and costs nothing.
  FILE* probe = std::fopen(part.c_str(), "wb");
  if (!probe) {
    Say("cannot write '" + request.path + "': " + std::strerror(errno));
    return 2;
  }
  std::fclose(probe);
  std::string error;
  std::unique_ptr<VideoEncoder> encoder = VideoEncoder::Open(part, request.format, &error);
  if (!encoder) {
    // Open may have made the file before it failed.
    std::remove(part.c_str());
    Say(error);
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  const auto secondsSince = [&started] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  };
  const uint64_t total = uint64_t{request.seconds} * request.format.fps;
  Progress progress(total);
  VideoShoot shoot(request);
  bool ok = shoot.Start(&error);
  uint64_t done = 0;
  while (ok && done < total && !stopRequested) {
    ok = shoot.Shoot(done, *encoder, &error);
    if (ok) ++done;
    progress.Update(done, secondsSince(), done == total);
  }
  progress.End();
  const bool interrupted = stopRequested != 0;
  if (ok && done > 0) ok = shoot.Close(done, *encoder, &error) && encoder->Finish(&error);
  const std::string codecs = encoder->CodecNames();
  encoder.reset();
  if (ok && done > 0 && std::rename(part.c_str(), request.path.c_str()) != 0) {
    ok = false;
    error = "cannot name the file '" + request.path + "': " + std::strerror(errno);
  }
  const double renderSeconds = secondsSince();
  const double videoSeconds = static_cast<double>(done) / request.format.fps;
  if (!ok || done == 0) {
    std::remove(part.c_str());
    if (!ok) {
      Say(error + "; nothing written");
      return 1;
    }
    Say("interrupted before the first frame; nothing written");
    return 130;
  }
  if (interrupted) {
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.2f", videoSeconds);
    Say("interrupted: kept '" + request.path + "' with the " + std::to_string(done) + " of " +
        std::to_string(total) + " frames rendered (" + seconds + " s)");
    return 130;
  }
  std::printf("%s: %s, %ux%u, %u frames/s, %.2f s (%llu frames), %.2f MB, rendered in %.1f s "
              "(%.2f s per second of video)\n",
              request.path.c_str(), codecs.c_str(), request.format.width, request.format.height,
              request.format.fps, videoSeconds, static_cast<unsigned long long>(done),
              FileMegabytes(request.path), renderSeconds, renderSeconds / videoSeconds);
  return 0;
}

}  // namespace nb
