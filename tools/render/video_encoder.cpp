// The video file through FFmpeg: libx264 or libvpx-vp9 for the picture (4:2:0, BT.709,
// limited range, tagged so), FFmpeg's AAC or libopus for the sound, muxed by libavformat.
// Depends on video_encoder.h and FFmpeg's libraries.
#include "video_encoder.h"

#include <algorithm>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace nb {

namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof(text));
  return text;
}

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// The sample formats the mixer's 16-bit samples are handed over in, best first.
AVSampleFormat ChooseSampleFormat(const AVCodec* codec) {
  const AVSampleFormat wanted[] = {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16};
  for (const AVSampleFormat format : wanted) {
    if (!codec->sample_fmts) return format;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
      if (*f == format) return format;
    }
  }
  return AV_SAMPLE_FMT_NONE;
}

class FfmpegEncoder final : public VideoEncoder {
 public:
  ~FfmpegEncoder() override {
    sws_freeContext(scaler_);
    av_frame_free(&picture_);
    av_frame_free(&sound_);
    av_packet_free(&packet_);
    avcodec_free_context(&videoCodec_);
    avcodec_free_context(&soundCodec_);
    if (file_) {
      if (file_->pb) avio_closep(&file_->pb);
      avformat_free_context(file_);
    }
  }

  bool Open(const std::string& path, const VideoFormat& format, std::string* error) {
    format_ = format;
    const bool mp4 = format.container == VideoContainer::Mp4;
    const char* videoName = mp4 ? "libx264" : "libvpx-vp9";
    const char* soundName = mp4 ? "aac" : "libopus";
    const AVCodec* videoCodec = avcodec_find_encoder_by_name(videoName);
    if (!videoCodec) {
      return Fail(error, std::string("this system's FFmpeg has no ") + videoName + " encoder for " +
                             (mp4 ? "H.264" : "VP9"));
    }
    const AVCodec* soundCodec = nullptr;
    if (format.sound) {
      soundCodec = avcodec_find_encoder_by_name(soundName);
      if (!soundCodec) {
        return Fail(error, std::string("this system's FFmpeg has no ") + soundName + " encoder for " +
                               (mp4 ? "AAC" : "Opus") + " (--no-sound leaves the sound out)");
      }
    }
    if (avformat_alloc_output_context2(&file_, nullptr, mp4 ? "mp4" : "webm", path.c_str()) < 0 ||
        !file_) {
      return Fail(error, std::string("this system's FFmpeg cannot write ") + (mp4 ? "MP4" : "WebM"));
    }
    packet_ = av_packet_alloc();
    if (!packet_) return Fail(error, "out of memory");
    if (!OpenVideo(videoCodec, error)) return false;
    if (soundCodec && !OpenSound(soundCodec, error)) return false;

    const int opened = avio_open(&file_->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) return Fail(error, "cannot write '" + path + "': " + AvError(opened));
    AVDictionary* options = nullptr;
    // The index at the front, so that a player can start before it has the whole file.
    if (mp4) av_dict_set(&options, "movflags", "+faststart", 0);
    const int header = avformat_write_header(file_, &options);
    av_dict_free(&options);
    if (header < 0) return Fail(error, "writing the file's header failed: " + AvError(header));
    return true;
  }

  bool AddFrame(const uint8_t* rgb, std::string* error) override {
    const int writable = av_frame_make_writable(picture_);
    if (writable < 0) return Fail(error, "no frame to encode into: " + AvError(writable));
    const uint8_t* source[1] = {rgb};
    const int stride[1] = {static_cast<int>(format_.width * 3)};
    sws_scale(scaler_, source, stride, 0, static_cast<int>(format_.height), picture_->data,
              picture_->linesize);
    picture_->pts = frames_++;
    return Encode(videoCodec_, videoStream_, picture_, error);
  }

  bool AddSound(const int16_t* samples, uint64_t frames, std::string* error) override {
    if (!soundCodec_) return true;
    pending_.insert(pending_.end(), samples, samples + frames * 2);
    const size_t block = static_cast<size_t>(soundBlock_) * 2;
    size_t used = 0;
    while (pending_.size() - used >= block) {
      if (!EncodeSound(pending_.data() + used, soundBlock_, error)) return false;
      used += block;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(used));
    return true;
  }

  bool Finish(std::string* error) override {
    if (soundCodec_ && !pending_.empty()) {
      int count = static_cast<int>(pending_.size() / 2);
      // A codec that takes only whole blocks gets the last one padded with silence.
      if (!(soundCodec_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
        count = soundBlock_;
        pending_.resize(static_cast<size_t>(count) * 2, 0);
      }
      if (!EncodeSound(pending_.data(), count, error)) return false;
      pending_.clear();
    }
    if (!Encode(videoCodec_, videoStream_, nullptr, error)) return false;
    if (soundCodec_ && !Encode(soundCodec_, soundStream_, nullptr, error)) return false;
    const int trailer = av_write_trailer(file_);
    if (trailer < 0) return Fail(error, "completing the file failed: " + AvError(trailer));
    const int closed = avio_closep(&file_->pb);
    if (closed < 0) return Fail(error, "closing the file failed: " + AvError(closed));
    return true;
  }

  std::string CodecNames() const override {
    const bool mp4 = format_.container == VideoContainer::Mp4;
    std::string names = mp4 ? "H.264" : "VP9";
    if (soundCodec_) names += mp4 ? " + AAC" : " + Opus";
    return names;
  }

 private:
  bool OpenVideo(const AVCodec* codec, std::string* error) {
    videoCodec_ = avcodec_alloc_context3(codec);
    if (!videoCodec_) return Fail(error, "out of memory");
    AVCodecContext& c = *videoCodec_;
    c.width = static_cast<int>(format_.width);
    c.height = static_cast<int>(format_.height);
    c.time_base = AVRational{1, static_cast<int>(format_.fps)};
    c.framerate = AVRational{static_cast<int>(format_.fps), 1};
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.gop_size = static_cast<int>(format_.fps) * 4;
    c.color_range = AVCOL_RANGE_MPEG;
    c.colorspace = AVCOL_SPC_BT709;
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_BT709;
    c.thread_count = 0;
    if (file_->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const CrfRange range = CrfRangeFor(format_.container);
    const int crf = format_.crf >= 0 ? format_.crf : range.fallback;
    if (format_.container == VideoContainer::Mp4) {
      // Of x264's speeds, the fastest whose files stay small: a busy sky is mostly black.
      av_opt_set(c.priv_data, "preset", "veryfast", 0);
      av_opt_set_double(c.priv_data, "crf", crf, 0);
    } else {
      // Constant quality: no bit rate to aim at, the quality number alone.
      c.bit_rate = 0;
      av_opt_set_int(c.priv_data, "crf", crf, 0);
      av_opt_set(c.priv_data, "deadline", "good", 0);
      av_opt_set_int(c.priv_data, "cpu-used", 4, 0);
      av_opt_set_int(c.priv_data, "row-mt", 1, 0);
    }
    const int opened = avcodec_open2(videoCodec_, codec, nullptr);
    if (opened < 0) return Fail(error, std::string("cannot start ") + codec->name + ": " + AvError(opened));

    videoStream_ = avformat_new_stream(file_, nullptr);
    if (!videoStream_) return Fail(error, "out of memory");
    videoStream_->time_base = c.time_base;
    videoStream_->avg_frame_rate = c.framerate;
    videoStream_->r_frame_rate = c.framerate;
    if (avcodec_parameters_from_context(videoStream_->codecpar, videoCodec_) < 0) {
      return Fail(error, "out of memory");
    }

    picture_ = av_frame_alloc();
    if (!picture_) return Fail(error, "out of memory");
    picture_->format = c.pix_fmt;
    picture_->width = c.width;
    picture_->height = c.height;
    picture_->color_range = c.color_range;
    picture_->colorspace = c.colorspace;
    picture_->color_primaries = c.color_primaries;
    picture_->color_trc = c.color_trc;
    if (av_frame_get_buffer(picture_, 0) < 0) return Fail(error, "out of memory");
    scaler_ = sws_getContext(c.width, c.height, AV_PIX_FMT_RGB24, c.width, c.height, c.pix_fmt,
                             SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!scaler_) return Fail(error, "cannot convert RGB to YUV 4:2:0");
    int* inverse = nullptr;
    int sourceRange = 0;
    int* table = nullptr;
    int targetRange = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    sws_getColorspaceDetails(scaler_, &inverse, &sourceRange, &table, &targetRange, &brightness,
                             &contrast, &saturation);
    sws_setColorspaceDetails(scaler_, sws_getCoefficients(SWS_CS_ITU709), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, brightness, contrast,
                             saturation);
    return true;
  }

  bool OpenSound(const AVCodec* codec, std::string* error) {
    const AVSampleFormat sampleFormat = ChooseSampleFormat(codec);
    if (sampleFormat == AV_SAMPLE_FMT_NONE) {
      return Fail(error, std::string(codec->name) + " takes none of the sample formats given to it");
    }
    soundCodec_ = avcodec_alloc_context3(codec);
    if (!soundCodec_) return Fail(error, "out of memory");
    AVCodecContext& c = *soundCodec_;
    c.sample_fmt = sampleFormat;
    c.sample_rate = static_cast<int>(format_.soundRate);
    av_channel_layout_default(&c.ch_layout, 2);
    c.bit_rate = format_.container == VideoContainer::Mp4 ? 192000 : 160000;
    c.time_base = AVRational{1, c.sample_rate};
    if (file_->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(soundCodec_, codec, nullptr);
    if (opened < 0) return Fail(error, std::string("cannot start ") + codec->name + ": " + AvError(opened));
    // Opus's 20 ms when the codec takes blocks of any size.
    soundBlock_ = c.frame_size > 0 ? c.frame_size : static_cast<int>(format_.soundRate / 50);

    soundStream_ = avformat_new_stream(file_, nullptr);
    if (!soundStream_) return Fail(error, "out of memory");
    soundStream_->time_base = c.time_base;
    if (avcodec_parameters_from_context(soundStream_->codecpar, soundCodec_) < 0) {
      return Fail(error, "out of memory");
    }
    sound_ = av_frame_alloc();
    if (!sound_) return Fail(error, "out of memory");
    return true;
  }

  bool EncodeSound(const int16_t* samples, int count, std::string* error) {
    av_frame_unref(sound_);
    sound_->format = soundCodec_->sample_fmt;
    sound_->sample_rate = soundCodec_->sample_rate;
    sound_->nb_samples = count;
    if (av_channel_layout_copy(&sound_->ch_layout, &soundCodec_->ch_layout) < 0 ||
        av_frame_get_buffer(sound_, 0) < 0) {
      return Fail(error, "out of memory");
    }
    constexpr float scale = 1.0f / 32768.0f;
    switch (soundCodec_->sample_fmt) {
      case AV_SAMPLE_FMT_FLTP: {
        auto* left = reinterpret_cast<float*>(sound_->data[0]);
        auto* right = reinterpret_cast<float*>(sound_->data[1]);
        for (int i = 0; i < count; ++i) {
          left[i] = samples[2 * i] * scale;
          right[i] = samples[2 * i + 1] * scale;
        }
        break;
      }
      case AV_SAMPLE_FMT_FLT: {
        auto* out = reinterpret_cast<float*>(sound_->data[0]);
        for (int i = 0; i < 2 * count; ++i) out[i] = samples[i] * scale;
        break;
      }
      default:
        std::copy(samples, samples + 2 * count, reinterpret_cast<int16_t*>(sound_->data[0]));
        break;
    }
    sound_->pts = soundFrames_;
    soundFrames_ += count;
    return Encode(soundCodec_, soundStream_, sound_, error);
  }

  // Hands a frame (or, with null, the end) to a codec and writes what comes out.
  bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* error) {
    int result = avcodec_send_frame(codec, frame);
    if (result < 0) return Fail(error, std::string(codec->codec->name) + " failed: " + AvError(result));
    for (;;) {
      result = avcodec_receive_packet(codec, packet_);
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
      if (result < 0) return Fail(error, std::string(codec->codec->name) + " failed: " + AvError(result));
      av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
      packet_->stream_index = stream->index;
      result = av_interleaved_write_frame(file_, packet_);
      if (result < 0) return Fail(error, "writing the file failed: " + AvError(result));
    }
  }

  VideoFormat format_;
  AVFormatContext* file_ = nullptr;
  AVCodecContext* videoCodec_ = nullptr;
  AVCodecContext* soundCodec_ = nullptr;
  AVStream* videoStream_ = nullptr;
  AVStream* soundStream_ = nullptr;
  AVFrame* picture_ = nullptr;
  AVFrame* sound_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  int64_t frames_ = 0;
  int64_t soundFrames_ = 0;
  int soundBlock_ = 0;
  std::vector<int16_t> pending_;  // sound not yet a whole block
};

}  // namespace

std::unique_ptr<VideoEncoder> VideoEncoder::Open(const std::string& path, const VideoFormat& format,
                                                 std::string* error) {
  av_log_set_level(AV_LOG_ERROR);
  auto encoder = std::make_unique<FfmpegEncoder>();
  if (!encoder->Open(path, format, error)) return nullptr;
  return encoder;
}

}  // namespace nb
