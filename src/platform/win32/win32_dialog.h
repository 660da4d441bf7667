// The dialog port over the real user32 dialog manager: dialog resources and in-memory
// templates run modally over the program's dialog procedures, each running dialog with a
// trampoline of its own (the device dialog opens inside the configuration dialog), and the
// control messages those procedures send.
// Depends on the dialog port and the shared template reader; the platform headers stay
// inside the source file.
#pragma once

#include "platform/dialog.h"

namespace nb::win32 {

class Win32Dialogs final : public DialogSystem {
 public:
  intptr_t DialogBoxParamA(Instance instance, uint32_t templateId, Window owner,
                           DLGPROC procedure, intptr_t param) override;
  // The template is read with the shared reader first: the platform would follow a
  // malformed one out of its buffer, so such a template ends with -1 instead.
  intptr_t DialogBoxIndirectParamA(Instance instance, const uint8_t* dialogTemplate,
                                   uint32_t templateBytes, Window owner, DLGPROC procedure,
                                   intptr_t param) override;
  bool EndDialog(Window dialog, intptr_t result) override;
  bool CheckDlgButton(Window dialog, int32_t id, uint32_t check) override;
  uint32_t IsDlgButtonChecked(Window dialog, int32_t id) override;
  intptr_t SendDlgItemMessageA(Window dialog, int32_t id, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) override;
  intptr_t GetWindowLongA(Window window, int32_t index) override;
};

}  // namespace nb::win32
