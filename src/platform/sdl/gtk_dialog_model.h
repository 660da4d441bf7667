// The state behind the GTK dialogs that the procedures see, kept apart from the widgets so
// that it answers exactly as the platform's controls do: the items, item data and
// selection of a drop-down list with the CB_* results, and the range of Window handles
// that dialogs and their controls are given.
// Depends on dialog.h and handles.h; no GTK header.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/handles.h"

namespace nb {

// A drop-down list's items as CB_* messages see them. The widget mirrors it: every change
// made here is made to the widget at the index returned.
class ComboItems {
 public:
  explicit ComboItems(bool sorted = false) : sorted_(sorted) {}

  // CB_ADDSTRING: appends (or, sorted, inserts before the first item that compares
  // greater without regard to case); returns the new item's index. A null text is "".
  intptr_t Add(const char* text);
  // CB_RESETCONTENT: no items, no selection.
  void Reset();
  intptr_t Count() const { return static_cast<intptr_t>(items_.size()); }
  // CB_SETCURSEL: selects index and returns it; any other index (-1 included) clears the
  // selection and returns CB_ERR.
  intptr_t Select(intptr_t index);
  // CB_GETCURSEL: the selected index or CB_ERR.
  intptr_t Selection() const { return selection_; }
  // CB_SETITEMDATA: 1, or CB_ERR for a bad index.
  intptr_t SetData(intptr_t index, intptr_t data);
  // CB_GETITEMDATA: the item's data, or CB_ERR for a bad index.
  intptr_t Data(intptr_t index) const;
  // CB_GETLBTEXT: copies the text and its terminator into buffer (which the caller made
  // large enough, as on the platform) and returns the length, or CB_ERR for a bad index
  // or a null buffer.
  intptr_t CopyText(intptr_t index, char* buffer) const;
  // The item's text, or null for a bad index.
  const std::string* Text(intptr_t index) const;

 private:
  struct Item {
    std::string text;
    intptr_t data = 0;
  };
  bool Valid(intptr_t index) const { return index >= 0 && index < Count(); }

  bool sorted_;
  std::vector<Item> items_;
  intptr_t selection_ = CB_ERR;
};

// Dialog windows and their controls get Window handles from a range of their own, so
// that they never equal a handle of another kind of window in the program. X window ids
// stay below 0x20000000 (the protocol's top three bits are zero), so any range above it
// is clear of them; the other windows of the program must simply use another range.
struct HandleRange {
  uintptr_t first = 0;
  uintptr_t count = 0;
};

// 0x7D000000 .. 0x7DFFFFFF: above every X window id, positive as a 32-bit integer.
inline constexpr HandleRange dialogHandleRange{0x7D000000u, 0x01000000u};

// Hands out handles of a range in turn, wrapping at its end and skipping the ones still
// in use, so that a handle is not reused while the procedure might still hold it.
class HandleAllocator {
 public:
  explicit HandleAllocator(HandleRange range) : range_(range) {}

  // A handle not in use, or NoWindow when the range is empty or all of it is in use.
  Window Allocate();
  void Release(Window handle) { live_.erase(static_cast<uintptr_t>(handle)); }
  bool Contains(Window handle) const;

 private:
  HandleRange range_;
  uintptr_t next_ = 0;  // offset into the range
  std::set<uintptr_t> live_;
};

}  // namespace nb
