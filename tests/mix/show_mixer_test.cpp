// The offline mixer: voices chosen, reused and cut off as the sound bank does in time, each
// play at its clock time, samples copied exactly at the waves' own rate and converted
// cleanly to others, sums clamped at full scale; and the show's whole sound as the saver
// plays it, within the headroom the waves were made for.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio_stats.h"
#include "show_mix.h"
#include "show_mixer.h"

namespace nb {
namespace {

constexpr double pi = 3.14159265358979323846;

// Mono 16-bit waves of our own, as WaveViews over memory the fixture keeps.
class MixerTest : public ::testing::Test {
   protected:
    void SetWave(int32_t id, std::vector<int16_t> samples, uint32_t rate = 22050) {
        samples_[id] = std::move(samples);
        formats_[id] = WAVEFORMATEX{WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
        waves_[id].format = &formats_[id];
        waves_[id].formatSize = 16;
        waves_[id].data = reinterpret_cast<const uint8_t*>(samples_[id].data());
        waves_[id].dataSize = static_cast<uint32_t>(samples_[id].size() * 2);
    }
    std::unique_ptr<ShowMixer> Open(uint32_t rate = 22050, uint32_t channels = 1) {
        std::string error;
        std::unique_ptr<ShowMixer> mixer = ShowMixer::Open(MixFormat{rate, channels}, waves_, &error);
        EXPECT_NE(mixer, nullptr) << error;
        return mixer;
    }

    std::vector<int16_t> samples_[soundCount];
    WAVEFORMATEX formats_[soundCount]{};
    WaveView waves_[soundCount];
};

std::vector<int16_t> Constant(size_t frames, int16_t value) {
    return std::vector<int16_t>(frames, value);
}

std::vector<int16_t> Sine(double hz, double amplitude, double seconds, uint32_t rate) {
    std::vector<int16_t> out(static_cast<size_t>(seconds * rate));
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * pi * hz * i / rate)));
    }
    return out;
}

// The level of a sine of hz in samples, by a single-bin DFT.
double Level(const std::vector<int16_t>& samples, double hz, uint32_t rate) {
    double re = 0.0;
    double im = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        re += samples[i] * std::cos(2.0 * pi * hz * i / rate);
        im += samples[i] * std::sin(2.0 * pi * hz * i / rate);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(samples.size());
}

TEST(VirtualSoundTest, BuffersPlayStopAndResumeOnTheClock) {
    Ref<VirtualSound> device = Ref<VirtualSound>::Adopt(new VirtualSound);
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), voiceBufferFlags, 4410, 0, &format};  // 100 ms
    Ref<SoundBuffer> voice;
    ASSERT_EQ(device->CreateSoundBuffer(desc, voice.Put()), DS_OK);
    uint32_t status = 0;
    ASSERT_EQ(voice->Play(0, 0, 0), DS_OK);
    device->SetClock(40);
    ASSERT_EQ(voice->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    EXPECT_EQ(voice->Play(0, 0, 0), DS_OK);  // playing already: nothing restarts
    voice->Stop();
    device->SetClock(500);
    voice->Play(0, 0, 0);  // on from where it stopped
    device->SetClock(559);
    voice->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    device->SetClock(561);
    voice->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    device->SetClock(5);  // the clock never runs back
    EXPECT_EQ(device->Clock(), 561u);
    voice->Play(0, 0, 0);  // played out: from the start again
    EXPECT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DSERR_INVALIDPARAM);  // a loop has no end

    const std::vector<PlayedSpan>& spans = device->Spans();
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].startMs, 0u);
    EXPECT_EQ(spans[0].fromFrame, 0u);
    EXPECT_EQ(spans[0].toFrame, 882u);  // 40 ms
    EXPECT_TRUE(spans[0].cut);
    EXPECT_EQ(spans[1].startMs, 500u);
    EXPECT_EQ(spans[1].fromFrame, 882u);
    EXPECT_EQ(spans[1].toFrame, 2205u);
    EXPECT_FALSE(spans[1].cut);
    EXPECT_EQ(spans[2].startMs, 561u);
    EXPECT_EQ(spans[2].fromFrame, 0u);
    // A voice released while it plays falls silent then.
    device->SetClock(600);
    voice.Reset();
    EXPECT_EQ(device->Spans()[2].toFrame, 859u);

    WAVEFORMATEX eightBit = format;
    eightBit.wBitsPerSample = 8;
    eightBit.nBlockAlign = 1;
    desc.lpwfxFormat = &eightBit;
    Ref<SoundBuffer> other;
    EXPECT_EQ(device->CreateSoundBuffer(desc, other.Put()), DSERR_BADFORMAT);
}

TEST_F(MixerTest, VoicesAreTakenReusedAndCutOffAsTheBankDoes) {
    // 100 ms at 1000: the sum shows how many voices sound.
    SetWave(0, Constant(2205, 1000));
    std::unique_ptr<ShowMixer> mixer = Open();
    // Eleven plays 1 ms apart: ten voices, then the eleventh cuts voice 0 off and starts it
    // again at 10 ms, so no more than ten ever sound together.
    for (uint64_t ms = 0; ms <= 10; ++ms) {
        mixer->SetClock(ms);
        mixer->Play(0);
    }
    mixer->SetClock(300);
    mixer->Play(0);  // all done by then: the voice tried last is free and plays again
    std::vector<int16_t> out;
    mixer->Mix(22050 / 2, out);
    auto at = [&](double ms) { return out[static_cast<size_t>(ms * 22.05)]; };
    EXPECT_EQ(at(0.5), 1000);
    EXPECT_EQ(at(9.5), 10000);
    EXPECT_EQ(at(50.0), 10000);
    EXPECT_EQ(at(105.5), 5000);  // voices 6..9 (ending 106..109 ms) and voice 0 (110)
    EXPECT_EQ(at(109.7), 1000);
    EXPECT_EQ(at(111.0), 0);
    EXPECT_EQ(at(350.0), 1000);
    EXPECT_EQ(at(401.0), 0);
    EXPECT_EQ(mixer->PlaysAsked(), 12u);
    EXPECT_EQ(mixer->PlaysMade(), 12u);
    EXPECT_EQ(mixer->VoicesCut(), 1u);
    EXPECT_EQ(mixer->VoicesAt(mixer->FrameAt(50)), 10);

    // Ids the bank does not have, and ids without a wave, are silent.
    mixer->SetClock(500);
    for (int32_t id : {-1, 1, 5, 6}) mixer->Play(id);
    EXPECT_EQ(mixer->PlaysMade(), 12u);
}

TEST_F(MixerTest, AtTheWavesRateEveryPlayIsAnExactCopyAtItsClockTime) {
    std::vector<int16_t> ramp(1000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 7 - 3000);
    SetWave(2, ramp);
    for (const uint32_t channels : {1u, 2u}) {
        std::unique_ptr<ShowMixer> mixer = Open(22050, channels);
        mixer->SetClock(17);
        mixer->Play(2);
        std::vector<int16_t> out;
        // In uneven pieces: the pieces join without a seam.
        for (const uint64_t piece : {100u, 277u, 1000u, 2000u}) mixer->Mix(piece, out);
        ASSERT_EQ(out.size(), 3377u * channels);
        const uint64_t start = mixer->FrameAt(17);
        EXPECT_EQ(start, 375u);  // 17 ms at 22050 Hz, rounded
        for (uint64_t f = 0; f < 3377; ++f) {
            const int16_t expected = f >= start && f < start + 1000 ? ramp[f - start] : 0;
            for (uint32_t c = 0; c < channels; ++c) {
                ASSERT_EQ(out[f * channels + c], expected) << "frame " << f << " channel " << c;
            }
        }
    }
}

TEST_F(MixerTest, APlayAfterWhatIsMixedStartsLateButWhole) {
    SetWave(0, Constant(100, 500));
    std::unique_ptr<ShowMixer> mixer = Open();
    std::vector<int16_t> out;
    mixer->Mix(1000, out);
    mixer->SetClock(10);  // frame 221, already mixed
    mixer->Play(0);
    mixer->Mix(1000, out);
    EXPECT_EQ(out[999], 0);
    EXPECT_EQ(out[1000], 500);
    EXPECT_EQ(out[1099], 500);
    EXPECT_EQ(out[1100], 0);
}

TEST_F(MixerTest, SumsBeyondFullScaleAreClampedNotWrapped) {
    SetWave(0, Constant(2205, 20000));
    SetWave(1, Constant(2205, -20000));
    std::unique_ptr<ShowMixer> mixer = Open();
    mixer->Play(0);
    mixer->Play(0);
    mixer->SetClock(200);
    mixer->Play(1);
    mixer->Play(1);
    std::vector<int16_t> out;
    mixer->Mix(22050 / 2, out);
    EXPECT_EQ(out[1000], 32767);
    EXPECT_EQ(out[mixer->FrameAt(250)], -32768);
}

TEST_F(MixerTest, OtherRatesKeepPitchLevelAndTiming) {
    // A 1 kHz and an 8 kHz tone at 22050 Hz, each 0.5 s at 10000.
    SetWave(0, Sine(1000.0, 10000.0, 0.5, 22050));
    SetWave(1, Sine(8000.0, 10000.0, 0.5, 22050));
    for (const uint32_t rate : {8000u, 44100u, 48000u}) {
        SCOPED_TRACE(rate);
        for (const int32_t id : {0, 1}) {
            if (id == 1 && rate < 22050) continue;  // 8 kHz is beyond 8000 Hz's reach
            const double hz = id == 0 ? 1000.0 : 8000.0;
            std::unique_ptr<ShowMixer> mixer = Open(rate);
            mixer->SetClock(100);
            mixer->Play(id);
            std::vector<int16_t> out;
            mixer->Mix(rate, out);
            // Where it starts: nothing before 100 ms, the tone from then on.
            const uint64_t start = mixer->FrameAt(100);
            for (uint64_t f = 0; f < start; ++f) ASSERT_EQ(out[f], 0) << f;
            EXPECT_NE(out[start + 2], 0);
            const std::vector<int16_t> body(out.begin() + static_cast<long>(start + rate / 20),
                                            out.begin() + static_cast<long>(start + rate * 45 / 100));
            EXPECT_NEAR(20.0 * std::log10(Level(body, hz, rate) / 10000.0), 0.0, 0.1);
            // What conversion adds elsewhere (the tone's image mirrored about 11025 Hz and
            // everything else) stays 60 dB below it.
            const std::vector<int16_t> residue = [&] {
                std::vector<int16_t> r(body);
                const double phase = 2.0 * pi * hz / rate;
                // Subtract the best-fitting tone, leaving the rest.
                double re = 0.0, im = 0.0;
                for (size_t i = 0; i < r.size(); ++i) {
                    re += r[i] * std::cos(phase * i);
                    im += r[i] * std::sin(phase * i);
                }
                re *= 2.0 / r.size();
                im *= 2.0 / r.size();
                for (size_t i = 0; i < r.size(); ++i) {
                    r[i] = static_cast<int16_t>(
                        std::lround(r[i] - re * std::cos(phase * i) - im * std::sin(phase * i)));
                }
                return r;
            }();
            const AudioStats rest = MeasureAudio(residue.data(), residue.size(), 1, rate);
            EXPECT_LT(rest.rmsDbfs, 20.0 * std::log10(10000.0 / 32768.0) - 60.0);
        }
    }
}

TEST_F(MixerTest, RatesThatCannotBeConvertedAreRefused) {
    SetWave(0, Constant(10, 1));
    std::string error;
    EXPECT_EQ(ShowMixer::Open(MixFormat{44101, 2}, waves_, &error), nullptr);
    EXPECT_NE(error.find("22050 Hz to 44101 Hz"), std::string::npos) << error;
    EXPECT_EQ(ShowMixer::Open(MixFormat{48000, 3}, waves_, &error), nullptr);
    EXPECT_EQ(ShowMixer::Open(MixFormat{7999, 1}, waves_, &error), nullptr);
}

// The program's own waves and show.
class ShowSoundTest : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_TRUE(EmbeddedWaves(waves_)); }
    ShowMixResult Mix(uint32_t seed, uint64_t seconds, MixFormat format = {}) {
        ShowMixRequest request;
        request.seed = seed;
        request.ticks = TicksBefore(seconds * 1000);
        request.frames = seconds * format.rate;
        ShowMixResult result;
        std::string error;
        EXPECT_TRUE(MixShow(request, format, waves_, &result, &error)) << error;
        return result;
    }
    WaveView waves_[soundCount];
};

TEST_F(ShowSoundTest, TheBusiestShowKeepsItsHeadroom) {
    // Seed 10 raises the most sounds of seeds 1 to 20 in two minutes at High/High.
    const ShowMixResult mix = Mix(10, 120);
    const AudioStats s = MeasureAudio(mix.samples.data(), 120 * 22050, 2, 22050);
    EXPECT_GT(mix.plays, 400u);
    EXPECT_LE(s.clippedShare, 0.00001);
    EXPECT_LE(s.worstClipped.clipped, 10u);
    EXPECT_GE(s.rmsDbfs, -24.0);
    EXPECT_LE(s.rmsDbfs, -14.0);
}

TEST_F(ShowSoundTest, TheSameShowGivesTheSameSamplesAtAnyRate) {
    const ShowMixResult first = Mix(77, 5);
    const ShowMixResult second = Mix(77, 5);
    EXPECT_EQ(first.samples, second.samples);
    // At 48 kHz the same sound, but for the waves' hiss in the last 8% below their Nyquist
    // frequency, which conversion must leave out.
    const ShowMixResult high = Mix(77, 5, MixFormat{48000, 2});
    EXPECT_EQ(high.samples.size(), 5u * 48000 * 2);
    EXPECT_EQ(high.plays, first.plays);
    EXPECT_GT(high.plays, 20u);
    EXPECT_EQ(Mix(77, 5, MixFormat{48000, 2}).samples, high.samples);
    const AudioStats a = MeasureAudio(first.samples.data(), 5 * 22050, 2, 22050);
    const AudioStats b = MeasureAudio(high.samples.data(), 5 * 48000, 2, 48000);
    EXPECT_NEAR(a.rmsDbfs, b.rmsDbfs, 0.15);
    EXPECT_NEAR(a.loudnessLufs, b.loudnessLufs, 0.3);
    EXPECT_NEAR(a.peakDbfs, b.peakDbfs, 1.0);
}

}  // namespace
}  // namespace nb
