// The sound of a whole show from its seed: the show run tick by tick with its sound events
// going to an offline mixer, each tick at its place on the show's clock (tick t at
// (t - 1) x 17 ms), as the saver raises them when it keeps time.
// Depends on the show (the process-wide one: it is started, run and cleared here) and on
// show_mixer.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "show_mixer.h"

namespace nb {

struct ShowMixRequest {
    uint32_t seed = 0;
    int32_t particles = 2;
    int32_t smoke = 2;
    uint64_t ticks = 0;   // ticks the show runs
    uint64_t frames = 0;  // frames of sound mixed (a sound still playing then is cut)
};

struct ShowMixResult {
    std::vector<int16_t> samples;  // frames x channels, interleaved
    uint64_t plays = 0;            // sound events the show raised
    // The mixer after the show, for questions about its voices (VoicesAt, VoicesCut).
    std::unique_ptr<ShowMixer> mixer;
};

// The clock time of a tick's sound events (tick 1 at 0).
uint64_t TickStartMs(uint64_t tick);
// The ticks that start before clock time ms.
uint64_t TicksBefore(uint64_t ms);

// Runs the show as asked and mixes its sound in format. False with a reason when the mixer
// cannot be made.
bool MixShow(const ShowMixRequest& request, const MixFormat& format,
             const WaveView (&waves)[soundCount], ShowMixResult* result, std::string* error);

}  // namespace nb
