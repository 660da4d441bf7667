// The configuration dialog procedure.
#include "shell/config_dialog.h"

#include "display/device_catalog.h"
#include "display/device_dialog.h"
#include "shell/settings_store.h"
#include "shell/shell.h"

namespace nb {

namespace {

constexpr const char* levelNames[3] = {"Low", "Med", "High"};

void FillLevels(DialogSystem& dialogs, Window dialog, int32_t id, int32_t level) {
  for (const char* name : levelNames) {
    dialogs.SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>(name));
  }
  dialogs.SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<uintptr_t>(level), 0);
}

// An empty selection (CB_ERR) would store -1; the level in force, clamped, is kept instead.
int32_t ReadLevel(DialogSystem& dialogs, Window dialog, int32_t id, int32_t current) {
  const intptr_t selection = dialogs.SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  if (selection >= 0 && selection <= 2) return static_cast<int32_t>(selection);
  return ClampLevel(current);
}

}  // namespace

intptr_t ConfigDialogProc(Window dialog, uint32_t message, uintptr_t wParam, intptr_t) {
  Platform& ports = *shell.platform;
  DialogSystem& dialogs = ports.dialogs;
  switch (message) {
    case WM_INITDIALOG:
      dialogs.CheckDlgButton(dialog, IDC_USESOUND, settings.useSound ? BST_CHECKED : BST_UNCHECKED);
      FillLevels(dialogs, dialog, IDC_PARTICLES, settings.particleLevel);
      FillLevels(dialogs, dialog, IDC_SMOKE, settings.smokeLevel);
      return 1;
    case WM_COMMAND:
      switch (LoWord(wParam)) {
        case IDOK:
          settings.useSound = dialogs.IsDlgButtonChecked(dialog, IDC_USESOUND) == BST_CHECKED ? 1 : 0;
          settings.particleLevel = ReadLevel(dialogs, dialog, IDC_PARTICLES, settings.particleLevel);
          settings.smokeLevel = ReadLevel(dialogs, dialog, IDC_SMOKE, settings.smokeLevel);
          SaveSettings(ports.registry);
          dialogs.EndDialog(dialog, IDOK);
          break;
        case IDCANCEL:
          dialogs.EndDialog(dialog, IDCANCEL);
          break;
        case IDC_VIDEOCONFIG:
          if (RunDeviceDialog(ports.dialogs, dialog) == 1) SaveDeviceChoice(ports.registry);
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace nb
