// The in-memory template of the device dialog, read back byte by byte as the platform's
// dialog manager reads a DLGTEMPLATE: header, texts in UTF-16, items on 4-byte
// boundaries, and no write past a buffer that is too small.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/device_dialog.h"

namespace nb {
namespace {

class TemplateReader {
 public:
  TemplateReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  uint16_t Word() {
    EXPECT_LE(at_ + 2, size_);
    if (at_ + 2 > size_) return 0;
    const uint16_t value = static_cast<uint16_t>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return value;
  }
  uint32_t Dword() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  // A zero-terminated UTF-16 text whose code units are all ASCII.
  std::string Text() {
    std::string text;
    for (uint16_t unit = Word(); unit != 0 && at_ < size_; unit = Word()) {
      EXPECT_LT(unit, 0x80u);
      text.push_back(static_cast<char>(unit));
    }
    return text;
  }
  void AlignDword() { at_ = (at_ + 3) & ~size_t{3}; }
  size_t at() const { return at_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
};

struct ExpectedItem {
  std::string className;
  std::string text;
  uint16_t id;
  uint32_t style;
  int16_t x, y, cx, cy;
};

TEST(DeviceDialogTemplate, ReadsBackAsTheDialogWithItsEightItems) {
  std::vector<uint8_t> buffer(deviceDialogTemplateSize, 0);
  const int32_t size = BuildDeviceDialogTemplate(buffer.data(), buffer.size());
  ASSERT_GT(size, 0);
  ASSERT_LE(static_cast<size_t>(size), buffer.size());

  TemplateReader in(buffer.data(), static_cast<size_t>(size));
  EXPECT_EQ(in.Dword(), 0x90C80BC4u);
  EXPECT_EQ(in.Dword(), 0u);
  EXPECT_EQ(in.Word(), 8u);
  EXPECT_EQ(in.Word(), 0u);
  EXPECT_EQ(in.Word(), 0u);
  EXPECT_EQ(in.Word(), 179u);
  EXPECT_EQ(in.Word(), 84u);
  EXPECT_EQ(in.Word(), 0u) << "menu";
  EXPECT_EQ(in.Word(), 0u) << "class";
  EXPECT_EQ(in.Text(), "Select a Direct3D Driver");
  EXPECT_EQ(in.Word(), 8u) << "point size";
  EXPECT_EQ(in.Text(), "Arial");

  constexpr uint32_t child = 0x40000000u | 0x10000000u;
  const ExpectedItem items[] = {
      {"BUTTON", "OK", 1, child | 0x00010000u, 65, 65, 51, 14},
      {"BUTTON", "Cancel", 2, child | 0x00010000u, 123, 65, 51, 14},
      {"COMBOBOX", "", 1000, child | 0x210003u, 36, 5, 138, 45},
      {"COMBOBOX", "", 1001, child | 0x210003u, 36, 24, 138, 45},
      {"COMBOBOX", "", 1002, child | 0x210003u, 36, 44, 138, 45},
      {"STATIC", "Driver:", 0xFFFF, child, 5, 5, 22, 13},
      {"STATIC", "Device:", 0xFFFF, child, 5, 24, 25, 13},
      {"STATIC", "Mode:", 0xFFFF, child, 5, 44, 22, 13},
  };
  for (const ExpectedItem& item : items) {
    SCOPED_TRACE(item.className + " " + std::to_string(item.id));
    in.AlignDword();
    EXPECT_EQ(in.at() % 4, 0u);
    EXPECT_EQ(in.Dword(), item.style);
    EXPECT_EQ(in.Dword(), 0u) << "extended style";
    EXPECT_EQ(static_cast<int16_t>(in.Word()), item.x);
    EXPECT_EQ(static_cast<int16_t>(in.Word()), item.y);
    EXPECT_EQ(static_cast<int16_t>(in.Word()), item.cx);
    EXPECT_EQ(static_cast<int16_t>(in.Word()), item.cy);
    EXPECT_EQ(in.Word(), item.id);
    EXPECT_EQ(in.Text(), item.className) << "a class by name, never an 0xFFFF atom";
    EXPECT_EQ(in.Text(), item.text);
    EXPECT_EQ(in.Word(), 0u) << "creation data";
  }
  EXPECT_EQ(in.at(), static_cast<size_t>(size)) << "nothing after the last item";
}

TEST(DeviceDialogTemplate, TooSmallBufferFailsWithoutWritingPastIt) {
  std::vector<uint8_t> reference(deviceDialogTemplateSize, 0);
  const int32_t needed = BuildDeviceDialogTemplate(reference.data(), reference.size());
  ASSERT_GT(needed, 0);

  // The exact size works; one byte less fails for every cut, including one inside the
  // alignment padding and one inside a text.
  std::vector<uint8_t> exact(static_cast<size_t>(needed), 0);
  EXPECT_EQ(BuildDeviceDialogTemplate(exact.data(), exact.size()), needed);
  EXPECT_EQ(0, std::memcmp(exact.data(), reference.data(), exact.size()));

  for (size_t capacity : {size_t{0}, size_t{1}, size_t{17}, size_t{87},
                          static_cast<size_t>(needed) - 1}) {
    std::vector<uint8_t> guarded(capacity + 16, 0xAB);
    EXPECT_EQ(BuildDeviceDialogTemplate(guarded.data(), capacity), -1) << capacity;
    for (size_t i = capacity; i < guarded.size(); ++i) {
      ASSERT_EQ(guarded[i], 0xAB) << "byte " << i << " past a buffer of " << capacity;
    }
  }
  EXPECT_EQ(BuildDeviceDialogTemplate(nullptr, 900), -1);
}

}  // namespace
}  // namespace nb
