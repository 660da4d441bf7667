// Level, loudness and clipping of 16-bit PCM. Depends on audio_stats.h only.
#include "audio_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace nb {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double fullScale = 32768.0;
constexpr double silence = -std::numeric_limits<double>::infinity();

double Dbfs(double level) { return level > 0.0 ? 20.0 * std::log10(level / fullScale) : silence; }

bool Clipped(int16_t sample) { return sample >= 32767 || sample <= -32767; }

// One biquad in direct form I, coefficients {b0, b1, b2, a1, a2}.
struct Biquad {
    const double* c;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    double Step(double x) {
        const double y = c[0] * x + c[1] * x1 + c[2] * x2 - c[3] * y1 - c[4] * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

uint64_t WindowStart(uint64_t index, uint32_t rate) { return index * rate / 10; }

void PrintDb(std::FILE* out, double value) {
    if (std::isinf(value)) {
        std::fprintf(out, "-inf");
    } else {
        // Never "-0.00" for a level a hair under full scale.
        std::fprintf(out, "%.2f", value > -0.005 && value < 0.005 ? 0.0 : value);
    }
}

}  // namespace

KWeighting KWeightingFor(uint32_t rate) {
    // The filters of BS.1770 given at 48 kHz, as the analogue shelf and high pass they
    // were made from, so that every rate gets the same response.
    KWeighting k{};
    {
        const double f0 = 1681.974450955533;
        const double gainDb = 3.999843853973347;
        const double q = 0.7071752369554196;
        const double kk = std::tan(pi * f0 / rate);
        const double vh = std::pow(10.0, gainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + kk / q + kk * kk;
        k.shelf[0] = (vh + vb * kk / q + kk * kk) / a0;
        k.shelf[1] = 2.0 * (kk * kk - vh) / a0;
        k.shelf[2] = (vh - vb * kk / q + kk * kk) / a0;
        k.shelf[3] = 2.0 * (kk * kk - 1.0) / a0;
        k.shelf[4] = (1.0 - kk / q + kk * kk) / a0;
    }
    {
        const double f0 = 38.13547087602444;
        const double q = 0.5003270373238773;
        const double kk = std::tan(pi * f0 / rate);
        const double a0 = 1.0 + kk / q + kk * kk;
        k.highPass[0] = 1.0;
        k.highPass[1] = -2.0;
        k.highPass[2] = 1.0;
        k.highPass[3] = 2.0 * (kk * kk - 1.0) / a0;
        k.highPass[4] = (1.0 - kk / q + kk * kk) / a0;
    }
    return k;
}

AudioStats MeasureAudio(const int16_t* samples, uint64_t frames, uint32_t channels,
                        uint32_t rate, size_t loudest) {
    AudioStats stats;
    stats.rate = rate;
    stats.channels = channels;
    stats.frames = frames;
    const KWeighting k = KWeightingFor(rate);
    std::vector<Biquad> shelves(channels, Biquad{k.shelf});
    std::vector<Biquad> highPasses(channels, Biquad{k.highPass});

    std::vector<AudioWindow> windows;
    std::vector<double> weightedEnergy;  // K-weighted sum of squares of each window
    double energy = 0.0;
    uint64_t frame = 0;
    for (uint64_t w = 0; WindowStart(w, rate) < frames; ++w) {
        const uint64_t end = std::min(WindowStart(w + 1, rate), frames);
        AudioWindow window;
        window.index = w;
        double windowEnergy = 0.0;
        double weighted = 0.0;
        for (; frame < end; ++frame) {
            for (uint32_t c = 0; c < channels; ++c) {
                const int16_t s = samples[frame * channels + c];
                const double v = s;
                windowEnergy += v * v;
                window.peak = std::max(window.peak, s < 0 ? -int32_t{s} : int32_t{s});
                if (Clipped(s)) ++window.clipped;
                const double y = highPasses[c].Step(shelves[c].Step(v / fullScale));
                weighted += y * y;
            }
        }
        const uint64_t count = (end - WindowStart(w, rate)) * channels;
        window.rmsDbfs = Dbfs(std::sqrt(windowEnergy / static_cast<double>(count)));
        energy += windowEnergy;
        stats.peak = std::max(stats.peak, window.peak);
        stats.clipped += window.clipped;
        if (window.clipped > 0) ++stats.windowsClipped;
        if (window.clipped > stats.worstClipped.clipped) stats.worstClipped = window;
        windows.push_back(window);
        weightedEnergy.push_back(weighted);
    }
    stats.windows = windows.size();
    const double total = static_cast<double>(frames) * channels;
    stats.peakDbfs = Dbfs(stats.peak);
    stats.rmsDbfs = frames > 0 ? Dbfs(std::sqrt(energy / total)) : silence;
    stats.clippedShare = frames > 0 ? static_cast<double>(stats.clipped) / total : 0.0;

    // Gating blocks of 400 ms, one starting at every full 100 ms window that has three
    // full windows after it; each channel's mean square summed (all weights 1).
    std::vector<double> blocks;
    for (uint64_t w = 0; w + 4 <= windows.size() && WindowStart(w + 4, rate) <= frames; ++w) {
        const double length = static_cast<double>(WindowStart(w + 4, rate) - WindowStart(w, rate));
        blocks.push_back((weightedEnergy[w] + weightedEnergy[w + 1] + weightedEnergy[w + 2] +
                          weightedEnergy[w + 3]) / length);
    }
    auto loudness = [](double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); };
    auto gatedMean = [&](double gate) {
        double sum = 0.0;
        size_t count = 0;
        for (const double z : blocks) {
            if (z > 0.0 && loudness(z) > gate) {
                sum += z;
                ++count;
            }
        }
        return count > 0 ? sum / static_cast<double>(count) : 0.0;
    };
    const double absolute = gatedMean(-70.0);
    if (absolute > 0.0) {
        const double relative = gatedMean(loudness(absolute) - 10.0);
        stats.loudnessLufs = relative > 0.0 ? loudness(relative) : silence;
    } else {
        stats.loudnessLufs = silence;
    }

    std::stable_sort(windows.begin(), windows.end(), [](const AudioWindow& a, const AudioWindow& b) {
        return a.rmsDbfs > b.rmsDbfs;
    });
    windows.resize(std::min(windows.size(), loudest));
    stats.loudest = std::move(windows);
    return stats;
}

void PrintAudioStats(std::FILE* out, const AudioStats& stats, const std::vector<int32_t>& voices) {
    const double seconds = static_cast<double>(stats.frames) / stats.rate;
    std::fprintf(out, "audio: %u Hz, %u channel%s, %llu frames (%.3f s)\n", stats.rate,
                 stats.channels, stats.channels == 1 ? "" : "s",
                 static_cast<unsigned long long>(stats.frames), seconds);
    std::fprintf(out, "peak: ");
    PrintDb(out, stats.peakDbfs);
    std::fprintf(out, " dBFS (%d)\nrms: ", stats.peak);
    PrintDb(out, stats.rmsDbfs);
    std::fprintf(out, " dBFS\nloudness: ");
    PrintDb(out, stats.loudnessLufs);
    std::fprintf(out, " LUFS\n");
    std::fprintf(out, "clipped: %llu samples (%.5f%%)\n",
                 static_cast<unsigned long long>(stats.clipped), stats.clippedShare * 100.0);
    std::fprintf(out, "clipped windows: %llu of %llu (100 ms each)\n",
                 static_cast<unsigned long long>(stats.windowsClipped),
                 static_cast<unsigned long long>(stats.windows));
    std::fprintf(out, "worst window: %llu clipped samples at %.1f s\n",
                 static_cast<unsigned long long>(stats.worstClipped.clipped),
                 static_cast<double>(stats.worstClipped.index) / 10.0);
    for (size_t i = 0; i < stats.loudest.size(); ++i) {
        const AudioWindow& w = stats.loudest[i];
        std::fprintf(out, "loudest: %.1f s, rms ", static_cast<double>(w.index) / 10.0);
        PrintDb(out, w.rmsDbfs);
        std::fprintf(out, " dBFS, peak %d, %llu clipped", w.peak,
                     static_cast<unsigned long long>(w.clipped));
        if (voices.size() == stats.loudest.size()) {
            std::fprintf(out, ", %d voices", voices[i]);
        }
        std::fprintf(out, "\n");
    }
}

}  // namespace nb
