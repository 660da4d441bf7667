// Fake modal dialogs driven by scripts.
#include "platform/fake/fake_dialog.h"

#include <algorithm>

namespace nb::fake {

namespace {
template <class Handle>
int64_t H(Handle handle) {
  return static_cast<int64_t>(static_cast<uintptr_t>(handle));
}
}  // namespace

const FakeControl* FakeDialogState::Control(int32_t id) const {
  auto it = controls.find(id);
  return it == controls.end() ? nullptr : &it->second;
}

std::vector<std::string> FakeDialogState::Texts(int32_t id) const {
  std::vector<std::string> texts;
  if (const FakeControl* control = Control(id)) {
    for (const auto& item : control->items) texts.push_back(item.first);
  }
  return texts;
}

intptr_t FakeDialogState::Selection(int32_t id) const {
  const FakeControl* control = Control(id);
  return control ? control->selection : CB_ERR;
}

std::string FakeDialogState::SelectedText(int32_t id) const {
  const FakeControl* control = Control(id);
  if (!control || control->selection < 0 || static_cast<size_t>(control->selection) >= control->items.size()) {
    return "";
  }
  return control->items[static_cast<size_t>(control->selection)].first;
}

bool FakeDialogState::Checked(int32_t id) const {
  const FakeControl* control = Control(id);
  return control && control->check == BST_CHECKED;
}

DialogAction DialogAction::Command(int32_t id, uint16_t notification) {
  DialogAction action;
  action.kind = Kind::Message;
  action.message = WM_COMMAND;
  action.wParam = MakeWParam(static_cast<uint16_t>(id), notification);
  action.id = id;
  return action;
}

DialogAction DialogAction::Toggle(int32_t id) {
  DialogAction action;
  action.kind = Kind::Toggle;
  action.id = id;
  return action;
}

DialogAction DialogAction::Select(int32_t id, intptr_t index) {
  DialogAction action;
  action.kind = Kind::Select;
  action.id = id;
  action.index = index;
  return action;
}

DialogAction DialogAction::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  DialogAction action;
  action.kind = Kind::Message;
  action.message = message;
  action.wParam = wParam;
  action.lParam = lParam;
  return action;
}

DialogAction DialogAction::Inspect(std::function<void(const FakeDialogState&)> check) {
  DialogAction action;
  action.kind = Kind::Inspect;
  action.inspect = std::move(check);
  return action;
}

void FakeDialogSystem::DefineResource(uint32_t templateId, std::vector<FakeControl> controls) {
  resources_[templateId] = std::move(controls);
}

bool FakeDialogSystem::OwnerValid(Window owner) {
  return IsNone(owner) || windows_.IsWindow(owner) || FindRunning(owner) != nullptr;
}

FakeDialogState* FakeDialogSystem::FindRunning(Window dialog) {
  for (auto& state : running_) {
    if (state->handle == dialog) return state.get();
  }
  return nullptr;
}

FakeControl* FakeDialogSystem::ControlOf(FakeDialogState& dialog, int32_t id) {
  auto it = dialog.controls.find(id);
  if (it != dialog.controls.end()) return &it->second;
  // Controls of an undescribed resource appear when first used.
  if (dialog.layout || resources_.count(dialog.templateId)) return nullptr;
  FakeControl control;
  control.id = id;
  return &(dialog.controls[id] = control);
}

intptr_t FakeDialogSystem::DialogBoxParamA(Instance instance, uint32_t templateId, Window owner,
                                           DLGPROC procedure, intptr_t param) {
  world_.Record("DialogSystem::DialogBoxParamA", {H(instance), templateId, H(owner), param});
  if (world_.Refuses("DialogSystem::DialogBoxParamA") || !procedure || !OwnerValid(owner)) return -1;
  auto state = std::make_unique<FakeDialogState>();
  state->owner = owner;
  state->instance = instance;
  state->templateId = templateId;
  state->param = param;
  if (auto it = resources_.find(templateId); it != resources_.end()) {
    for (const FakeControl& control : it->second) state->controls[control.id] = control;
  }
  return Run(std::move(state), procedure);
}

intptr_t FakeDialogSystem::DialogBoxIndirectParamA(Instance instance, const uint8_t* dialogTemplate,
                                                   uint32_t templateBytes, Window owner, DLGPROC procedure,
                                                   intptr_t param) {
  world_.Record("DialogSystem::DialogBoxIndirectParamA", {H(instance), templateBytes, H(owner), param});
  if (world_.Refuses("DialogSystem::DialogBoxIndirectParamA") || !procedure || !OwnerValid(owner)) return -1;
  DialogTemplate layout;
  if (ParseDialogTemplate(dialogTemplate, templateBytes, &layout) != S_OK) return -1;
  auto state = std::make_unique<FakeDialogState>();
  state->owner = owner;
  state->instance = instance;
  state->param = param;
  for (const DialogItemTemplate& item : layout.items) {
    FakeControl control;
    control.id = static_cast<int16_t>(item.id);  // 0xFFFF is the usual "-1" of static texts
    control.className = item.className;
    control.style = item.style;
    state->controls[control.id] = control;
  }
  state->layout = std::move(layout);
  return Run(std::move(state), procedure);
}

intptr_t FakeDialogSystem::Run(std::unique_ptr<FakeDialogState> state, DLGPROC procedure) {
  state->handle = Window{world_.NewHandle()};
  std::vector<DialogAction> script;
  if (!scripts_.empty()) {
    script = std::move(scripts_.front());
    scripts_.pop_front();
  }
  FakeDialogState* dialog = state.get();
  running_.push_back(std::move(state));
  const Window handle = dialog->handle;
  dialog->initResult = procedure(handle, WM_INITDIALOG, 0, dialog->param) != 0;
  for (const DialogAction& action : script) {
    if (dialog->ended) break;
    switch (action.kind) {
      case DialogAction::Kind::Message: {
        intptr_t lParam = action.lParam;
        if (action.message == WM_COMMAND && lParam == 0) lParam = static_cast<intptr_t>(0x7000 + action.id);
        procedure(handle, action.message, action.wParam, lParam);
        break;
      }
      case DialogAction::Kind::Toggle: {
        if (FakeControl* control = ControlOf(*dialog, action.id)) {
          control->check = control->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        }
        procedure(handle, WM_COMMAND, MakeWParam(static_cast<uint16_t>(action.id), BN_CLICKED), 0x7000 + action.id);
        break;
      }
      case DialogAction::Kind::Select: {
        FakeControl* control = ControlOf(*dialog, action.id);
        if (control && action.index >= 0 && static_cast<size_t>(action.index) < control->items.size()) {
          control->selection = action.index;
        }
        const auto id = static_cast<uint16_t>(action.id);
        procedure(handle, WM_COMMAND, MakeWParam(id, CBN_SELCHANGE), 0x7000 + action.id);
        if (!dialog->ended) procedure(handle, WM_COMMAND, MakeWParam(id, CBN_SELENDOK), 0x7000 + action.id);
        break;
      }
      case DialogAction::Kind::Inspect:
        if (action.inspect) action.inspect(*dialog);
        break;
    }
  }
  const bool ended = dialog->ended;
  const intptr_t result = dialog->result;
  if (!ended) {
    // A script that stops before the dialog ends would leave a real user in front of it;
    // here the dialog is abandoned and reported as not shown.
    world_.Record("DialogSystem::ScriptEndedBeforeEndDialog", {H(handle)});
  }
  finished_.push_back(*dialog);
  running_.erase(std::find_if(running_.begin(), running_.end(), [&](auto& s) { return s.get() == dialog; }));
  return ended ? result : -1;
}

bool FakeDialogSystem::EndDialog(Window dialog, intptr_t result) {
  world_.Record("DialogSystem::EndDialog", {H(dialog), result});
  if (world_.Refuses("DialogSystem::EndDialog")) return false;
  FakeDialogState* state = FindRunning(dialog);
  if (!state || state->ended) return false;
  state->ended = true;
  state->result = result;
  return true;
}

bool FakeDialogSystem::CheckDlgButton(Window dialog, int32_t id, uint32_t check) {
  world_.Record("DialogSystem::CheckDlgButton", {H(dialog), id, check});
  if (world_.Refuses("DialogSystem::CheckDlgButton")) return false;
  FakeDialogState* state = FindRunning(dialog);
  FakeControl* control = state ? ControlOf(*state, id) : nullptr;
  if (!control || check > 2) return false;
  control->check = check;
  return true;
}

uint32_t FakeDialogSystem::IsDlgButtonChecked(Window dialog, int32_t id) {
  world_.Record("DialogSystem::IsDlgButtonChecked", {H(dialog), id});
  if (world_.Refuses("DialogSystem::IsDlgButtonChecked")) return BST_UNCHECKED;
  FakeDialogState* state = FindRunning(dialog);
  FakeControl* control = state ? ControlOf(*state, id) : nullptr;
  return control ? control->check : BST_UNCHECKED;
}

intptr_t FakeDialogSystem::SendDlgItemMessageA(Window dialog, int32_t id, uint32_t message, uintptr_t wParam,
                                               intptr_t lParam) {
  world_.Record("DialogSystem::SendDlgItemMessageA", {H(dialog), id, message, static_cast<int64_t>(wParam), lParam});
  // A refused control message answers as a combo box does when it fails.
  if (world_.Refuses("DialogSystem::SendDlgItemMessageA")) return CB_ERR;
  FakeDialogState* state = FindRunning(dialog);
  FakeControl* control = state ? ControlOf(*state, id) : nullptr;
  if (!control) return 0;
  auto& items = control->items;
  const auto index = static_cast<intptr_t>(wParam);
  const bool valid = index >= 0 && static_cast<size_t>(index) < items.size();
  switch (message) {
    case CB_ADDSTRING: {
      const char* text = reinterpret_cast<const char*>(lParam);
      items.emplace_back(text ? text : "", 0);
      return static_cast<intptr_t>(items.size() - 1);
    }
    case CB_RESETCONTENT:
      items.clear();
      control->selection = CB_ERR;
      return 1;
    case CB_GETCOUNT: return static_cast<intptr_t>(items.size());
    case CB_SETCURSEL:
      if (!valid) {
        control->selection = CB_ERR;
        return CB_ERR;
      }
      control->selection = index;
      return index;
    case CB_GETCURSEL: return control->selection;
    case CB_SETITEMDATA:
      if (!valid) return CB_ERR;
      items[static_cast<size_t>(index)].second = lParam;
      return 1;
    case CB_GETITEMDATA: return valid ? items[static_cast<size_t>(index)].second : CB_ERR;
    default: return 0;
  }
}

intptr_t FakeDialogSystem::GetWindowLongA(Window window, int32_t index) {
  world_.Record("DialogSystem::GetWindowLongA", {H(window), index});
  if (world_.Refuses("DialogSystem::GetWindowLongA")) return 0;
  if (index != GWL_HINSTANCE) return 0;
  if (FakeDialogState* state = FindRunning(window)) return static_cast<intptr_t>(state->instance);
  if (const FakeWindow* found = windows_.Find(window)) return static_cast<intptr_t>(found->instance);
  return 0;
}

}  // namespace nb::fake
