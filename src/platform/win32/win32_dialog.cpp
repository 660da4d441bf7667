#include "platform/win32/win32_dialog.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/result.h"

#include <windows.h>

#include "platform/win32/win32_thunk.h"

namespace nb::win32 {

namespace {

HWND ToHwnd(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }
HINSTANCE ToInstance(Instance instance) {
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(instance));
}

// One running dialog's procedure, reached through its own trampoline.
struct DialogCall {
  nb::DLGPROC procedure;

  static LRESULT CALLBACK Deliver(void* self, HWND dialog, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
    return static_cast<DialogCall*>(self)->procedure(
        Window{reinterpret_cast<uintptr_t>(dialog)}, message, wParam, lParam);
  }
};

template <class Run>
intptr_t RunDialog(nb::DLGPROC procedure, Run run) {
  if (!procedure) return -1;
  DialogCall call{procedure};
  std::unique_ptr<ContextThunk> thunk(ContextThunk::Create(&call, &DialogCall::Deliver));
  if (!thunk) return -1;
  return run(thunk->AsDialogProc());
}

}  // namespace

intptr_t Win32Dialogs::DialogBoxParamA(Instance instance, uint32_t templateId, Window owner,
                                       nb::DLGPROC procedure, intptr_t param) {
  return RunDialog(procedure, [&](::DLGPROC platformProcedure) {
    return ::DialogBoxParamA(ToInstance(instance), MAKEINTRESOURCEA(templateId), ToHwnd(owner),
                             platformProcedure, param);
  });
}

intptr_t Win32Dialogs::DialogBoxIndirectParamA(Instance instance, const uint8_t* dialogTemplate,
                                               uint32_t templateBytes, Window owner,
                                               nb::DLGPROC procedure, intptr_t param) {
  DialogTemplate layout;
  if (!dialogTemplate || Failed(ParseDialogTemplate(dialogTemplate, templateBytes, &layout))) {
    return -1;
  }
  // The platform wants the template on a 4-byte boundary; a copy guarantees it.
  std::vector<DWORD> aligned((templateBytes + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  std::memcpy(aligned.data(), dialogTemplate, templateBytes);
  return RunDialog(procedure, [&](::DLGPROC platformProcedure) {
    return ::DialogBoxIndirectParamA(ToInstance(instance),
                                     reinterpret_cast<LPCDLGTEMPLATEA>(aligned.data()),
                                     ToHwnd(owner), platformProcedure, param);
  });
}

bool Win32Dialogs::EndDialog(Window dialog, intptr_t result) {
  return ::EndDialog(ToHwnd(dialog), result) != FALSE;
}

bool Win32Dialogs::CheckDlgButton(Window dialog, int32_t id, uint32_t check) {
  return ::CheckDlgButton(ToHwnd(dialog), id, check) != FALSE;
}

uint32_t Win32Dialogs::IsDlgButtonChecked(Window dialog, int32_t id) {
  return ::IsDlgButtonChecked(ToHwnd(dialog), id) == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
}

intptr_t Win32Dialogs::SendDlgItemMessageA(Window dialog, int32_t id, uint32_t message,
                                           uintptr_t wParam, intptr_t lParam) {
  return ::SendDlgItemMessageA(ToHwnd(dialog), id, message, wParam, lParam);
}

intptr_t Win32Dialogs::GetWindowLongA(Window window, int32_t index) {
  return ::GetWindowLongPtrA(ToHwnd(window), index);
}

}  // namespace nb::win32
