// Fake dialogs: each modal dialog runs a scripted sequence of user actions against the
// program's dialog procedure (WM_INITDIALOG first, then clicks, selections, OK, Cancel,
// the close box, or checks of what the dialog shows), with check boxes and combo boxes
// that keep their state as the platform's controls do. In-memory templates are read and
// refused when malformed; their controls are the only ones that exist. For a dialog
// resource the test may describe the controls, otherwise controls appear when first used.
// Depends on fake_world.h, fake_window.h, platform/dialog_template.h. Test support only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_template.h"
#include "platform/fake/fake_window.h"
#include "platform/fake/fake_world.h"

namespace nb::fake {

struct FakeControl {
  int32_t id = 0;
  std::string className;  // "BUTTON", "COMBOBOX", ... ("" when made on first use)
  uint32_t style = 0;
  uint32_t check = BST_UNCHECKED;
  std::vector<std::pair<std::string, intptr_t>> items;  // text and item data
  intptr_t selection = CB_ERR;
};

struct FakeDialogState {
  Window handle{};
  Window owner{};
  Instance instance{};
  uint32_t templateId = 0;  // 0 for an in-memory template
  std::optional<DialogTemplate> layout;
  intptr_t param = 0;
  std::map<int32_t, FakeControl> controls;
  bool ended = false;
  intptr_t result = 0;
  bool initResult = false;  // what the procedure returned for WM_INITDIALOG

  const FakeControl* Control(int32_t id) const;
  std::vector<std::string> Texts(int32_t id) const;  // a combo box's item texts in order
  intptr_t Selection(int32_t id) const;              // CB_ERR when none
  std::string SelectedText(int32_t id) const;        // "" when none
  bool Checked(int32_t id) const;
};

struct DialogAction {
  enum class Kind { Message, Toggle, Select, Inspect };
  Kind kind = Kind::Message;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  int32_t id = 0;
  intptr_t index = 0;
  std::function<void(const FakeDialogState&)> inspect;

  // WM_COMMAND from control id with a notification code.
  static DialogAction Command(int32_t id, uint16_t notification = BN_CLICKED);
  static DialogAction Ok() { return Command(IDOK); }         // OK button or Enter
  static DialogAction Cancel() { return Command(IDCANCEL); } // Cancel button or Esc
  // The caption's close box: the platform turns it into IDCANCEL.
  static DialogAction CloseBox() { return Command(IDCANCEL); }
  // A click on an auto check box: the state flips, then BN_CLICKED.
  static DialogAction Toggle(int32_t id);
  // The user picks item index of a drop-down list: the selection changes, then
  // CBN_SELCHANGE and CBN_SELENDOK.
  static DialogAction Select(int32_t id, intptr_t index);
  // Any message sent to the procedure.
  static DialogAction Send(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  // Looks at the dialog at this point of the script.
  static DialogAction Inspect(std::function<void(const FakeDialogState&)> check);
};

class FakeDialogSystem final : public DialogSystem {
 public:
  FakeDialogSystem(FakeWorld& world, FakeWindowSystem& windows) : world_(world), windows_(windows) {}

  // Queues the actions of the next dialog to open (one script per dialog, in order of
  // opening; a dialog opened from within another takes the next script).
  void Script(std::vector<DialogAction> actions) { scripts_.push_back(std::move(actions)); }
  // Describes the controls of a dialog resource, making the fake refuse other ids.
  void DefineResource(uint32_t templateId, std::vector<FakeControl> controls);
  // Every dialog that has ended, in order of ending, with its final state.
  const std::vector<FakeDialogState>& Finished() const { return finished_; }
  // The innermost dialog still running (during a script), or null.
  const FakeDialogState* Running() const { return running_.empty() ? nullptr : running_.back().get(); }
  size_t ScriptsLeft() const { return scripts_.size(); }

  // ---- DialogSystem
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

 private:
  intptr_t Run(std::unique_ptr<FakeDialogState> state, DLGPROC procedure);
  FakeDialogState* FindRunning(Window dialog);
  FakeControl* ControlOf(FakeDialogState& dialog, int32_t id);
  bool OwnerValid(Window owner);

  FakeWorld& world_;
  FakeWindowSystem& windows_;
  std::deque<std::vector<DialogAction>> scripts_;
  std::map<uint32_t, std::vector<FakeControl>> resources_;
  std::vector<std::unique_ptr<FakeDialogState>> running_;
  std::vector<FakeDialogState> finished_;
};

}  // namespace nb::fake
