// The dialog port on GTK 3: each modal dialog is a GTK window laid out from its template's
// dialog units (see gtk_dialog_layout.h), run over the program's dialog procedure with the
// platform's messages, in a modal loop of its own that nests like the platform's.
//
//   GtkDialogSystem dialogs(system);  // system: the program's System (its resources)
//   Platform platform{graphics, sound, registry, system, windows, gdi, dialogs};
//
// GTK is initialised on the first dialog (without touching the process locale); without a
// display every dialog returns -1. Templates of dialog resources come from
// System::FindResourceData("DIALOG", id), bitmaps of pictures from ("BITMAP", id) as whole
// .bmp files. Dialogs and their controls get Window handles from the range given (by
// default dialogHandleRange, 0x7D000000..0x7DFFFFFF); other windows of the program must
// use other handles.
//
// Behaviour toward the procedures, as on the platform: WM_INITDIALOG (wParam the control
// that gets the focus, lParam the caller's parameter) before the dialog shows; WM_COMMAND
// with (notification << 16 | id) and the control's handle for clicks (BN_CLICKED) and for
// a selection the user makes in a drop-down list (CBN_SELCHANGE, then CBN_SELENDOK); never
// for changes the procedure makes itself. Esc and the close box send IDCANCEL, Enter the
// default button's id (IDOK without one) unless the focus is on a push button, which Enter
// then presses. EndDialog ends the loop once the procedure returns. A dialog whose window
// another program destroys gets IDCANCEL as from its close box, and ends with IDCANCEL if
// its procedure does not end it.
// Depends on the dialog and system ports, GTK 3 (only in the .cpp) and the BMP reader.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/dialog.h"
#include "platform/sdl/gtk_dialog_layout.h"
#include "platform/sdl/gtk_dialog_model.h"
#include "platform/system.h"

namespace nb {

// What the dialogs do, for an observer (tests and diagnostics).
struct GtkDialogEvent {
  enum class Kind {
    Created,  // laid out and built, before WM_INITDIALOG: layout is set
    Message,  // about to be sent to the procedure: message, wParam, lParam
    Ended,    // closed: result is what the caller gets
  };
  Kind kind = Kind::Created;
  Window dialog{};
  const GtkDialogLayout* layout = nullptr;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  intptr_t result = 0;
};

class GtkDialogSystem final : public DialogSystem {
 public:
  explicit GtkDialogSystem(System& resources, HandleRange handles = dialogHandleRange);
  ~GtkDialogSystem();
  GtkDialogSystem(const GtkDialogSystem&) = delete;
  GtkDialogSystem& operator=(const GtkDialogSystem&) = delete;

  intptr_t DialogBoxParamA(Instance instance, uint32_t templateId, Window owner, DLGPROC procedure,
                           intptr_t param) override;
  intptr_t DialogBoxIndirectParamA(Instance instance, const uint8_t* dialogTemplate, uint32_t templateBytes,
                                   Window owner, DLGPROC procedure, intptr_t param) override;
  bool EndDialog(Window dialog, intptr_t result) override;
  bool CheckDlgButton(Window dialog, int32_t id, uint32_t check) override;
  uint32_t IsDlgButtonChecked(Window dialog, int32_t id) override;
  intptr_t SendDlgItemMessageA(Window dialog, int32_t id, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) override;
  intptr_t GetWindowLongA(Window window, int32_t index) override;

  // Initialises GTK once per process; false (now and on every later call) when there is
  // no display to open.
  static bool ToolkitAvailable();

  void SetObserver(std::function<void(const GtkDialogEvent&)> observer) { observer_ = std::move(observer); }
  // Polled by every running dialog several times a second: once it answers true, each
  // dialog is cancelled (IDCANCEL to its procedure), innermost first. For a program asked
  // to end by a signal.
  void SetCancelRequest(std::function<bool()> requested) { cancelRequest_ = std::move(requested); }
  // Called once, right after GTK has been started by this system (for a program that must
  // put back process-wide handlers that GTK replaces).
  void SetToolkitStarted(std::function<void()> started) { toolkitStarted_ = std::move(started); }
  // The GtkWindow* of a running dialog, or null.
  void* NativeWindow(Window dialog) const;
  // The GtkWidget* of control id of a running dialog, or null.
  void* NativeControl(Window dialog, int32_t id) const;

  struct Dialog;
  struct Control;

 private:
  intptr_t Run(Instance instance, const DialogTemplate& dialogTemplate, Window owner, DLGPROC procedure,
               intptr_t param);
  Dialog* FindDialog(Window handle) const;
  Control* FindControl(Window dialog, int32_t id) const;

  System& resources_;
  HandleAllocator handles_;
  std::vector<Dialog*> running_;  // innermost last
  std::function<void(const GtkDialogEvent&)> observer_;
  std::function<bool()> cancelRequest_;
  std::function<void()> toolkitStarted_;
  bool toolkitStartedReported_ = false;
};

}  // namespace nb
