// Logic of the device selection dialog and its in-memory template.
// Depends on device_dialog.h and the dialog port. The lists cascade only inside
// pendingChoice; the catalogue is touched once, at a confirmed change.
#include "display/device_dialog.h"

#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>

namespace nb {

DeviceDialogState deviceDialog;

namespace {

constexpr intptr_t True = 1;
constexpr intptr_t False = 0;

// Appends little-endian values to a caller's buffer and refuses, once and for all, any
// write that would pass its end.
class TemplateWriter {
 public:
  TemplateWriter(uint8_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  void Word(uint16_t value) { Bytes({static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}); }
  void Dword(uint32_t value) {
    Word(static_cast<uint16_t>(value));
    Word(static_cast<uint16_t>(value >> 16));
  }
  // An ANSI text as zero-terminated UTF-16. Every text of this dialog is ASCII, which maps
  // to the same code units in every ANSI code page.
  void Text(const char* text) {
    for (const char* c = text; *c; ++c) Word(static_cast<uint8_t>(*c));
    Word(0);
  }
  void AlignDword() {
    while (ok_ && used_ % 4 != 0) Bytes({0});
  }

  bool ok() const { return ok_; }
  size_t used() const { return used_; }

 private:
  void Bytes(std::initializer_list<uint8_t> bytes) {
    if (!ok_ || bytes.size() > capacity_ - used_) {
      ok_ = false;
      return;
    }
    for (uint8_t byte : bytes) buffer_[used_++] = byte;
  }

  uint8_t* buffer_;
  size_t capacity_;
  size_t used_ = 0;
  bool ok_ = true;
};

// Finds entry in a catalogue list; item data comes back from the platform as an integer,
// so it is trusted only when it names an entry of the list it should belong to.
template <class T>
T* FindEntry(T* head, intptr_t data) {
  for (T* entry = head; entry; entry = entry->next) {
    if (reinterpret_cast<intptr_t>(entry) == data) return entry;
  }
  return nullptr;
}

template <class T>
void FillCombo(DialogSystem& dialogs, Window dialog, int32_t id, T* head, const T* selected,
               const char* (*label)(const T&)) {
  for (T* entry = head; entry; entry = entry->next) {
    const intptr_t index = dialogs.SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0,
                                                       reinterpret_cast<intptr_t>(label(*entry)));
    if (index == CB_ERR) continue;
    dialogs.SendDlgItemMessageA(dialog, id, CB_SETITEMDATA, static_cast<uintptr_t>(index),
                                reinterpret_cast<intptr_t>(entry));
    if (entry == selected) {
      dialogs.SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<uintptr_t>(index), 0);
    }
  }
}

// Returns false when the list has no selection.
bool OnSelection(DialogSystem& dialogs, Window dialog, int32_t id) {
  const intptr_t index = dialogs.SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return false;
  const intptr_t data =
      dialogs.SendDlgItemMessageA(dialog, id, CB_GETITEMDATA, static_cast<uintptr_t>(index), 0);
  DeviceChoice& pending = deviceDialog.pendingChoice;

  if (id == driverComboId) {
    DriverEntry* driver = FindEntry(deviceCatalog.drivers, data);
    if (!driver || driver == pending.driver) return true;
    pending.driver = driver;
    pending.device = driver->currentDevice ? driver->currentDevice : driver->devices;
    pending.mode = pending.device ? pending.device->currentMode : nullptr;
  } else if (id == deviceComboId) {
    DeviceEntry* device = pending.driver ? FindEntry(pending.driver->devices, data) : nullptr;
    if (!device || device == pending.device) return true;
    pending.device = device;
    pending.mode = device->currentMode;
  } else {
    ModeEntry* mode = pending.device ? FindEntry(pending.device->modes, data) : nullptr;
    if (mode) pending.mode = mode;
  }
  return true;
}

void ApplyChoice(const DeviceChoice& choice) {
  if (!choice.driver) return;
  deviceCatalog.currentDriver = choice.driver;
  if (!choice.device) return;
  choice.driver->currentDevice = choice.device;
  if (choice.mode) choice.device->currentMode = choice.mode;
}

}  // namespace

void FillDeviceCombos(DialogSystem& dialogs, Window dialog) {
  DeviceChoice& pending = deviceDialog.pendingChoice;
  if (!pending.driver) pending.driver = deviceCatalog.drivers;
  if (!pending.device && pending.driver) pending.device = pending.driver->devices;

  for (int32_t id : {driverComboId, deviceComboId, modeComboId}) {
    dialogs.SendDlgItemMessageA(dialog, id, CB_RESETCONTENT, 0, 0);
  }
  FillCombo<DriverEntry>(dialogs, dialog, driverComboId, deviceCatalog.drivers, pending.driver,
                         [](const DriverEntry& e) -> const char* { return e.description; });
  if (pending.driver) {
    FillCombo<DeviceEntry>(dialogs, dialog, deviceComboId, pending.driver->devices,
                           pending.device,
                           [](const DeviceEntry& e) -> const char* { return e.name; });
  }
  if (pending.device) {
    FillCombo<ModeEntry>(dialogs, dialog, modeComboId, pending.device->modes, pending.mode,
                         [](const ModeEntry& e) -> const char* { return e.text; });
  }
}

intptr_t DeviceDialogProc(Window dialog, uint32_t message, uintptr_t wParam, intptr_t /*lParam*/) {
  DialogSystem* dialogs = deviceDialog.dialogs;
  if (!dialogs) return False;

  if (message == WM_INITDIALOG) {
    DeviceChoice start;
    start.driver = deviceCatalog.currentDriver;
    start.device = start.driver ? start.driver->currentDevice : nullptr;
    start.mode = start.device ? start.device->currentMode : nullptr;
    deviceDialog.startChoice = start;
    deviceDialog.pendingChoice = start;
    FillDeviceCombos(*dialogs, dialog);
    return True;
  }
  if (message != WM_COMMAND) return False;

  const int32_t id = LoWord(wParam);
  if (id == IDOK) {
    if (deviceDialog.pendingChoice == deviceDialog.startChoice) {
      dialogs->EndDialog(dialog, 2);
    } else {
      ApplyChoice(deviceDialog.pendingChoice);
      dialogs->EndDialog(dialog, 1);
    }
    return True;
  }
  if (id == IDCANCEL) {
    dialogs->EndDialog(dialog, 2);
    return True;
  }
  if (HiWord(wParam) == CBN_SELENDOK &&
      (id == driverComboId || id == deviceComboId || id == modeComboId)) {
    if (OnSelection(*dialogs, dialog, id)) FillDeviceCombos(*dialogs, dialog);
    return True;
  }
  return False;
}

int32_t BuildDeviceDialogTemplate(uint8_t* buffer, size_t capacity) {
  if (!buffer) return -1;
  TemplateWriter out(buffer, capacity);
  const DialogLayout& layout = deviceDialogLayout;
  constexpr auto itemCount = static_cast<uint16_t>(std::size(deviceDialogItems));

  out.Dword(layout.style);
  out.Dword(0);  // extended style
  out.Word(itemCount);
  out.Word(static_cast<uint16_t>(layout.x));
  out.Word(static_cast<uint16_t>(layout.y));
  out.Word(static_cast<uint16_t>(layout.cx));
  out.Word(static_cast<uint16_t>(layout.cy));
  out.Word(0);  // no menu
  out.Word(0);  // the standard dialog class
  out.Text(layout.title);
  out.Word(layout.pointSize);
  out.Text(layout.fontName);

  for (const DialogItemLayout& item : deviceDialogItems) {
    out.AlignDword();
    out.Dword(item.style | WS_CHILD | WS_VISIBLE);
    out.Dword(0);  // extended style
    out.Word(static_cast<uint16_t>(item.x));
    out.Word(static_cast<uint16_t>(item.y));
    out.Word(static_cast<uint16_t>(item.cx));
    out.Word(static_cast<uint16_t>(item.cy));
    out.Word(item.id);
    out.Text(item.className);
    out.Text(item.text);
    out.Word(0);  // no creation data
  }
  if (!out.ok()) return -1;
  return static_cast<int32_t>(out.used());
}

int32_t RunDeviceDialog(DialogSystem& dialogs, Window owner) {
  if (!deviceCatalog.currentDriver) return -1;

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[deviceDialogTemplateSize]());
  if (!buffer) return -1;
  const int32_t size = BuildDeviceDialogTemplate(buffer.get(), deviceDialogTemplateSize);
  if (size < 0) return -1;

  const auto instance = static_cast<Instance>(dialogs.GetWindowLongA(owner, GWL_HINSTANCE));
  DialogSystem* previous = deviceDialog.dialogs;
  deviceDialog.dialogs = &dialogs;
  const intptr_t result = dialogs.DialogBoxIndirectParamA(
      instance, buffer.get(), static_cast<uint32_t>(size), owner, DeviceDialogProc, 0);
  deviceDialog.dialogs = previous;
  return result == 1 || result == 2 ? static_cast<int32_t>(result) : -1;
}

}  // namespace nb
