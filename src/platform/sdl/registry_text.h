// The registry file's text: keys of HKEY_CURRENT_USER as groups of a GLib key file, values
// as "name=type:data" entries that keep every type and byte exactly:
//   [HKEY_CURRENT_USER\Software\Lumenfold Software\Nightbloom]
//   E=dword:00000001             a REG_DWORD of 4 bytes
//   A=sz:40:Primary Display Driver   a REG_SZ of 40 bytes: the text, then zeros
//   X=hex(3):01,ff               anything else: the type number and every byte
// Reading is strict: a text that is not exactly what writing makes of some registry is
// refused as a whole, so that a damaged file is never half believed.
// Depends on GLib (GKeyFile) in the .cpp; the header has no platform types. A fuzz target
// feeds arbitrary bytes to ParseRegistryText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nb {

struct RegistryFileValue {
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct RegistryFileKey {
  std::string path;  // below HKEY_CURRENT_USER, parts joined by '\', no empty parts
  std::vector<RegistryFileValue> values;
};

struct RegistryFileData {
  std::vector<RegistryFileKey> keys;
};

// The largest value the file holds; a larger one is refused when stored and when read.
inline constexpr size_t maxRegistryValueBytes = 1u << 20;

// Whether a registry name can be written (value names: not empty, printable ASCII, no
// '=', '[', ']', no blank at either end, not starting with '#'; key parts likewise, and
// without '\').
bool IsStorableValueName(std::string_view name);
bool IsStorableKeyPart(std::string_view part);

// Parses the file's text. False with a one-line reason in *error when the text is not a
// key file, names a root other than HKEY_CURRENT_USER, holds a key or value twice (names
// compare without regard to case) or a value that does not decode; *out is then empty.
bool ParseRegistryText(std::string_view text, RegistryFileData* out, std::string* error);

// The text for data (keys and values in their order). Names must be storable.
std::string RegistryToText(const RegistryFileData& data);

}  // namespace nb
