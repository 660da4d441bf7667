// How loud a stretch of 16-bit PCM is and where it clips: peak and RMS level against full
// scale, integrated loudness (ITU-R BS.1770-4: K-weighting, 400 ms blocks every 100 ms,
// absolute and relative gates; each channel weighted 1), samples at full scale, and the
// 100 ms windows, which show where it is busiest. The same measure serves an offline mix
// and a recording of a real program's output.
// Depends on the standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace nb {

// A 100 ms window: window i holds frames [i * rate / 10, (i + 1) * rate / 10); the last
// may be shorter.
struct AudioWindow {
    size_t index = 0;
    double rmsDbfs = 0.0;
    int32_t peak = 0;
    uint64_t clipped = 0;
};

struct AudioStats {
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint64_t frames = 0;
    int32_t peak = 0;              // largest magnitude, 0..32768
    double peakDbfs = 0.0;         // 20 log10(peak / 32768); -inf for silence
    double rmsDbfs = 0.0;          // over every sample; a full-scale square wave is 0
    double loudnessLufs = 0.0;     // integrated; -inf when every block is gated away
    uint64_t clipped = 0;          // samples at full scale (32767 or -32767 and below)
    double clippedShare = 0.0;     // of all samples, 0..1
    uint64_t windows = 0;
    uint64_t windowsClipped = 0;   // windows holding a clipped sample
    AudioWindow worstClipped;      // the window with the most clipped samples (the first)
    std::vector<AudioWindow> loudest;  // the loudest windows, loudest first
};

// The statistics of frames frames of interleaved samples; loudest holds up to `loudest`
// windows. rate at least 10, channels at least 1.
AudioStats MeasureAudio(const int16_t* samples, uint64_t frames, uint32_t channels,
                        uint32_t rate, size_t loudest = 5);

// The K-weighting filter for a sample rate: a high shelf then a high pass, each as
// {b0, b1, b2, a1, a2} (a0 = 1).
struct KWeighting {
    double shelf[5];
    double highPass[5];
};
KWeighting KWeightingFor(uint32_t rate);

// The statistics as lines of "name: value" for people and scripts; loudest windows with
// the voices given for each (when voices has one entry per loudest window).
void PrintAudioStats(std::FILE* out, const AudioStats& stats,
                     const std::vector<int32_t>& voices = {});

}  // namespace nb
