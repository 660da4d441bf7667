// The registry file's text: every value comes back with its type and exact bytes, the
// readable forms are used where they hold, and a text that is not exactly what writing
// makes is refused as a whole.
#include "platform/sdl/registry_text.h"

#include <gtest/gtest.h>

namespace {

using nb::RegistryFileData;
using nb::RegistryFileKey;
using nb::RegistryFileValue;

RegistryFileValue Sz(const std::string& name, const std::string& text, size_t size) {
  RegistryFileValue v{name, 1, std::vector<uint8_t>(size, 0)};
  std::copy(text.begin(), text.end(), v.data.begin());
  return v;
}

RegistryFileData Sample() {
  RegistryFileData data;
  RegistryFileKey key{"Software\\Lumenfold Software\\Nightbloom", {}};
  key.values.push_back({"E", 4, {1, 0, 0, 0}});
  key.values.push_back({"F", 4, {0xff, 0xff, 0xff, 0xff}});
  key.values.push_back(Sz("A", "Primary Display Driver", 40));
  key.values.push_back(Sz("D", "  640 x 480 x 16", 40));           // leading blanks
  key.values.push_back(Sz("Slash", "a\\b #c ;d =e", 13));          // exactly its text + 0
  key.values.push_back({"Short", 4, {1, 2}});                       // a dword of 2 bytes
  key.values.push_back({"Raw", 3, {0x00, 0x80, 0x0a}});
  key.values.push_back({"Empty", 1, {}});                           // an empty REG_SZ
  key.values.push_back({"NoEnd", 1, {'a', 'b'}});                   // text without its zero
  key.values.push_back({"Tail", 1, {'a', 0, 'b', 0}});              // bytes after the zero
  key.values.push_back({"Big", 0xFFFFFFFFu, {7}});
  data.keys.push_back(key);
  data.keys.push_back({"Software\\Empty Key", {}});
  return data;
}

TEST(RegistryText, RoundTripKeepsEveryTypeAndByte) {
  const RegistryFileData data = Sample();
  const std::string text = nb::RegistryToText(data);
  RegistryFileData back;
  std::string error;
  ASSERT_TRUE(nb::ParseRegistryText(text, &back, &error)) << error << "\n" << text;
  ASSERT_EQ(back.keys.size(), data.keys.size());
  for (size_t k = 0; k < data.keys.size(); ++k) {
    EXPECT_EQ(back.keys[k].path, data.keys[k].path);
    ASSERT_EQ(back.keys[k].values.size(), data.keys[k].values.size()) << data.keys[k].path;
    for (size_t v = 0; v < data.keys[k].values.size(); ++v) {
      const RegistryFileValue& want = data.keys[k].values[v];
      const RegistryFileValue& got = back.keys[k].values[v];
      EXPECT_EQ(got.name, want.name);
      EXPECT_EQ(got.type, want.type) << want.name;
      EXPECT_EQ(got.data, want.data) << want.name;
    }
  }
}

TEST(RegistryText, ReadableFormsWhereTheyHold) {
  const std::string text = nb::RegistryToText(Sample());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]"),
            std::string::npos);
  EXPECT_NE(text.find("E=dword:00000001\n"), std::string::npos);
  EXPECT_NE(text.find("F=dword:ffffffff\n"), std::string::npos);
  EXPECT_NE(text.find("A=sz:40:Primary Display Driver\n"), std::string::npos);
  EXPECT_NE(text.find("Short=hex(4):01,02\n"), std::string::npos);
  EXPECT_NE(text.find("Raw=hex(3):00,80,0a\n"), std::string::npos);
  EXPECT_NE(text.find("Empty=hex(1):\n"), std::string::npos);
  EXPECT_NE(text.find("Tail=hex(1):61,00,62,00\n"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Empty Key]"), std::string::npos);
}

TEST(RegistryText, HandWrittenFileIsRead) {
  const std::string text =
      "# settings\n"
      "[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\n"
      "F=dword:00000000\n"
      "C=sz:40:RGB Emulation\n";
  RegistryFileData data;
  std::string error;
  ASSERT_TRUE(nb::ParseRegistryText(text, &data, &error)) << error;
  ASSERT_EQ(data.keys.size(), 1u);
  ASSERT_EQ(data.keys[0].values.size(), 2u);
  EXPECT_EQ(data.keys[0].values[0].data, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(data.keys[0].values[1].data.size(), 40u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.keys[0].values[1].data.data())),
            "RGB Emulation");
}

TEST(RegistryText, DamagedTextsAreRefusedWhole) {
  const std::string head = "[HKEY_CURRENT_USER\\Software\\N]\n";
  const char* bodies[] = {
      "E=dword:1\n",                 // too few digits
      "E=dword:0000000g\n",          // not hexadecimal
      "E=dword:000000001\n",         // too many
      "A=sz:5:too long\n",           // text longer than its byte count
      "A=sz:040:x\n",                // leading zero in the count
      "A=sz:x\n",                    // no count
      "A=sz:2000000:x\n",            // beyond any value the program writes
      "X=hex(3):1,2\n",              // bytes of one digit
      "X=hex(3):01,\n",              // a trailing comma
      "X=hex(3):0102\n",             // no commas
      "X=hex(-1):01\n",              // a negative type
      "X=hex(4294967296):01\n",      // a type beyond 32 bits
      "X=text\n",                    // no known form
      "A=sz:40:x\nA=sz:40:y\n",      // the same name twice
      "A=sz:40:x\na=sz:40:y\n",      // ... also in another case
      "A[de]=sz:40:x\n",             // a localised key
      "A=sz:40:tab\\there\n",        // a control character in a text
      "A=sz:40:x\\q\nB=sz:40:y\\q\n",  // escapes the key file does not know
      "A=sz:40:x\\q\\\n",             // ... and one at the end of the line
  };
  for (const char* body : bodies) {
    RegistryFileData data;
    std::string error;
    EXPECT_FALSE(nb::ParseRegistryText(head + body, &data, &error)) << body;
    EXPECT_FALSE(error.empty()) << body;
    EXPECT_TRUE(data.keys.empty());
  }
  const char* files[] = {
      "not a key file at all\n",
      "[HKEY_LOCAL_MACHINE\\Software]\nE=dword:00000001\n",   // another root
      "[HKEY_CURRENT_USER]\n",                                  // the root itself
      "[HKEY_CURRENT_USER\\A\\\\B]\n",                          // an empty part
      "[HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\a]\n",       // the same key twice
      "[HKEY_CURRENT_USER\\A]\nE=dword:00000001\n\xff\xfe\n",   // not UTF-8
  };
  for (const char* file : files) {
    RegistryFileData data;
    std::string error;
    EXPECT_FALSE(nb::ParseRegistryText(file, &data, &error)) << file;
  }
  RegistryFileData data;
  std::string error;
  EXPECT_FALSE(nb::ParseRegistryText(std::string("[HKEY_CURRENT_USER\\A]\0\n", 22), &data, &error));
  EXPECT_TRUE(nb::ParseRegistryText("", &data, &error));  // an empty file holds no keys
  EXPECT_TRUE(data.keys.empty());
}

TEST(RegistryText, StorableNames) {
  for (const char* good : {"E", "Device Name", "a.b-c_d", "x#"}) {
    EXPECT_TRUE(nb::IsStorableValueName(good)) << good;
  }
  for (const char* bad : {"", " lead", "trail ", "#comment", "a=b", "a[b", "a]", "tab\there", "\xc3\xa9"}) {
    EXPECT_FALSE(nb::IsStorableValueName(bad)) << bad;
  }
  EXPECT_TRUE(nb::IsStorableValueName("a\\b"));
  EXPECT_FALSE(nb::IsStorableKeyPart("a\\b"));
}

}  // namespace
