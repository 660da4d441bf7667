// The dialog port: modal dialogs run over the program's dialog procedures (the
// configuration dialog from dialog resource 151, the device dialog from a template built
// in memory) and the control operations those procedures use, with the platform's
// message and style numbers. The procedures hold the logic; this port is only the view.
// Depends on handles.h, window.h (WM_INITDIALOG, WM_COMMAND, LoWord/HiWord) and system.h
// (IDOK, IDCANCEL); no platform headers.
#pragma once

#include <cstdint>

#include "platform/handles.h"
#include "platform/system.h"
#include "platform/window.h"

namespace nb {

inline constexpr uint32_t BST_UNCHECKED = 0;
inline constexpr uint32_t BST_CHECKED = 1;

inline constexpr uint32_t CB_ADDSTRING = 0x0143;
inline constexpr uint32_t CB_GETCOUNT = 0x0146;
inline constexpr uint32_t CB_GETCURSEL = 0x0147;
inline constexpr uint32_t CB_GETLBTEXT = 0x0148;
inline constexpr uint32_t CB_RESETCONTENT = 0x014B;
inline constexpr uint32_t CB_SETCURSEL = 0x014E;
inline constexpr uint32_t CB_GETITEMDATA = 0x0150;
inline constexpr uint32_t CB_SETITEMDATA = 0x0151;
inline constexpr intptr_t CB_ERR = -1;

// Notification codes (high word of WM_COMMAND's wParam).
inline constexpr uint16_t BN_CLICKED = 0;
inline constexpr uint16_t CBN_SELCHANGE = 1;
inline constexpr uint16_t CBN_SELENDOK = 9;

inline constexpr int32_t GWL_HINSTANCE = -6;

// Styles of dialog templates and their controls.
inline constexpr uint32_t DS_ABSALIGN = 0x0001;
inline constexpr uint32_t DS_3DLOOK = 0x0004;
inline constexpr uint32_t DS_SETFONT = 0x0040;
inline constexpr uint32_t DS_MODALFRAME = 0x0080;
inline constexpr uint32_t DS_NOIDLEMSG = 0x0100;
inline constexpr uint32_t DS_SETFOREGROUND = 0x0200;
inline constexpr uint32_t DS_CENTER = 0x0800;
inline constexpr uint32_t BS_PUSHBUTTON = 0x0000;
inline constexpr uint32_t BS_DEFPUSHBUTTON = 0x0001;
inline constexpr uint32_t BS_AUTOCHECKBOX = 0x0003;
inline constexpr uint32_t BS_GROUPBOX = 0x0007;
inline constexpr uint32_t CBS_DROPDOWNLIST = 0x0003;
inline constexpr uint32_t SS_LEFT = 0x0000;
inline constexpr uint32_t SS_BITMAP = 0x000E;

// A dialog procedure: returns nonzero when it handled the message (TRUE from
// WM_INITDIALOG lets the platform set the focus).
using DLGPROC = intptr_t (*)(Window dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

class DialogSystem {
 public:
  // Runs the modal dialog of dialog resource templateId owned by owner: procedure gets
  // WM_INITDIALOG (lParam = param), then the user's actions as WM_COMMAND (low word the
  // control id, high word the notification; the caption's close box and Esc arrive as
  // IDCANCEL, Enter as IDOK). Returns the value given to EndDialog, -1 when the dialog
  // cannot be created.
  virtual intptr_t DialogBoxParamA(Instance instance, uint32_t templateId, Window owner,
                                   DLGPROC procedure, intptr_t param) = 0;
  // As DialogBoxParamA for a DLGTEMPLATE built in memory (templateBytes long, 4-byte
  // aligned; items by class name, texts in UTF-16). -1 when the template is malformed or
  // the dialog cannot be created.
  virtual intptr_t DialogBoxIndirectParamA(Instance instance, const uint8_t* dialogTemplate,
                                           uint32_t templateBytes, Window owner,
                                           DLGPROC procedure, intptr_t param) = 0;
  // Ends the modal dialog once the procedure returns, with result. False for a window
  // that is not a running dialog.
  virtual bool EndDialog(Window dialog, intptr_t result) = 0;
  // Sets a check box to BST_CHECKED or BST_UNCHECKED. False for an unknown control.
  virtual bool CheckDlgButton(Window dialog, int32_t id, uint32_t check) = 0;
  // BST_CHECKED or BST_UNCHECKED (also for an unknown control).
  virtual uint32_t IsDlgButtonChecked(Window dialog, int32_t id) = 0;
  // Sends a control message (CB_* for combo boxes) to control id and returns its result:
  // CB_ADDSTRING (lParam a const char*) -> index of the new item; CB_SETCURSEL (wParam
  // index, -1 clears) -> the index or CB_ERR; CB_GETCURSEL -> index or CB_ERR;
  // CB_SETITEMDATA (wParam index, lParam data) / CB_GETITEMDATA -> CB_ERR for a bad
  // index; CB_RESETCONTENT; CB_GETCOUNT. 0 for an unknown control.
  virtual intptr_t SendDlgItemMessageA(Window dialog, int32_t id, uint32_t message,
                                       uintptr_t wParam, intptr_t lParam) = 0;
  // GWL_HINSTANCE: the Instance of the window (as an integer). 0 for a bad window or index.
  virtual intptr_t GetWindowLongA(Window window, int32_t index) = 0;

 protected:
  ~DialogSystem() = default;
};

}  // namespace nb
