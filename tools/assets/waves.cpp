// The six sound effects, synthesized from fixed-seed noise and sine partials,
// filtered and enveloped, then scaled to their peak level and faded at both ends.
// 22050 Hz, mono, 16-bit. Depends on synth.h only; all arithmetic is double
// with +, -, *, / and the generator's own sine, so the samples are the same on
// every machine.
#include "generators.h"

namespace nb::assets {
namespace {

constexpr double rate = 22050.0;
// Peak levels, as shares of full scale. The saver sums up to ten voices of each wave with
// nothing to soften them, and sounds raised in the same tick start on the same sample, so
// two bursts add up to twice a wave's peak and a busy sky to more: at 0.28 the busiest
// shows keep about 2 dB of headroom and still average near -21 dBFS. The launch whistle is
// a nearly pure tone, far louder for its peak than the bangs and hisses, and sits lower so
// that launches do not cover the bursts.
constexpr double peakLevel = 0.28;
constexpr double whistlePeakLevel = 0.17;

// Chamberlin state-variable filter, run twice per sample: a single pass turns
// unstable for cutoffs above about a sixth of the sample rate. `damping` is 1/Q.
struct Svf {
    double f = 0.0, damping = 1.0, low = 0.0, band = 0.0, high = 0.0;
    Svf(double cutoff, double q) : f(Coefficient(cutoff)), damping(1.0 / q) {}
    static double Coefficient(double cutoff) { return 2.0 * Sin(pi * cutoff / (2.0 * rate)); }
    void Tune(double cutoff) { f = Coefficient(cutoff); }
    void Step(double in) {
        for (int pass = 0; pass < 2; ++pass) {
            low += f * band;
            high = in - low - damping * band;
            band += f * high;
        }
    }
};

// Per-sample multiplier of an exponential decay with time constant tau seconds.
double DecayFactor(double tau) { return 1.0 - 1.0 / (tau * rate); }

// Deep thump: a sine gliding down from `start` to `end` Hz, with its own decay.
void AddThump(std::vector<double>& out, size_t at, double start, double end, double tau, double gain) {
    double phase = 0.0;
    double glide = 1.0;
    double env = 1.0;
    const double glideStep = DecayFactor(0.045);
    const double envStep = DecayFactor(tau);
    for (size_t i = at; i < out.size(); ++i) {
        const double t = static_cast<double>(i - at) / rate;
        const double attack = t < 0.004 ? t / 0.004 : 1.0;
        const double freq = end + (start - end) * glide;
        out[i] += gain * attack * env * (Sin(phase) + 0.25 * Sin(2.0 * phase));
        phase += 2.0 * pi * freq / rate;
        if (phase > 2.0 * pi) phase -= 2.0 * pi;
        glide *= glideStep;
        env *= envStep;
    }
}

// Noisy body of a bang: low-passed noise whose cutoff falls as it decays, with a
// slower, quieter tail so the report rolls away instead of stopping.
void AddBangNoise(std::vector<double>& out, Rng& rng, size_t at, double cutoff, double tau, double tailTau,
                  double gain) {
    Svf filter(cutoff, 0.8);
    double env = 1.0;
    double tail = 0.35;
    const double envStep = DecayFactor(tau);
    const double tailStep = DecayFactor(tailTau);
    for (size_t i = at; i < out.size(); ++i) {
        const double t = static_cast<double>(i - at) / rate;
        filter.Tune(cutoff * (0.3 + 0.7 * env) + 80.0);
        filter.Step(rng.Signed());
        const double attack = t < 0.002 ? t / 0.002 : 1.0;
        out[i] += gain * attack * (env + tail) * filter.low;
        env *= envStep;
        tail *= tailStep;
    }
}

// Crackle: many tiny high-passed pops, denser early, scattered over [from, to).
void AddCrackle(std::vector<double>& out, Rng& rng, double from, double to, int count, double gain) {
    for (int k = 0; k < count; ++k) {
        const double u = rng.Uniform();
        const double when = from + (to - from) * u * u;
        const size_t at = static_cast<size_t>(when * rate);
        const double length = 0.002 + 0.005 * rng.Uniform();
        const double amp = gain * (0.35 + 0.65 * rng.Uniform()) * (1.0 - 0.6 * u);
        Svf filter(2500.0 + 3500.0 * rng.Uniform(), 1.5);
        double env = 1.0;
        const double step = DecayFactor(length / 3.0);
        const size_t n = static_cast<size_t>(length * rate);
        for (size_t i = 0; i < n && at + i < out.size(); ++i) {
            filter.Step(rng.Signed());
            out[at + i] += amp * env * (filter.high + filter.band);
            env *= step;
        }
    }
}

// Removes any DC, scales to the peak level, and ramps both ends from silence.
std::vector<int16_t> Finish(std::vector<double>& signal, double fadeIn, double fadeOut,
                            double peakFraction = peakLevel) {
    double prevIn = 0.0, prevOut = 0.0;
    for (double& s : signal) {
        const double y = s - prevIn + 0.995 * prevOut;
        prevIn = s;
        prevOut = y;
        s = y;
    }
    const size_t n = signal.size();
    const size_t in = static_cast<size_t>(fadeIn * rate);
    const size_t out = static_cast<size_t>(fadeOut * rate);
    for (size_t i = 0; i < in && i < n; ++i) signal[i] *= static_cast<double>(i) / static_cast<double>(in);
    for (size_t i = 0; i < out && i < n; ++i) {
        const double g = static_cast<double>(i) / static_cast<double>(out);
        signal[n - 1 - i] *= g * g;
    }
    double peak = 0.0;
    for (double s : signal) {
        const double a = s < 0.0 ? -s : s;
        peak = a > peak ? a : peak;
    }
    const double scale = peak > 0.0 ? peakFraction * 32767.0 / peak : 0.0;
    std::vector<int16_t> samples(n);
    for (size_t i = 0; i < n; ++i) samples[i] = static_cast<int16_t>(RoundClamp(signal[i] * scale, -32767, 32767));
    return samples;
}

std::vector<int16_t> Bang(uint32_t seed, size_t length, double start, double end, double cutoff, bool echo) {
    std::vector<double> s(length, 0.0);
    Rng rng(seed);
    AddThump(s, 0, start, end, 0.09, 1.0);
    AddBangNoise(s, rng, 0, cutoff, 0.05, 0.16, 1.3);
    if (echo) {
        // A second, softer report as if thrown back from a hillside.
        const size_t at = static_cast<size_t>(0.085 * rate);
        AddThump(s, at, start * 0.8, end, 0.07, 0.3);
        AddBangNoise(s, rng, at, cutoff * 0.6, 0.04, 0.1, 0.4);
    }
    return Finish(s, 0.0015, 0.06);
}

std::vector<int16_t> CracklingBurst(size_t length) {
    std::vector<double> s(length, 0.0);
    Rng rng(202);
    AddThump(s, 0, 110.0, 48.0, 0.06, 0.8);
    AddBangNoise(s, rng, 0, 1600.0, 0.035, 0.12, 1.0);
    AddCrackle(s, rng, 0.03, 0.36, 70, 0.9);
    return Finish(s, 0.0015, 0.04);
}

std::vector<int16_t> WhistlingLaunch(size_t length) {
    std::vector<double> s(length, 0.0);
    Rng rng(203);
    const double total = static_cast<double>(length) / rate;
    Svf hiss(4200.0, 1.2);
    double phase = 0.0;
    double hissEnv = 1.0;
    const double hissStep = DecayFactor(0.35);
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double u = t / total;
        const double freq = (750.0 + 1850.0 * u * (2.0 - u)) * (1.0 + 0.012 * Sin(2.0 * pi * 11.0 * t));
        const double swell = SmoothStep(0.0, 0.09, t) * (1.0 - 0.35 * u);
        s[i] += swell * (Sin(phase) + 0.18 * Sin(2.0 * phase) + 0.06 * Sin(3.0 * phase));
        phase += 2.0 * pi * freq / rate;
        if (phase > 2.0 * pi) phase -= 2.0 * pi;
        hiss.Step(rng.Signed());
        s[i] += 0.55 * SmoothStep(0.0, 0.02, t) * (0.25 + hissEnv) * hiss.band;
        hissEnv *= hissStep;
    }
    return Finish(s, 0.004, 0.15, whistlePeakLevel);
}

std::vector<int16_t> CascadeFlash(size_t length) {
    std::vector<double> s(length, 0.0);
    Rng rng(204);
    AddThump(s, 0, 140.0, 60.0, 0.05, 0.45);
    Svf flash(3000.0, 0.7);
    Svf sizzle(5200.0, 2.0);
    double flashEnv = 1.0;
    const double flashStep = DecayFactor(0.055);
    // The shimmer: a random level every 7 ms, smoothed so it flickers, not clicks.
    double flicker = 0.5;
    double flickerTarget = 0.5;
    const size_t block = static_cast<size_t>(0.007 * rate);
    const double total = static_cast<double>(length) / rate;
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        if (i % block == 0) flickerTarget = 0.25 + 0.75 * rng.Uniform();
        flicker += (flickerTarget - flicker) * 0.02;
        const double noise = rng.Signed();
        flash.Step(noise);
        sizzle.Step(noise);
        const double attack = t < 0.002 ? t / 0.002 : 1.0;
        const double settle = SmoothStep(0.03, 0.18, t) * (1.0 - 0.55 * SmoothStep(0.3, total, t));
        s[i] += 1.2 * attack * flashEnv * (flash.high + 0.5 * flash.band);
        s[i] += 0.45 * settle * flicker * sizzle.band;
        flashEnv *= flashStep;
    }
    return Finish(s, 0.0015, 0.12);
}

std::vector<int16_t> FountainHiss(size_t length) {
    std::vector<double> s(length, 0.0);
    Rng rng(205);
    const double total = static_cast<double>(length) / rate;
    Svf spray(3400.0, 0.9);
    Svf rumble(500.0, 0.7);
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double noise = rng.Signed();
        spray.Step(noise);
        rumble.Step(noise);
        const double swell = SmoothStep(0.0, 0.45, t) * (1.0 - SmoothStep(total - 0.7, total, t));
        const double flutter = 1.0 + 0.12 * Sin(2.0 * pi * 3.1 * t) + 0.08 * Sin(2.0 * pi * 5.3 * t + 1.0);
        s[i] = swell * flutter * (spray.band + 0.35 * spray.high + 0.3 * rumble.low);
    }
    return Finish(s, 0.01, 0.05);
}

}  // namespace

std::vector<int16_t> MakeWave(int id) {
    // Byte counts of the data chunks the saver was built around, two bytes a sample.
    switch (id) {
        case 200: return Bang(200, 17788 / 2, 95.0, 42.0, 900.0, false);
        case 201: return Bang(201, 17788 / 2, 130.0, 55.0, 1700.0, true);
        case 202: return CracklingBurst(17788 / 2);
        case 203: return WhistlingLaunch(37952 / 2);
        case 204: return CascadeFlash(37954 / 2);
        case 205: return FountainHiss(92224 / 2);
        default: return {};
    }
}

}  // namespace nb::assets
