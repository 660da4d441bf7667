// Builds DLGTEMPLATEs in memory for the dialog tests: the header, then items with their
// class by name or atom, texts (or a bitmap ordinal) in UTF-16, each on a 4-byte boundary.
// Test support only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nb::test {

class TemplateBuilder {
 public:
  TemplateBuilder(uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy, const std::string& title,
                  uint16_t pointSize = 8, const std::string& font = "MS Sans Serif")
      : style_(style), x_(x), y_(y), cx_(cx), cy_(cy), title_(title), pointSize_(pointSize), font_(font) {}

  // An item with its class by name ("BUTTON", "STATIC", ...).
  TemplateBuilder& Item(const std::string& className, const std::string& text, int16_t id, uint32_t style,
                        int16_t x, int16_t y, int16_t cx, int16_t cy, uint32_t exStyle = 0) {
    items_.push_back({className, text, 0, id, style, exStyle, x, y, cx, cy});
    return *this;
  }
  // A static control showing bitmap resource `bitmap`.
  TemplateBuilder& Picture(uint16_t bitmap, int16_t x, int16_t y, int16_t cx, int16_t cy) {
    items_.push_back({"STATIC", "", bitmap, -1, 0x50000000u | 0x0Eu, 0, x, y, cx, cy});
    return *this;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out;
    Dword(out, style_);
    Dword(out, 0);
    Word(out, static_cast<uint16_t>(items_.size()));
    for (int16_t v : {x_, y_, cx_, cy_}) Word(out, static_cast<uint16_t>(v));
    Word(out, 0);
    Word(out, 0);
    Text(out, title_);
    if (style_ & 0x40) {  // DS_SETFONT
      Word(out, pointSize_);
      Text(out, font_);
    }
    for (const Entry& item : items_) {
      while (out.size() % 4) out.push_back(0);
      Dword(out, item.style);
      Dword(out, item.exStyle);
      for (int16_t v : {item.x, item.y, item.cx, item.cy}) Word(out, static_cast<uint16_t>(v));
      Word(out, static_cast<uint16_t>(item.id));
      Text(out, item.className);
      if (item.bitmap) {
        Word(out, 0xFFFF);
        Word(out, item.bitmap);
      } else {
        Text(out, item.text);
      }
      Word(out, 0);
    }
    return out;
  }

 private:
  struct Entry {
    std::string className, text;
    uint16_t bitmap;
    int16_t id;
    uint32_t style, exStyle;
    int16_t x, y, cx, cy;
  };
  static void Word(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  static void Dword(std::vector<uint8_t>& out, uint32_t v) {
    Word(out, static_cast<uint16_t>(v));
    Word(out, static_cast<uint16_t>(v >> 16));
  }
  static void Text(std::vector<uint8_t>& out, const std::string& text) {
    for (unsigned char c : text) Word(out, c);
    Word(out, 0);
  }

  uint32_t style_;
  int16_t x_, y_, cx_, cy_;
  std::string title_;
  uint16_t pointSize_;
  std::string font_;
  std::vector<Entry> items_;
};

}  // namespace nb::test
