// nightbloom-mix: the sound of a show, mixed offline from its seed exactly as the saver's
// sound bank plays it, with its level, loudness, clipping and loudest moments; or the same
// figures for a recording (a WAV file, or raw 16-bit little-endian PCM).
// Exit codes: 0 done, 1 a file could not be read or written, 2 bad options.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio_stats.h"
#include "show_mix.h"
#include "synth.h"
#include "whole_number.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace nb;

constexpr const char* usage =
    "usage: nightbloom-mix --seed S (--seconds N | --ticks N) [--particles L] [--smoke L] "
    "[--rate HZ] [--channels 1|2] [--out FILE.wav]\n"
    "       nightbloom-mix --measure FILE [--rate HZ] [--channels 1|2]";

constexpr uint64_t maxSamples = uint64_t{1} << 29;

struct Options {
    bool haveSeed = false;
    ShowMixRequest request;
    uint64_t seconds = 0;
    bool haveSeconds = false;
    bool haveTicks = false;
    MixFormat format;
    std::string out;
    std::string measure;
};

bool Fail(const std::string& message) {
    std::fprintf(stderr, "nightbloom-mix: %s\n", message.c_str());
    return false;
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::printf("%s\n", usage);
            std::exit(0);
        }
        if (name != "--seed" && name != "--seconds" && name != "--ticks" && name != "--particles" &&
            name != "--smoke" && name != "--rate" && name != "--channels" && name != "--out" &&
            name != "--measure") {
            return Fail("unknown option '" + name + "'; see --help");
        }
        if (i + 1 >= argc) return Fail("option " + name + " needs a value");
        const std::string value = argv[++i];
        uint64_t number = 0;
        if (name == "--seed") {
            if (!ParseWholeNumber(value, UINT32_MAX, &number)) {
                return Fail("--seed needs a whole number 0..4294967295, not '" + value + "'");
            }
            options->request.seed = static_cast<uint32_t>(number);
            options->haveSeed = true;
        } else if (name == "--seconds") {
            if (!ParseWholeNumber(value, 86400, &number) || number == 0) {
                return Fail("--seconds needs a whole number 1..86400, not '" + value + "'");
            }
            options->seconds = number;
            options->haveSeconds = true;
        } else if (name == "--ticks") {
            if (!ParseWholeNumber(value, 5000000, &number) || number == 0) {
                return Fail("--ticks needs a whole number 1..5000000, not '" + value + "'");
            }
            options->request.ticks = number;
            options->haveTicks = true;
        } else if (name == "--particles" || name == "--smoke") {
            if (!ParseWholeNumber(value, 2, &number)) {
                return Fail(name + " needs a level 0, 1 or 2, not '" + value + "'");
            }
            (name == "--particles" ? options->request.particles : options->request.smoke) =
                static_cast<int32_t>(number);
        } else if (name == "--rate") {
            if (!ParseWholeNumber(value, 192000, &number) || number < 8000) {
                return Fail("--rate needs a whole number 8000..192000, not '" + value + "'");
            }
            options->format.rate = static_cast<uint32_t>(number);
        } else if (name == "--channels") {
            if (value != "1" && value != "2") return Fail("--channels needs 1 or 2, not '" + value + "'");
            options->format.channels = value == "1" ? 1 : 2;
        } else if (name == "--out") {
            if (value.empty()) return Fail("--out needs a file name");
            options->out = value;
        } else {
            if (value.empty()) return Fail("--measure needs a file name");
            options->measure = value;
        }
    }
    if (!options->measure.empty()) {
        if (options->haveSeed || options->haveSeconds || options->haveTicks || !options->out.empty()) {
            return Fail("--measure takes only --rate and --channels; see --help");
        }
        return true;
    }
    if (!options->haveSeed) return Fail("--seed is required; see --help");
    if (options->haveSeconds == options->haveTicks) {
        return Fail("give one of --seconds and --ticks; see --help");
    }
    return true;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // rename does not replace an existing file there.
    std::remove(to.c_str());
#endif
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// A recording's samples: the "data" chunk of a 16-bit PCM wave file (its own rate and
// channels), or the whole file as raw samples in format.
int Measure(const Options& options) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(options.measure, &bytes)) {
        Fail("cannot read '" + options.measure + "': " + std::strerror(errno));
        return 1;
    }
    MixFormat format = options.format;
    const uint8_t* data = bytes.data();
    size_t size = bytes.size();
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) {
        WaveView wave;
        if (bytes.size() > UINT32_MAX ||
            Failed(ParseWave(bytes.data(), static_cast<uint32_t>(bytes.size()), &wave)) ||
            wave.formatSize < 16 || wave.format->wFormatTag != WAVE_FORMAT_PCM || wave.format->wBitsPerSample != 16 ||
            wave.format->nChannels < 1 || wave.format->nChannels > 2 ||
            wave.format->nSamplesPerSec < 8000 || wave.format->nSamplesPerSec > 192000) {
            Fail("'" + options.measure +
                 "' is not a 16-bit PCM wave file of 1 or 2 channels at 8000..192000 Hz");
            return 1;
        }
        format.rate = wave.format->nSamplesPerSec;
        format.channels = wave.format->nChannels;
        data = wave.data;
        size = wave.dataSize;
    }
    const size_t frames = size / (2 * format.channels);
    std::vector<int16_t> samples(frames * format.channels);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8)));
    }
    const AudioStats stats = MeasureAudio(samples.data(), frames, format.channels, format.rate);
    PrintAudioStats(stdout, stats);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) return 2;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (!options.measure.empty()) return Measure(options);

    ShowMixRequest request = options.request;
    const uint64_t endMs = options.haveSeconds ? options.seconds * 1000 : TickStartMs(request.ticks + 1);
    if (options.haveSeconds) request.ticks = TicksBefore(endMs);
    request.frames = (endMs * options.format.rate + 500) / 1000;
    // The whole mix is held in memory (and a wave file holds at most 4 GiB).
    if (request.frames * options.format.channels > maxSamples) {
        Fail("a mix of " + std::to_string(endMs / 1000) + " s at " + std::to_string(options.format.rate) +
             " Hz and " + std::to_string(options.format.channels) + " channels is too long (at most " +
             std::to_string(maxSamples) + " samples)");
        return 2;
    }
    // The mix goes to a file beside the one asked for and takes its name only when it is
    // complete, so that a failure never leaves half a file or loses one that was there.
    // A file that cannot be made is reported before the show is mixed.
    const std::string part = options.out + ".part";
    FILE* file = nullptr;
    if (!options.out.empty()) {
        file = std::fopen(part.c_str(), "wb");
        if (!file) {
            Fail("cannot write '" + options.out + "': " + std::strerror(errno));
            return 2;
        }
    }
    WaveView waves[soundCount];
    ShowMixResult result;
    std::string error;
    if (!EmbeddedWaves(waves) || !MixShow(request, options.format, waves, &result, &error)) {
        Fail(error.empty() ? "the program's waves are missing" : error);
        if (file) {
            std::fclose(file);
            std::remove(part.c_str());
        }
        return 2;
    }
    const uint64_t frames = request.frames;
    const AudioStats stats =
        MeasureAudio(result.samples.data(), frames, options.format.channels, options.format.rate);
    std::vector<int32_t> voices;
    for (const AudioWindow& window : stats.loudest) {
        voices.push_back(result.mixer->VoicesAt((2 * window.index + 1) * options.format.rate / 20));
    }
    std::printf("mix: seed %u, particles %d, smoke %d, %llu ticks, %llu sounds, %llu voices cut off\n",
                request.seed, request.particles, request.smoke,
                static_cast<unsigned long long>(request.ticks),
                static_cast<unsigned long long>(result.plays),
                static_cast<unsigned long long>(result.mixer->VoicesCut()));
    PrintAudioStats(stdout, stats, voices);
    if (file) {
        const std::vector<uint8_t> wave = assets::EncodeWav(
            result.samples, options.format.rate, static_cast<uint16_t>(options.format.channels));
        const bool written = std::fwrite(wave.data(), 1, wave.size(), file) == wave.size();
        if (std::fclose(file) != 0 || !written || !ReplaceFile(part, options.out)) {
            Fail("could not write '" + options.out + "'");
            std::remove(part.c_str());
            return 1;
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return 1;
    return 0;
}
