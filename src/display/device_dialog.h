// The device selection dialog: three cascading drop-down lists (driver, device, mode) over
// the catalogue, as a dialog procedure run through the dialog port, and the in-memory
// dialog template it is shown from.
// Depends on the dialog port and device_catalog.h. Must not change the catalogue before
// the user confirms, and writes nothing to the registry (the caller saves on result 1).
#pragma once

#include <cstddef>
#include <cstdint>

#include "display/device_catalog.h"
#include "platform/dialog.h"
#include "platform/handles.h"
#include "platform/window.h"

namespace nb {

inline constexpr int32_t driverComboId = 1000;
inline constexpr int32_t deviceComboId = 1001;
inline constexpr int32_t modeComboId = 1002;

struct DeviceChoice {
  DriverEntry* driver = nullptr;
  DeviceEntry* device = nullptr;
  ModeEntry* mode = nullptr;

  bool operator==(const DeviceChoice&) const = default;
};

// One dialog at a time, so its state is process-wide.
struct DeviceDialogState {
  DialogSystem* dialogs = nullptr;  // the port the running dialog is shown through
  DeviceChoice startChoice;         // the catalogue's choice when the dialog opened
  DeviceChoice pendingChoice;       // the choice as edited so far
};

extern DeviceDialogState deviceDialog;

// Runs the modal dialog owned by owner. 1: the user confirmed a changed choice, which is
// now the catalogue's current choice; 2: cancelled or confirmed unchanged; -1: no driver
// is chosen, or the dialog could not be built or shown.
int32_t RunDeviceDialog(DialogSystem& dialogs, Window owner);

// The dialog procedure (deviceDialog.dialogs must be set while it runs).
intptr_t DeviceDialogProc(Window dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Refills the three lists from deviceDialog.pendingChoice, in catalogue order, selecting
// the pending entries; each item's data is its catalogue entry.
void FillDeviceCombos(DialogSystem& dialogs, Window dialog);

// ---- The template

inline constexpr size_t deviceDialogTemplateSize = 900;

struct DialogItemLayout {
  const char* className;  // by name, never by atom
  const char* text;
  uint16_t id;
  uint32_t style;         // without the WS_CHILD | WS_VISIBLE every item gets
  int16_t x, y, cx, cy;   // dialog units
};

struct DialogLayout {
  uint32_t style;
  int16_t x, y, cx, cy;
  const char* title;
  uint16_t pointSize;
  const char* fontName;
};

inline constexpr DialogLayout deviceDialogLayout{
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_SETFOREGROUND |
        DS_NOIDLEMSG | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
    0, 0, 179, 84, "Select a Direct3D Driver", 8, "Arial"};

inline constexpr uint32_t comboStyle = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;

inline constexpr DialogItemLayout deviceDialogItems[] = {
    {"BUTTON", "OK", IDOK, WS_TABSTOP, 65, 65, 51, 14},
    {"BUTTON", "Cancel", IDCANCEL, WS_TABSTOP, 123, 65, 51, 14},
    {"COMBOBOX", "", driverComboId, comboStyle, 36, 5, 138, 45},
    {"COMBOBOX", "", deviceComboId, comboStyle, 36, 24, 138, 45},
    {"COMBOBOX", "", modeComboId, comboStyle, 36, 44, 138, 45},
    {"STATIC", "Driver:", 0xFFFF, SS_LEFT, 5, 5, 22, 13},
    {"STATIC", "Device:", 0xFFFF, SS_LEFT, 5, 24, 25, 13},
    {"STATIC", "Mode:", 0xFFFF, SS_LEFT, 5, 44, 22, 13},
};

// Writes the DLGTEMPLATE of the dialog into buffer (which the caller zeroed): header,
// no menu, the standard class, title, font, then each item on a 4-byte boundary with its
// class by name, text and no creation data; texts in UTF-16. Returns the number of bytes
// written, or -1 when they would not fit into capacity (nothing is written past it).
int32_t BuildDeviceDialogTemplate(uint8_t* buffer, size_t capacity);

}  // namespace nb
