// The show's sound, mixed offline: the six waves in voices made as the sound bank makes
// them, on a device in virtual time, so that every play picks, reuses and cuts off voices
// exactly as the saver's bank does; then what the voices played, summed into 16-bit PCM
// at any rate and one or two channels. The same show gives the same samples, bit for bit.
// Depends on the sound bank (its voice choice), the sound port and virtual_sound.h. Knows
// nothing of the show: the caller moves the clock and plays ids as the show raises them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ref.h"
#include "sound/sound.h"
#include "sound/wave.h"
#include "virtual_sound.h"

namespace nb {

struct MixFormat {
    uint32_t rate = 22050;  // frames per second, 8000..192000
    uint32_t channels = 2;  // 1 or 2; a mono wave sounds alike in both
};

// The six waves as the program embeds them (resources 200..205). False when one is
// missing or not a wave.
bool EmbeddedWaves(WaveView (&out)[soundCount]);

class ShowMixer {
   public:
    ~ShowMixer();
    ShowMixer(const ShowMixer&) = delete;
    ShowMixer& operator=(const ShowMixer&) = delete;

    // A mixer for waves[0..5] (sound ids 0..5, each made into soundVoices voices). The
    // waves' bytes must outlive the mixer. A wave that cannot be made into voices leaves
    // its id silent, as in the saver. Null with a reason when the format is out of range.
    static std::unique_ptr<ShowMixer> Open(const MixFormat& format,
                                           const WaveView (&waves)[soundCount],
                                           std::string* error);

    const MixFormat& format() const { return format_; }

    // The clock the next plays happen at, in milliseconds from the start of the mix; it
    // never runs backwards.
    void SetClock(uint64_t ms) { device_->SetClock(ms); }
    // What SoundPlay does for id at the clock: a free voice of that sound, or, when the
    // next one plays too, that one cut off and started again. Other ids are ignored.
    void Play(int32_t id);
    // The show's sound hook (ShowHooks::sound) with this mixer as its context.
    static void SoundHook(void* context, int32_t id);

    // Mixes the next frames frames and appends them to out (frames x channels samples).
    // A play starts at the frame of its clock time, or at the first frame not yet mixed
    // when that lies later: its start is delayed, never lost.
    void Mix(uint64_t frames, std::vector<int16_t>& out);
    uint64_t MixedFrames() const { return mixed_; }
    // The output frame at which clock time ms falls (rounded to the nearest).
    uint64_t FrameAt(uint64_t ms) const;

    // Plays asked for, plays that sounded, and voices cut off by a later play.
    uint64_t PlaysAsked() const { return asked_; }
    uint64_t PlaysMade() const { return device_->Spans().size(); }
    uint64_t VoicesCut() const;
    // Voices sounding at output frame (of what was mixed or is about to be).
    int32_t VoicesAt(uint64_t frame);

   private:
    class Resampler;

    explicit ShowMixer(const MixFormat& format);
    // Places spans the mixer has not seen yet and gives the first that may still sound.
    void PlaceNewSpans();
    uint64_t SpanEnd(size_t index) const;
    const Resampler* ResamplerFor(uint32_t sourceRate) const;

    MixFormat format_;
    Ref<VirtualSound> device_;
    SoundObjectPtr objects_[soundCount];
    std::vector<std::unique_ptr<Resampler>> resamplers_;
    std::vector<uint64_t> startFrames_;  // of each span, once placed
    size_t firstLive_ = 0;
    uint64_t mixed_ = 0;
    uint64_t asked_ = 0;
    std::vector<double> sum_;
};

}  // namespace nb
