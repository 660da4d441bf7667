// A show's sound from its seed. Depends on show_mix.h, the show and the shell's tick length.
#include "show_mix.h"

#include "shell/shell.h"
#include "show/show.h"

namespace nb {

uint64_t TickStartMs(uint64_t tick) { return tick == 0 ? 0 : (tick - 1) * TickLengthMs; }

uint64_t TicksBefore(uint64_t ms) { return (ms + TickLengthMs - 1) / TickLengthMs; }

bool MixShow(const ShowMixRequest& request, const MixFormat& format,
             const WaveView (&waves)[soundCount], ShowMixResult* result, std::string* error) {
    std::unique_ptr<ShowMixer> mixer = ShowMixer::Open(format, waves, error);
    if (!mixer) return false;
    result->samples.clear();
    result->samples.reserve(static_cast<size_t>(request.frames * format.channels));

    const Settings saved = settings;
    const ShowHooks hooks = show.hooks;
    settings.particleLevel = request.particles;
    settings.smokeLevel = request.smoke;
    show.hooks = ShowHooks{};
    show.hooks.context = mixer.get();
    show.hooks.sound = ShowMixer::SoundHook;
    SimInit(request.seed);
    for (uint64_t tick = 1; tick <= request.ticks; ++tick) {
        const uint64_t ms = TickStartMs(tick);
        // Everything before this tick's sounds is settled: mix it as we go.
        const uint64_t due = std::min(mixer->FrameAt(ms), request.frames);
        mixer->Mix(due - mixer->MixedFrames(), result->samples);
        mixer->SetClock(ms);
        SimTick();
    }
    SimShutdown();
    show.hooks = hooks;
    settings = saved;

    mixer->Mix(request.frames - mixer->MixedFrames(), result->samples);
    result->plays = mixer->PlaysAsked();
    result->mixer = std::move(mixer);
    return true;
}

}  // namespace nb
