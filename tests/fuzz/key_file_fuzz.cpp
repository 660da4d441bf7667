// The Linux program's registry file on any bytes: a text is either refused as a whole, or
// its registry written out again reads back as the same registry, and writing that
// registry once more gives the same text. Every stored value keeps its type and its bytes.
#include <glib.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/sdl/registry_text.h"

namespace {

bool SameRegistry(const nb::RegistryFileData& a, const nb::RegistryFileData& b) {
  if (a.keys.size() != b.keys.size()) return false;
  for (size_t k = 0; k < a.keys.size(); ++k) {
    const nb::RegistryFileKey& x = a.keys[k];
    const nb::RegistryFileKey& y = b.keys[k];
    if (x.path != y.path || x.values.size() != y.values.size()) return false;
    for (size_t v = 0; v < x.values.size(); ++v) {
      if (x.values[v].name != y.values[v].name || x.values[v].type != y.values[v].type ||
          x.values[v].data != y.values[v].data) {
        return false;
      }
    }
  }
  return true;
}

// A warning of GLib means the parser used it wrongly (an error left set, then set again):
// that is a finding, not noise. Aborting lets the fuzzer keep the input.
GLogWriterOutput AbortOnWarning(GLogLevelFlags level, const GLogField* fields, gsize count,
                                gpointer data) {
  const GLogWriterOutput written = g_log_writer_standard_streams(level, fields, count, data);
  if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) std::abort();
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_log_set_writer_func(AbortOnWarning, nullptr, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  nb::RegistryFileData parsed;
  std::string error;
  if (!nb::ParseRegistryText(text, &parsed, &error)) {
    FUZZ_CHECK(parsed.keys.empty());
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  for (const nb::RegistryFileKey& key : parsed.keys) {
    for (const nb::RegistryFileValue& value : key.values) {
      FUZZ_CHECK(nb::IsStorableValueName(value.name));
    }
  }
  const std::string written = nb::RegistryToText(parsed);
  nb::RegistryFileData again;
  FUZZ_CHECK(nb::ParseRegistryText(written, &again, &error));
  FUZZ_CHECK(SameRegistry(parsed, again));
  FUZZ_CHECK(nb::RegistryToText(again) == written);
  return 0;
}
