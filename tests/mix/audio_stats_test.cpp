// The level and loudness measure: against BS.1770's own filter and reference tone, its
// gating, and where clipped samples and the loudest moments are found.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio_stats.h"

namespace nb {
namespace {

constexpr double pi = 3.14159265358979323846;

// A sine of amplitude (of full scale) in every channel.
std::vector<int16_t> Tone(double hz, double amplitude, double seconds, uint32_t rate,
                          uint32_t channels) {
    const auto frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> out;
    for (size_t i = 0; i < frames; ++i) {
        const double v = std::round(amplitude * 32767.0 * std::sin(2.0 * pi * hz * i / rate));
        for (uint32_t c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>(v));
    }
    return out;
}

AudioStats Measure(const std::vector<int16_t>& samples, uint32_t channels, uint32_t rate) {
    return MeasureAudio(samples.data(), samples.size() / channels, channels, rate);
}

TEST(AudioStatsTest, KWeightingAt48kHzIsTheStandardsFilter) {
    const KWeighting k = KWeightingFor(48000);
    const double shelf[5] = {1.53512485958697, -2.69169618940638, 1.19839281085285,
                             -1.69065929318241, 0.73248077421585};
    const double highPass[5] = {1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(k.shelf[i], shelf[i], 1e-8) << i;
        EXPECT_NEAR(k.highPass[i], highPass[i], 1e-8) << i;
    }
}

TEST(AudioStatsTest, FullScaleReferenceToneAtEveryRate) {
    // A full-scale 997 Hz sine reads -3.01 LUFS in one channel, so 0 in two; its RMS is
    // 3.01 dB below a full-scale square wave.
    for (const uint32_t rate : {22050u, 44100u, 48000u}) {
        for (const uint32_t channels : {1u, 2u}) {
            const AudioStats s = Measure(Tone(997.0, 1.0, 3.0, rate, channels), channels, rate);
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels");
            EXPECT_NEAR(s.loudnessLufs, channels == 1 ? -3.01 : 0.0, 0.05);
            EXPECT_NEAR(s.rmsDbfs, -3.01, 0.01);
            EXPECT_NEAR(s.peakDbfs, 0.0, 0.01);
            EXPECT_EQ(s.windows, 30u);
        }
    }
    // Loudness follows level: 20 dB down reads 20 LU less.
    const AudioStats quiet = Measure(Tone(997.0, 0.1, 3.0, 48000, 2), 2, 48000);
    EXPECT_NEAR(quiet.loudnessLufs, -20.0, 0.05);
}

TEST(AudioStatsTest, QuietPartsAndSilenceAreGatedOutOfLoudness) {
    // 5 s at -20 dBFS, then 5 s 35 dB quieter (above the absolute gate, below the relative
    // one), then 5 s of silence: the loudness is that of the loud part alone, but for the
    // three blocks that straddle the change.
    std::vector<int16_t> samples = Tone(997.0, 0.1, 5.0, 22050, 2);
    const std::vector<int16_t> soft = Tone(997.0, 0.1 / 56.2, 5.0, 22050, 2);
    samples.insert(samples.end(), soft.begin(), soft.end());
    samples.resize(samples.size() + 5 * 22050 * 2, 0);
    const AudioStats s = Measure(samples, 2, 22050);
    EXPECT_NEAR(s.loudnessLufs, -20.1, 0.05);
    EXPECT_LT(s.rmsDbfs, -24.0);  // the plain average does count the quiet time

    const std::vector<int16_t> silent(22050 * 2, 0);
    const AudioStats none = Measure(silent, 2, 22050);
    EXPECT_TRUE(std::isinf(none.loudnessLufs));
    EXPECT_TRUE(std::isinf(none.rmsDbfs));
    EXPECT_EQ(none.peak, 0);
    EXPECT_EQ(none.clipped, 0u);
}

TEST(AudioStatsTest, ClippedSamplesAndTheirWindows) {
    // 1.05 s of stereo: window 3 holds a burst with 12 samples at full scale, window 7 one
    // sample at negative full scale, the short last window a quiet tone.
    const uint32_t rate = 22050;
    std::vector<int16_t> samples(static_cast<size_t>(rate * 105 / 100) * 2, 0);
    for (size_t i = 0; i < 400; ++i) samples[3 * 2205 * 2 + 100 + i] = 20000;
    for (size_t i = 0; i < 12; ++i) samples[3 * 2205 * 2 + 600 + i] = 32767;
    samples[7 * 2205 * 2 + 9] = -32768;
    for (size_t i = 10 * 2205 * 2; i < samples.size(); ++i) samples[i] = 300;
    const AudioStats s = Measure(samples, 2, rate);
    EXPECT_EQ(s.windows, 11u);
    EXPECT_EQ(s.clipped, 13u);
    EXPECT_NEAR(s.clippedShare, 13.0 / samples.size(), 1e-12);
    EXPECT_EQ(s.windowsClipped, 2u);
    EXPECT_EQ(s.worstClipped.index, 3u);
    EXPECT_EQ(s.worstClipped.clipped, 12u);
    EXPECT_EQ(s.peak, 32768);
    ASSERT_EQ(s.loudest.size(), 5u);
    EXPECT_EQ(s.loudest[0].index, 3u);
    EXPECT_EQ(s.loudest[1].index, 7u);
    EXPECT_EQ(s.loudest[2].index, 10u);
    EXPECT_EQ(s.loudest[2].peak, 300);
    EXPECT_NEAR(s.loudest[2].rmsDbfs, 20.0 * std::log10(300.0 / 32768.0), 1e-9);
}

}  // namespace
}  // namespace nb
