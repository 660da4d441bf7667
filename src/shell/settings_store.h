// Loading and saving the three user settings (nb::settings of the show) under the current
// user's registry key, beside the saved device choice.
// Depends on the registry port and show/settings.h. Registry failures are silent: an
// unreadable key keeps the values in force, an unwritable one loses the change.
#pragma once

#include <cstdint>

#include "platform/registry.h"
#include "show/settings.h"

namespace nb {

inline constexpr const char* settingsKey = "Software\\Lumenfold Software\\Nightbloom";

// Levels are 0 Low, 1 Med, 2 High; anything else is brought to the nearest of them.
int32_t ClampLevel(int32_t level);

// Reads "E", "F", "G" into useSound, particleLevel, smokeLevel. A missing key or value
// keeps what is in force; the key is never created here. Levels read are clamped.
void LoadSettings(Registry& registry);
// Writes the three settings as REG_DWORD values, creating the key if needed.
void SaveSettings(Registry& registry);

}  // namespace nb
