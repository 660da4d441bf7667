// A stand-in dialog system for builds without the GTK dialogs: no dialog can be shown, so
// every dialog ends at once with -1 (the result of a dialog that cannot be created, which
// the configuration mode and the device dialog take as "nothing chosen"), and a one-line
// note says so on the error stream. The GTK dialog system replaces it where the platform
// is put together (sdl_platform.cpp).
// Depends on the dialog port only.
#pragma once

#include <cstdio>

#include "platform/dialog.h"

namespace nb {

class NoDialogSystem final : public DialogSystem {
 public:
  intptr_t DialogBoxParamA(Instance, uint32_t templateId, Window, DLGPROC, intptr_t) override {
    std::fprintf(stderr, "nightbloom: dialog %u cannot be shown: this build has no dialogs\n",
                 templateId);
    return -1;
  }
  intptr_t DialogBoxIndirectParamA(Instance, const uint8_t*, uint32_t, Window, DLGPROC,
                                   intptr_t) override {
    std::fprintf(stderr, "nightbloom: the device dialog cannot be shown: this build has no "
                         "dialogs\n");
    return -1;
  }
  bool EndDialog(Window, intptr_t) override { return false; }
  bool CheckDlgButton(Window, int32_t, uint32_t) override { return false; }
  uint32_t IsDlgButtonChecked(Window, int32_t) override { return BST_UNCHECKED; }
  intptr_t SendDlgItemMessageA(Window, int32_t, uint32_t, uintptr_t, intptr_t) override { return 0; }
  intptr_t GetWindowLongA(Window, int32_t) override { return 0; }
};

}  // namespace nb
