// The three user settings, shared by every layer that reads them. The show reads the two
// levels at each use, so a change made while it runs takes effect on the next draw.
// Loading and saving them lives with the shell; this header has no dependencies.
#pragma once

#include <cstdint>

namespace nb {

struct Settings {
    int32_t useSound = 1;       // nonzero: play sound effects
    int32_t particleLevel = 2;  // 0 Low, 1 Med, 2 High
    int32_t smokeLevel = 2;     // 0 Low, 1 Med, 2 High
};

// The process-wide settings, at their defaults until the shell loads the stored ones.
extern Settings settings;

}  // namespace nb
