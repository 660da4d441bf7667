// Reading and writing the registry file's text through GKeyFile. Depends on registry_text.h
// and GLib.
#include "platform/sdl/registry_text.h"

#include <glib.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <set>

namespace nb {
namespace {

constexpr std::string_view rootName = "HKEY_CURRENT_USER";
constexpr uint32_t typeSz = 1;
constexpr uint32_t typeDword = 4;

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
struct StrvDeleter {
  void operator()(gchar** list) const { g_strfreev(list); }
};
struct GFreeDeleter {
  void operator()(gchar* text) const { g_free(text); }
};

std::string Folded(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool Printable(std::string_view text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

bool HexDigit(char c, uint32_t* out) {
  const int l = std::tolower(static_cast<unsigned char>(c));
  if (l >= '0' && l <= '9') {
    *out = static_cast<uint32_t>(l - '0');
  } else if (l >= 'a' && l <= 'f') {
    *out = static_cast<uint32_t>(l - 'a' + 10);
  } else {
    return false;
  }
  return true;
}

// Whole decimal number within [0, high], no sign, no leading zeros but "0" itself.
bool Decimal(std::string_view text, uint64_t high, uint64_t* out) {
  if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > high) return false;
  }
  *out = value;
  return true;
}

// A text with only zeros after it fits the readable "sz" form.
bool SzForm(const RegistryFileValue& value, std::string* text) {
  if (value.type != typeSz || value.data.empty()) return false;
  size_t length = 0;
  while (length < value.data.size() && value.data[length] != 0) ++length;
  if (length == value.data.size()) return false;  // no terminator
  for (size_t i = length; i < value.data.size(); ++i) {
    if (value.data[i] != 0) return false;
  }
  text->assign(value.data.begin(), value.data.begin() + static_cast<ptrdiff_t>(length));
  return Printable(*text);
}

std::string Encode(const RegistryFileValue& value) {
  if (value.type == typeDword && value.data.size() == 4) {
    const uint32_t v = uint32_t{value.data[0]} | uint32_t{value.data[1]} << 8 |
                       uint32_t{value.data[2]} << 16 | uint32_t{value.data[3]} << 24;
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "dword:%08x", v);
    return buffer;
  }
  std::string text;
  if (SzForm(value, &text)) return "sz:" + std::to_string(value.data.size()) + ":" + text;
  std::string out = "hex(" + std::to_string(value.type) + "):";
  char byte[4];
  for (size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(byte, sizeof(byte), i == 0 ? "%02x" : ",%02x", value.data[i]);
    out += byte;
  }
  return out;
}

bool Decode(std::string_view text, RegistryFileValue* value, std::string* why) {
  if (text.rfind("dword:", 0) == 0) {
    const std::string_view digits = text.substr(6);
    uint32_t v = 0;
    if (digits.size() != 8) {
      *why = "a dword needs 8 hexadecimal digits";
      return false;
    }
    for (char c : digits) {
      uint32_t d = 0;
      if (!HexDigit(c, &d)) {
        *why = "a dword needs 8 hexadecimal digits";
        return false;
      }
      v = v << 4 | d;
    }
    value->type = typeDword;
    value->data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                   static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    return true;
  }
  if (text.rfind("sz:", 0) == 0) {
    const std::string_view rest = text.substr(3);
    const size_t colon = rest.find(':');
    uint64_t size = 0;
    if (colon == std::string_view::npos || !Decimal(rest.substr(0, colon), maxRegistryValueBytes, &size)) {
      *why = "a text value needs its byte count";
      return false;
    }
    const std::string_view body = rest.substr(colon + 1);
    if (!Printable(body) || body.size() + 1 > size) {
      *why = "a text value longer than its byte count";
      return false;
    }
    value->type = typeSz;
    value->data.assign(static_cast<size_t>(size), 0);
    std::copy(body.begin(), body.end(), value->data.begin());
    return true;
  }
  if (text.rfind("hex(", 0) == 0) {
    const size_t close = text.find("):");
    uint64_t type = 0;
    if (close == std::string_view::npos || !Decimal(text.substr(4, close - 4), 0xFFFFFFFFu, &type)) {
      *why = "a hex value needs its type number";
      return false;
    }
    const std::string_view bytes = text.substr(close + 2);
    value->type = static_cast<uint32_t>(type);
    value->data.clear();
    for (size_t i = 0; i < bytes.size(); i += 3) {
      uint32_t high = 0;
      uint32_t low = 0;
      if (i + 2 > bytes.size() || !HexDigit(bytes[i], &high) || !HexDigit(bytes[i + 1], &low) ||
          (i + 2 < bytes.size() && bytes[i + 2] != ',') || (i + 3 == bytes.size())) {
        *why = "a hex value is not a list of bytes";
        return false;
      }
      value->data.push_back(static_cast<uint8_t>(high << 4 | low));
      if (value->data.size() > maxRegistryValueBytes) {
        *why = "a value is too large";
        return false;
      }
    }
    return true;
  }
  *why = "a value of unknown form";
  return false;
}

bool SplitPath(std::string_view group, std::string* path) {
  if (group.substr(0, rootName.size()) != rootName) return false;
  std::string_view rest = group.substr(rootName.size());
  path->clear();
  if (rest.empty() || rest[0] != '\\') return false;
  rest.remove_prefix(1);
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view part = rest.substr(start, end - start);
    if (!IsStorableKeyPart(part)) return false;
    if (!path->empty()) *path += '\\';
    *path += part;
    start = end + 1;
  }
  return !path->empty();
}

}  // namespace

bool IsStorableValueName(std::string_view name) {
  if (name.empty() || !Printable(name) || name.front() == ' ' || name.back() == ' ' ||
      name.front() == '#') {
    return false;
  }
  return name.find_first_of("=[]") == std::string_view::npos;
}

bool IsStorableKeyPart(std::string_view part) {
  return IsStorableValueName(part) && part.find('\\') == std::string_view::npos;
}

bool ParseRegistryText(std::string_view text, RegistryFileData* out, std::string* error) {
  out->keys.clear();
  auto fail = [&](const std::string& why) {
    out->keys.clear();
    if (error) *error = why;
    return false;
  };
  if (text.find('\0') != std::string_view::npos) return fail("the file holds a zero byte");
  // GKeyFile reads "name[locale]=" as a translation of "name"; the registry has none. Its
  // escapes are the five it writes; it reports any other (or a lone one at the end) by setting
  // its error more than once, so such a text never reaches it.
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '#' || line.front() == '[') continue;
    const size_t equals = line.find('=');
    const std::string_view name = line.substr(0, equals);
    if (name.find_first_of("[]") != std::string_view::npos) {
      return fail("'" + std::string(name) + "' is not a value name");
    }
    if (equals == std::string_view::npos) continue;
    const std::string_view value = line.substr(equals + 1);
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] != '\\') continue;
      constexpr std::string_view known = "sntr\\";
      if (i + 1 == value.size() || known.find(value[i + 1]) == std::string_view::npos) {
        return fail("'" + std::string(name) + "' holds an escape the file cannot hold");
      }
      ++i;
    }
  }
  std::unique_ptr<GKeyFile, KeyFileDeleter> file(g_key_file_new());
  GError* gerror = nullptr;
  if (!g_key_file_load_from_data(file.get(), text.data(), text.size(), G_KEY_FILE_NONE,
                                 &gerror)) {
    std::string why = gerror ? gerror->message : "not a key file";
    g_clear_error(&gerror);
    return fail(why);
  }
  gsize groupCount = 0;
  std::unique_ptr<gchar*, StrvDeleter> groups(g_key_file_get_groups(file.get(), &groupCount));
  std::set<std::string> seenKeys;
  for (gsize g = 0; g < groupCount; ++g) {
    const std::string group = groups.get()[g];
    RegistryFileKey key;
    if (!SplitPath(group, &key.path)) return fail("[" + group + "] is not a key of " + std::string(rootName));
    if (!seenKeys.insert(Folded(key.path)).second) return fail("[" + group + "] appears twice");
    gsize nameCount = 0;
    std::unique_ptr<gchar*, StrvDeleter> names(
        g_key_file_get_keys(file.get(), group.c_str(), &nameCount, nullptr));
    std::set<std::string> seenValues;
    for (gsize n = 0; n < nameCount; ++n) {
      RegistryFileValue value;
      value.name = names.get()[n];
      if (!IsStorableValueName(value.name)) return fail("'" + value.name + "' is not a value name");
      if (!seenValues.insert(Folded(value.name)).second) {
        return fail("'" + value.name + "' appears twice in [" + group + "]");
      }
      std::unique_ptr<gchar, GFreeDeleter> raw(
          g_key_file_get_string(file.get(), group.c_str(), value.name.c_str(), &gerror));
      // A value with an escape it cannot read comes back as text and an error.
      if (!raw || gerror) {
        std::string why = gerror ? gerror->message : "unreadable";
        g_clear_error(&gerror);
        return fail("'" + value.name + "': " + why);
      }
      std::string why;
      if (!Decode(raw.get(), &value, &why)) return fail("'" + value.name + "': " + why);
      key.values.push_back(std::move(value));
    }
    out->keys.push_back(std::move(key));
  }
  return true;
}

std::string RegistryToText(const RegistryFileData& data) {
  std::unique_ptr<GKeyFile, KeyFileDeleter> file(g_key_file_new());
  for (const RegistryFileKey& key : data.keys) {
    const std::string group = std::string(rootName) + "\\" + key.path;
    // A key without values still exists: a group made by a value and emptied again keeps
    // it.
    if (key.values.empty()) {
      g_key_file_set_string(file.get(), group.c_str(), "placeholder", "");
      g_key_file_remove_key(file.get(), group.c_str(), "placeholder", nullptr);
    }
    for (const RegistryFileValue& value : key.values) {
      g_key_file_set_string(file.get(), group.c_str(), value.name.c_str(), Encode(value).c_str());
    }
  }
  g_key_file_set_comment(file.get(), nullptr, nullptr,
                         " Nightbloom's settings and device choice (the registry of the saver).\n"
                         " dword:HEX is a 4-byte number, sz:N:TEXT a text stored in N bytes,\n"
                         " hex(TYPE):BYTES anything else.",
                         nullptr);
  gsize length = 0;
  std::unique_ptr<gchar, GFreeDeleter> text(g_key_file_to_data(file.get(), &length, nullptr));
  return text ? std::string(text.get(), length) : std::string();
}

}  // namespace nb
