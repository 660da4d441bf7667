// Drop-down list items and dialog handles, with the platform's answers.
#include "platform/sdl/gtk_dialog_model.h"

#include <cstddef>
#include <cstring>

namespace nb {

namespace {

int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    const int difference = lower(static_cast<unsigned char>(a[i])) - lower(static_cast<unsigned char>(b[i]));
    if (difference != 0) return difference;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

intptr_t ComboItems::Add(const char* text) {
  Item item{text ? text : "", 0};
  size_t at = items_.size();
  if (sorted_) {
    at = 0;
    while (at < items_.size() && CompareNoCase(items_[at].text, item.text) <= 0) ++at;
  }
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  // An insertion before the selected item moves the selection with its item.
  if (selection_ != CB_ERR && static_cast<size_t>(selection_) >= at) ++selection_;
  return static_cast<intptr_t>(at);
}

void ComboItems::Reset() {
  items_.clear();
  selection_ = CB_ERR;
}

intptr_t ComboItems::Select(intptr_t index) {
  selection_ = Valid(index) ? index : CB_ERR;
  return selection_;
}

intptr_t ComboItems::SetData(intptr_t index, intptr_t data) {
  if (!Valid(index)) return CB_ERR;
  items_[static_cast<size_t>(index)].data = data;
  return 1;
}

intptr_t ComboItems::Data(intptr_t index) const {
  return Valid(index) ? items_[static_cast<size_t>(index)].data : CB_ERR;
}

intptr_t ComboItems::CopyText(intptr_t index, char* buffer) const {
  if (!Valid(index) || !buffer) return CB_ERR;
  const std::string& text = items_[static_cast<size_t>(index)].text;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<intptr_t>(text.size());
}

const std::string* ComboItems::Text(intptr_t index) const {
  return Valid(index) ? &items_[static_cast<size_t>(index)].text : nullptr;
}

Window HandleAllocator::Allocate() {
  for (uintptr_t tried = 0; tried < range_.count && live_.size() < range_.count; ++tried) {
    const uintptr_t candidate = range_.first + next_;
    next_ = next_ + 1 == range_.count ? 0 : next_ + 1;
    if (candidate != 0 && live_.insert(candidate).second) return Window{candidate};
  }
  return NoWindow;
}

bool HandleAllocator::Contains(Window handle) const {
  const auto value = static_cast<uintptr_t>(handle);
  return value >= range_.first && value - range_.first < range_.count;
}

}  // namespace nb
