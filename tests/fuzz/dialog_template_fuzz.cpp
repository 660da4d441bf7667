// In-memory dialog templates: the reader on any bytes (directly, and through the fake
// dialog system that shows a dialog from them), and the device dialog's template writer
// into a buffer of any capacity, whose output must read back as the dialog's layout and
// whose damaged copies must still be read safely.
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "display/device_dialog.h"
#include "fuzz_support.h"
#include "platform/dialog_template.h"
#include "platform/fake/fake_dialog.h"
#include "platform/fake/fake_window.h"
#include "platform/fake/fake_world.h"

namespace {

using nb::fuzz::InputReader;

// Reads bytes, which must be exactly size long on the heap (a read past them is caught),
// checking what a successful read promises.
void Read(const uint8_t* bytes, size_t size) {
  nb::DialogTemplate dialog;
  dialog.title = "untouched";
  const int32_t result = nb::ParseDialogTemplate(bytes, size, &dialog);
  if (nb::Failed(result)) {
    FUZZ_CHECK(result == nb::E_INVALIDARG);
    FUZZ_CHECK(dialog.title == "untouched" && dialog.items.empty());
    return;
  }
  FUZZ_CHECK(size >= 18);
  // Each item takes at least 18 bytes after its alignment.
  FUZZ_CHECK(dialog.items.size() <= size / 18);
  for (const nb::DialogItemTemplate& item : dialog.items) {
    for (char c : item.className) FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
  }
}

intptr_t EndAtOnce(nb::Window dialog, uint32_t message, uintptr_t, intptr_t) {
  (void)message;
  (void)dialog;
  return 0;
}

// The fake shows a dialog only from a template it can read; the dialog then ends when the
// (empty) script runs out.
void Show(const uint8_t* bytes, size_t size) {
  nb::fake::FakeWorld world;
  nb::fake::FakeWindowSystem windows{world};
  nb::fake::FakeDialogSystem dialogs{world, windows};
  nb::DialogTemplate dialog;
  const bool readable = nb::Succeeded(nb::ParseDialogTemplate(bytes, size, &dialog));
  const intptr_t shown = dialogs.DialogBoxIndirectParamA(nb::Instance{0x400000}, bytes,
                                                         static_cast<uint32_t>(size), nb::NoWindow,
                                                         EndAtOnce, 0);
  if (!readable) FUZZ_CHECK(shown == -1);
}

size_t FullTemplateSize() {
  static const size_t full = [] {
    uint8_t buffer[nb::deviceDialogTemplateSize] = {};
    const int32_t written = nb::BuildDeviceDialogTemplate(buffer, sizeof buffer);
    FUZZ_CHECK(written > 0);
    return static_cast<size_t>(written);
  }();
  return full;
}

void CheckLayout(const nb::DialogTemplate& dialog) {
  const nb::DialogLayout& layout = nb::deviceDialogLayout;
  FUZZ_CHECK(dialog.style == layout.style && dialog.exStyle == 0);
  FUZZ_CHECK(dialog.x == layout.x && dialog.y == layout.y && dialog.cx == layout.cx && dialog.cy == layout.cy);
  FUZZ_CHECK(dialog.className.empty() && dialog.title == layout.title);
  FUZZ_CHECK(dialog.pointSize == layout.pointSize && dialog.fontName == layout.fontName);
  FUZZ_CHECK(dialog.items.size() == std::size(nb::deviceDialogItems));
  for (size_t i = 0; i < dialog.items.size(); ++i) {
    const nb::DialogItemTemplate& item = dialog.items[i];
    const nb::DialogItemLayout& want = nb::deviceDialogItems[i];
    FUZZ_CHECK(item.className == want.className && item.text == want.text && item.id == want.id);
    FUZZ_CHECK(item.style == (want.style | nb::WS_CHILD | nb::WS_VISIBLE) && item.exStyle == 0);
    FUZZ_CHECK(item.x == want.x && item.y == want.y && item.cx == want.cx && item.cy == want.cy);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Read(data, size);
  Show(data, size);

  // The writer into a buffer of exactly the capacity the input names.
  InputReader input(data, size);
  const size_t capacity = input.Word() % (nb::deviceDialogTemplateSize + 100);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity == 0 ? 1 : capacity]());
  const int32_t written = nb::BuildDeviceDialogTemplate(capacity == 0 ? nullptr : buffer.get(), capacity);
  if (capacity < FullTemplateSize()) {
    FUZZ_CHECK(written == -1);
    return 0;
  }
  FUZZ_CHECK(written == static_cast<int32_t>(FullTemplateSize()));
  nb::DialogTemplate dialog;
  FUZZ_CHECK(nb::ParseDialogTemplate(buffer.get(), static_cast<size_t>(written), &dialog) == nb::S_OK);
  CheckLayout(dialog);

  // The rest of the input damages the written template in place.
  std::unique_ptr<uint8_t[]> damaged(new uint8_t[static_cast<size_t>(written)]);
  std::memcpy(damaged.get(), buffer.get(), static_cast<size_t>(written));
  while (!input.Empty()) {
    const size_t at = input.Word() % static_cast<size_t>(written);
    damaged[at] ^= input.Byte();
  }
  Read(damaged.get(), static_cast<size_t>(written));
  Show(damaged.get(), static_cast<size_t>(written));
  return 0;
}
