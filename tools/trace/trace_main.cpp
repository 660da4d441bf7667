// nightbloom-trace: runs the show headless from a seed and prints what happens, tick by
// tick, in a line format that an outside model of the show can compare line by line.
// Every float is printed with %.9g, which round-trips a single-precision value.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "show/show.h"
#include "trace/trace_printer.h"
#include "whole_number.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace nb;

struct Options {
    uint32_t seed = 0;
    int64_t ticks = 0;
    int32_t particles = 2;
    int32_t smoke = 2;
    int64_t fullEvery = 0;
    std::set<int64_t> fullAt;
};

constexpr const char* usage =
    "usage: nightbloom-trace --seed S --ticks N [--particles L] [--smoke L] [--full-every K] [--full-at T1,T2,...]";

bool Fail(const std::string& message) {
    std::fprintf(stderr, "nightbloom-trace: %s\n", message.c_str());
    return false;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    bool haveSeed = false;
    bool haveTicks = false;
    constexpr uint64_t maxCount = static_cast<uint64_t>(INT64_MAX);
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::printf("%s\n", usage);
            std::exit(0);
        }
        if (name != "--seed" && name != "--ticks" && name != "--particles" && name != "--smoke" &&
            name != "--full-every" && name != "--full-at") {
            return Fail("unknown option '" + name + "'; " + usage);
        }
        if (i + 1 >= argc) {
            return Fail("option " + name + " needs a value");
        }
        const char* value = argv[++i];
        uint64_t number = 0;
        if (name == "--seed") {
            if (!ParseWholeNumber(value, UINT32_MAX, &number)) {
                return Fail(std::string("--seed needs a whole number 0..4294967295, not '") + value + "'");
            }
            options.seed = static_cast<uint32_t>(number);
            haveSeed = true;
        } else if (name == "--ticks") {
            if (!ParseWholeNumber(value, maxCount, &number)) {
                return Fail(std::string("--ticks needs a whole number 0 or more, not '") + value + "'");
            }
            options.ticks = static_cast<int64_t>(number);
            haveTicks = true;
        } else if (name == "--particles" || name == "--smoke") {
            if (!ParseWholeNumber(value, 2, &number)) {
                return Fail(name + " needs a level 0, 1 or 2, not '" + value + "'");
            }
            (name == "--particles" ? options.particles : options.smoke) = static_cast<int32_t>(number);
        } else if (name == "--full-every") {
            if (!ParseWholeNumber(value, maxCount, &number) || number == 0) {
                return Fail(std::string("--full-every needs a whole number 1 or more, not '") + value + "'");
            }
            options.fullEvery = static_cast<int64_t>(number);
        } else {
            std::string list = value;
            size_t start = 0;
            while (true) {
                const size_t comma = list.find(',', start);
                const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!ParseWholeNumber(item.c_str(), maxCount, &number)) {
                    return Fail(std::string("--full-at needs tick numbers 0 or more separated by commas, not '") +
                                value + "'");
                }
                options.fullAt.insert(static_cast<int64_t>(number));
                if (comma == std::string::npos) {
                    break;
                }
                start = comma + 1;
            }
        }
    }
    if (!haveSeed) {
        return Fail(std::string("--seed is required; ") + usage);
    }
    if (!haveTicks) {
        return Fail(std::string("--ticks is required; ") + usage);
    }
    return true;
}

bool WantsFullDump(const Options& options, int64_t tick) {
    return options.fullAt.count(tick) != 0 || (options.fullEvery != 0 && tick % options.fullEvery == 0);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 2;
    }
    // A large buffer keeps the output fast; lines still end in a bare line feed on
    // every platform because stdout is switched to binary where that matters.
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif

    settings.particleLevel = options.particles;
    settings.smokeLevel = options.smoke;
    TracePrinter printer(stdout);
    show.hooks.context = &printer;
    show.hooks.sound = TracePrinter::SoundHook;
    show.hooks.launch = TracePrinter::LaunchHook;

    printer.PrintHeader(options.seed, options.particles, options.smoke);
    SimInit(options.seed);
    printer.PrintInit();
    if (WantsFullDump(options, 0)) {
        printer.PrintFullDump();
    }
    for (int64_t t = 1; t <= options.ticks; ++t) {
        SimTick();
        printer.PrintTick(t);
        if (WantsFullDump(options, t)) {
            printer.PrintFullDump();
        }
    }
    SimShutdown();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "nightbloom-trace: could not write the trace: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
