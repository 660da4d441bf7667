// Reading of in-memory dialog templates; bounds-checked at every step because the bytes
// come from elsewhere.
#include "platform/dialog_template.h"

#include "platform/result.h"

namespace nb {

namespace {

class Reader {
 public:
  Reader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  bool Word(uint16_t* out) {
    if (at_ > size_ || size_ - at_ < 2) return false;
    *out = static_cast<uint16_t>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return true;
  }
  bool Dword(uint32_t* out) {
    uint16_t low, high;
    if (!Word(&low) || !Word(&high)) return false;
    *out = low | (static_cast<uint32_t>(high) << 16);
    return true;
  }
  bool Short(int16_t* out) {
    uint16_t value;
    if (!Word(&value)) return false;
    *out = static_cast<int16_t>(value);
    return true;
  }
  // A zero-terminated UTF-16 text, as UTF-8.
  bool Text(std::string* out) {
    out->clear();
    for (;;) {
      uint16_t unit;
      if (!Word(&unit)) return false;
      if (unit == 0) return true;
      uint32_t code = unit;
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        uint16_t low;
        if (!Word(&low) || low < 0xDC00 || low > 0xDFFF) return false;
        code = 0x10000 + ((unit - 0xD800u) << 10) + (low - 0xDC00u);
      }
      Append(code, out);
    }
  }
  // The "sz_Or_Ord" field: empty (0), an ordinal (0xFFFF then the number) or a text.
  bool TextOrOrdinal(std::string* text, uint16_t* ordinal) {
    uint16_t first;
    if (!Word(&first)) return false;
    text->clear();
    *ordinal = 0;
    if (first == 0x0000) return true;
    if (first == 0xFFFF) return Word(ordinal);
    at_ -= 2;
    return Text(text);
  }
  bool Skip(size_t count) {
    if (size_ - at_ < count) return false;
    at_ += count;
    return true;
  }
  bool AlignDword() {
    const size_t aligned = (at_ + 3) & ~size_t{3};
    if (aligned > size_) return false;
    at_ = aligned;
    return true;
  }

 private:
  static void Append(uint32_t code, std::string* out) {
    if (code < 0x80) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code >> 6)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (code >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (code >> 18)));
      out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
};

const char* PredefinedClass(uint16_t atom) {
  switch (atom) {
    case 0x0080: return "BUTTON";
    case 0x0081: return "EDIT";
    case 0x0082: return "STATIC";
    case 0x0083: return "LISTBOX";
    case 0x0084: return "SCROLLBAR";
    case 0x0085: return "COMBOBOX";
    default: return nullptr;
  }
}

constexpr uint32_t kSetFont = 0x0040;  // DS_SETFONT

}  // namespace

int32_t ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate* out) {
  if (!bytes || !out) return E_INVALIDARG;
  Reader reader(bytes, size);
  DialogTemplate dialog;
  uint16_t count;
  if (!reader.Dword(&dialog.style) || !reader.Dword(&dialog.exStyle) || !reader.Word(&count)) return E_INVALIDARG;
  // DLGTEMPLATEEX begins with version 1 and signature 0xFFFF where the style would be.
  if ((dialog.style & 0xFFFF) == 1 && (dialog.style >> 16) == 0xFFFF) return E_INVALIDARG;
  if (!reader.Short(&dialog.x) || !reader.Short(&dialog.y) || !reader.Short(&dialog.cx) ||
      !reader.Short(&dialog.cy)) {
    return E_INVALIDARG;
  }
  std::string menu;
  uint16_t ordinal;
  if (!reader.TextOrOrdinal(&menu, &ordinal) || !menu.empty() || ordinal != 0) return E_INVALIDARG;
  if (!reader.TextOrOrdinal(&dialog.className, &ordinal) || !reader.Text(&dialog.title)) return E_INVALIDARG;
  if (ordinal != 0) dialog.className = "#" + std::to_string(ordinal);
  if (dialog.style & kSetFont) {
    if (!reader.Word(&dialog.pointSize) || !reader.Text(&dialog.fontName)) return E_INVALIDARG;
  }
  for (uint16_t i = 0; i < count; ++i) {
    DialogItemTemplate item;
    uint16_t classAtom = 0;
    uint16_t extraBytes = 0;
    if (!reader.AlignDword() || !reader.Dword(&item.style) || !reader.Dword(&item.exStyle) ||
        !reader.Short(&item.x) || !reader.Short(&item.y) || !reader.Short(&item.cx) || !reader.Short(&item.cy) ||
        !reader.Word(&item.id) || !reader.TextOrOrdinal(&item.className, &classAtom) ||
        !reader.TextOrOrdinal(&item.text, &item.textOrdinal) || !reader.Word(&extraBytes) ||
        !reader.Skip(extraBytes)) {
      return E_INVALIDARG;
    }
    if (classAtom != 0) {
      const char* name = PredefinedClass(classAtom);
      if (!name) return E_INVALIDARG;
      item.className = name;
    }
    for (char& c : item.className) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    dialog.items.push_back(std::move(item));
  }
  *out = std::move(dialog);
  return S_OK;
}

}  // namespace nb
