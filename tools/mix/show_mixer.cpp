// The offline mixer: voices on the virtual device, and the rendering of what they played
// by a windowed-sinc resampler. Depends on show_mixer.h and the embedded resources.
#include "show_mixer.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "resources/embedded.h"

namespace nb {

namespace {

constexpr double pi = 3.14159265358979323846;
// Zero crossings of the interpolation kernel on each side, at the source's rate, and its
// cut-off as a share of the lower Nyquist frequency: the waves hold hiss up to their
// Nyquist frequency, so the pass band reaches 0.92 of it, and what the conversion adds
// (images above it) stays 70 dB down, at a cost that does not matter offline.
constexpr int32_t kernelHalfWidth = 64;
constexpr double cutoff = 0.97;

}  // namespace

// Rate conversion of one source rate to the output rate: a Blackman-windowed sinc whose
// cut-off lies just below the lower of the two Nyquist frequencies, tabulated for every
// phase an output frame can fall at (the output rate over the rates' common divisor), each
// phase scaled to a gain of exactly one for a constant signal. At equal rates frames are
// copied unchanged. Rates with more phases than maxPhases are not converted.
class ShowMixer::Resampler {
   public:
    static constexpr uint32_t maxPhases = 4096;

    Resampler(uint32_t sourceRate, uint32_t outputRate)
        : sourceRate_(sourceRate), outputRate_(outputRate) {
        const uint32_t divisor = std::gcd(sourceRate, outputRate);
        phases_ = outputRate / divisor;
        step_ = divisor;
        if (!Usable() || sourceRate == outputRate) return;
        const double ratio = cutoff * std::min(1.0, static_cast<double>(outputRate) / sourceRate);
        half_ = static_cast<int32_t>(std::ceil(kernelHalfWidth / ratio));
        const auto taps = static_cast<size_t>(2 * half_);
        table_.assign(size_t{phases_} * taps, 0.0);
        for (uint32_t q = 0; q < phases_; ++q) {
            const double phase = static_cast<double>(q) * step_ / outputRate;
            double* row = &table_[q * taps];
            double sum = 0.0;
            for (int32_t m = -half_ + 1; m <= half_; ++m) {
                const double t = phase - m;
                const double x = ratio * t;
                const double sinc = x == 0.0 ? 1.0 : std::sin(pi * x) / (pi * x);
                const double w = 0.42 + 0.5 * std::cos(pi * t / half_) +
                                 0.08 * std::cos(2.0 * pi * t / half_);
                const double value = std::abs(t) >= half_ ? 0.0 : ratio * sinc * w;
                row[m + half_ - 1] = value;
                sum += value;
            }
            for (size_t i = 0; i < taps; ++i) row[i] /= sum;
        }
    }

    uint32_t sourceRate() const { return sourceRate_; }
    bool Usable() const { return sourceRate_ == outputRate_ || phases_ <= maxPhases; }

    // Output frames that frames source frames ring for.
    uint64_t Length(uint32_t frames) const {
        if (frames == 0) return 0;
        if (sourceRate_ == outputRate_) return frames;
        return (uint64_t{frames} - 1 + static_cast<uint64_t>(half_)) * outputRate_ / sourceRate_ + 1;
    }

    // Adds output frames [from, to) of the span (frame 0 = its first) into sum, which
    // holds channels values per frame starting at output frame `at`.
    void Add(const PlayedSpan& span, uint64_t from, uint64_t to, double* sum, uint64_t at,
             uint32_t channels) const {
        const VirtualSamples& samples = *span.samples;
        const uint32_t sourceChannels = samples.format.nChannels;
        const int64_t count = span.toFrame - span.fromFrame;
        const size_t stride = samples.Frames();
        const double* planes = samples.Planar().data() + span.fromFrame;
        for (uint64_t j = from; j < to; ++j) {
            double value[2] = {0.0, 0.0};
            if (sourceRate_ == outputRate_) {
                for (uint32_t c = 0; c < sourceChannels; ++c) value[c] = planes[c * stride + j];
            } else {
                const uint64_t position = j * sourceRate_;
                const auto base = static_cast<int64_t>(position / outputRate_);
                const auto q = static_cast<size_t>((position % outputRate_) / step_);
                // Taps m = -half_ + 1 .. half_ weigh source frame base + m; those outside
                // the span are silence.
                const int64_t first = std::max<int64_t>(base - half_ + 1, 0);
                const int64_t last = std::min<int64_t>(base + half_, count - 1);
                const double* row = &table_[q * static_cast<size_t>(2 * half_)];
                for (uint32_t c = 0; c < sourceChannels; ++c) {
                    const double* plane = planes + c * stride;
                    double acc = 0.0;
                    for (int64_t k = first; k <= last; ++k) acc += row[k - base + half_ - 1] * plane[k];
                    value[c] = acc;
                }
            }
            double* out = sum + (at + j - from) * channels;
            if (sourceChannels == channels) {
                for (uint32_t c = 0; c < channels; ++c) out[c] += value[c];
            } else if (channels == 2) {
                out[0] += value[0];
                out[1] += value[0];
            } else {
                out[0] += (value[0] + value[1]) * 0.5;
            }
        }
    }

   private:
    uint32_t sourceRate_;
    uint32_t outputRate_;
    uint32_t phases_ = 1;
    uint32_t step_ = 1;
    int32_t half_ = 0;
    std::vector<double> table_;  // phases_ rows of 2 * half_ taps
};

bool EmbeddedWaves(WaveView (&out)[soundCount]) {
    for (int32_t id = 0; id < soundCount; ++id) {
        const EmbeddedResource* wave =
            FindEmbeddedResource("WAV", static_cast<int>(firstWaveResource) + id);
        if (wave == nullptr || Failed(ParseWave(wave->data, wave->size, &out[id]))) return false;
    }
    return true;
}

ShowMixer::ShowMixer(const MixFormat& format) : format_(format) {}

ShowMixer::~ShowMixer() {
    for (SoundObjectPtr& object : objects_) DestroySoundObject(object);
}

std::unique_ptr<ShowMixer> ShowMixer::Open(const MixFormat& format,
                                           const WaveView (&waves)[soundCount],
                                           std::string* error) {
    if (format.rate < 8000 || format.rate > 192000 || format.channels < 1 ||
        format.channels > 2) {
        if (error) *error = "the output must be 8000..192000 Hz with 1 or 2 channels";
        return nullptr;
    }
    std::unique_ptr<ShowMixer> mixer(new ShowMixer(format));
    mixer->device_ = Ref<VirtualSound>::Adopt(new VirtualSound);
    for (int32_t id = 0; id < soundCount; ++id) {
        if (waves[id].format == nullptr) continue;
        // The device refuses rates outside these, which leaves the sound silent.
        const uint32_t rate = waves[id].format->nSamplesPerSec;
        if (rate >= 1000 && rate <= 192000 && mixer->ResamplerFor(rate) == nullptr) {
            mixer->resamplers_.push_back(std::make_unique<Resampler>(rate, format.rate));
            if (!mixer->resamplers_.back()->Usable()) {
                if (error) {
                    *error = "cannot convert " + std::to_string(rate) + " Hz to " +
                             std::to_string(format.rate) + " Hz";
                }
                return nullptr;
            }
        }
        mixer->objects_[id] = CreateSoundObject(*mixer->device_, waves[id], soundVoices);
    }
    return mixer;
}

const ShowMixer::Resampler* ShowMixer::ResamplerFor(uint32_t sourceRate) const {
    for (const auto& resampler : resamplers_) {
        if (resampler->sourceRate() == sourceRate) return resampler.get();
    }
    return nullptr;
}

void ShowMixer::Play(int32_t id) {
    if (id < 0 || id >= soundCount) return;
    ++asked_;
    PlaySoundObject(objects_[id].get());
}

void ShowMixer::SoundHook(void* context, int32_t id) {
    static_cast<ShowMixer*>(context)->Play(id);
}

uint64_t ShowMixer::FrameAt(uint64_t ms) const { return (ms * format_.rate + 500) / 1000; }

uint64_t ShowMixer::VoicesCut() const {
    const std::vector<PlayedSpan>& spans = device_->Spans();
    return static_cast<uint64_t>(
        std::count_if(spans.begin(), spans.end(), [](const PlayedSpan& s) { return s.cut; }));
}

void ShowMixer::PlaceNewSpans() {
    const std::vector<PlayedSpan>& spans = device_->Spans();
    while (startFrames_.size() < spans.size()) {
        startFrames_.push_back(std::max(FrameAt(spans[startFrames_.size()].startMs), mixed_));
    }
}

uint64_t ShowMixer::SpanEnd(size_t index) const {
    const PlayedSpan& span = device_->Spans()[index];
    const Resampler* resampler = ResamplerFor(span.samples->format.nSamplesPerSec);
    return startFrames_[index] + resampler->Length(span.toFrame - span.fromFrame);
}

int32_t ShowMixer::VoicesAt(uint64_t frame) {
    PlaceNewSpans();
    int32_t voices = 0;
    for (size_t i = 0; i < startFrames_.size(); ++i) {
        if (startFrames_[i] <= frame && frame < SpanEnd(i)) ++voices;
    }
    return voices;
}

void ShowMixer::Mix(uint64_t frames, std::vector<int16_t>& out) {
    PlaceNewSpans();
    const uint32_t channels = format_.channels;
    const uint64_t begin = mixed_;
    const uint64_t end = mixed_ + frames;
    sum_.assign(static_cast<size_t>(frames * channels), 0.0);
    const std::vector<PlayedSpan>& spans = device_->Spans();
    while (firstLive_ < spans.size() && SpanEnd(firstLive_) <= begin) ++firstLive_;
    for (size_t i = firstLive_; i < spans.size() && startFrames_[i] < end; ++i) {
        const uint64_t start = startFrames_[i];
        const uint64_t stop = std::min(SpanEnd(i), end);
        if (stop <= begin) continue;
        const uint64_t from = begin > start ? begin - start : 0;
        const uint64_t at = start + from - begin;
        const Resampler* resampler = ResamplerFor(spans[i].samples->format.nSamplesPerSec);
        resampler->Add(spans[i], from, stop - start, sum_.data(), at, channels);
    }
    for (const double value : sum_) {
        const double rounded = std::floor(value + 0.5);
        out.push_back(static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0)));
    }
    mixed_ = end;
}

}  // namespace nb
