// Reading whole numbers from the tools' command lines.
#pragma once

#include <cstdint>
#include <string_view>

namespace nb {

// A whole decimal number 0..high: digits only, no sign, no blanks. False for anything else,
// also for a number beyond high however many digits it has (nothing wraps round).
inline bool ParseWholeNumber(std::string_view text, uint64_t high, uint64_t* out) {
  if (text.empty()) return false;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (digit > high || value > (high - digit) / 10) return false;
    value = value * 10 + digit;
  }
  *out = value;
  return true;
}

}  // namespace nb
