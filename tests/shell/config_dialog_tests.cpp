// The configuration dialog run from the command line on the headless machine: what it
// shows, what OK, Cancel and the close box save, and the device choice confirmed through
// Video Config, saved at once whatever happens to the dialog afterwards.
#include <gtest/gtest.h>

#include "display/result_codes.h"
#include "headless_platform.h"
#include "shell/config_dialog.h"
#include "shell/shell.h"

namespace nb {
namespace {

using fake::DialogAction;
using fake::FakeDialogState;

const std::string key = "Software\\Lumenfold Software\\Nightbloom";
constexpr int32_t deviceCombo = 1001;

class ConfigDialogTest : public ::testing::Test {
 protected:
  int RunConfigure(const char* line = "/c") {
    return ShellMain(headless.platform, test::headlessInstance, line);
  }
  const FakeDialogState& ConfigDialog() const {
    for (const auto& dialog : headless.dialogs.Finished()) {
      if (dialog.templateId == configDialogId) return dialog;
    }
    static const FakeDialogState none;
    ADD_FAILURE() << "the configuration dialog did not run";
    return none;
  }

  test::HeadlessPlatform headless;
};

TEST_F(ConfigDialogTest, ShowsTheStoredSettings) {
  headless.registry.SetDword(key, "E", 0);
  headless.registry.SetDword(key, "F", 1);
  bool inspected = false;
  headless.dialogs.Script({DialogAction::Inspect([&](const FakeDialogState& dialog) {
                             EXPECT_FALSE(dialog.Checked(IDC_USESOUND));
                             const std::vector<std::string> levels{"Low", "Med", "High"};
                             EXPECT_EQ(dialog.Texts(IDC_PARTICLES), levels);
                             EXPECT_EQ(dialog.Texts(IDC_SMOKE), levels);
                             EXPECT_EQ(dialog.Selection(IDC_PARTICLES), 1);
                             EXPECT_EQ(dialog.Selection(IDC_SMOKE), 2);
                             // Owned by the saver's own hidden window.
                             EXPECT_FALSE(IsNone(dialog.owner));
                             EXPECT_EQ(dialog.owner, headless.windows.FindByClass("Nightbloom"));
                             inspected = true;
                           }),
                           DialogAction::Cancel()});
  EXPECT_EQ(RunConfigure("/c:5678"), 0);
  EXPECT_TRUE(inspected);
  const FakeDialogState& dialog = ConfigDialog();
  EXPECT_TRUE(dialog.initResult);
  EXPECT_EQ(dialog.result, IDCANCEL);
  EXPECT_TRUE(IsNone(headless.windows.FindByClass("Nightbloom")));
  const auto creations = headless.world.CallsNamed("CreateWindowExA");
  ASSERT_EQ(creations.size(), 1u);
  EXPECT_EQ(creations[0].texts[0], "Nightbloom");
}

TEST_F(ConfigDialogTest, OkUntouchedWritesAllThreeValuesCreatingTheKey) {
  headless.dialogs.Script({DialogAction::Ok()});
  EXPECT_EQ(RunConfigure(), 0);
  EXPECT_EQ(ConfigDialog().result, IDOK);
  EXPECT_EQ(headless.registry.Dword(key, "E"), 1u);
  EXPECT_EQ(headless.registry.Dword(key, "F"), 2u);
  EXPECT_EQ(headless.registry.Dword(key, "G"), 2u);
  // Settings only: the device choice is not saved by OK.
  EXPECT_FALSE(headless.registry.Value(key, "A").has_value());
}

TEST_F(ConfigDialogTest, OkSavesTheChanges) {
  headless.dialogs.Script({DialogAction::Toggle(IDC_USESOUND), DialogAction::Select(IDC_PARTICLES, 0),
                           DialogAction::Select(IDC_SMOKE, 1), DialogAction::Ok()});
  RunConfigure();
  EXPECT_EQ(headless.registry.Dword(key, "E"), 0u);
  EXPECT_EQ(headless.registry.Dword(key, "F"), 0u);
  EXPECT_EQ(headless.registry.Dword(key, "G"), 1u);
  EXPECT_EQ(settings.particleLevel, 0);
}

TEST_F(ConfigDialogTest, CancelAndTheCloseBoxSaveNothing) {
  for (const DialogAction& end : {DialogAction::Cancel(), DialogAction::CloseBox()}) {
    headless.dialogs.Script({DialogAction::Toggle(IDC_USESOUND), DialogAction::Select(IDC_SMOKE, 0), end});
    EXPECT_EQ(RunConfigure(), 0);
    EXPECT_FALSE(headless.registry.KeyExists(key));
  }
}

TEST_F(ConfigDialogTest, ConfirmedVideoConfigIsSavedEvenIfTheDialogIsCancelled) {
  headless.dialogs.Script({DialogAction::Select(IDC_PARTICLES, 0), DialogAction::Command(IDC_VIDEOCONFIG),
                           DialogAction::Cancel()});
  // The device dialog: the hardware device instead of the software one, confirmed.
  headless.dialogs.Script({DialogAction::Select(deviceCombo, 1), DialogAction::Ok()});
  RunConfigure();
  EXPECT_EQ(headless.dialogs.ScriptsLeft(), 0u);
  EXPECT_EQ(headless.registry.String(key, "C"), "Direct3D HAL");
  EXPECT_EQ(headless.registry.Value(key, "C")->type, REG_SZ);
  EXPECT_EQ(headless.registry.Value(key, "C")->bytes.size(), 40u);
  EXPECT_FALSE(headless.registry.Value(key, "F").has_value());
}

TEST_F(ConfigDialogTest, UnchangedOrCancelledVideoConfigSavesNothing) {
  headless.dialogs.Script({DialogAction::Command(IDC_VIDEOCONFIG), DialogAction::Command(IDC_VIDEOCONFIG),
                           DialogAction::Cancel()});
  headless.dialogs.Script({DialogAction::Ok()});                                        // unchanged
  headless.dialogs.Script({DialogAction::Select(deviceCombo, 1), DialogAction::Cancel()});  // cancelled
  RunConfigure();
  EXPECT_EQ(headless.dialogs.ScriptsLeft(), 0u);
  EXPECT_FALSE(headless.registry.KeyExists(key));
}

TEST_F(ConfigDialogTest, EmptySelectionKeepsTheLoadedLevel) {
  headless.registry.SetDword(key, "F", 1);
  headless.dialogs.Script({DialogAction::Select(IDC_PARTICLES, -1), DialogAction::Ok()});
  RunConfigure();
  EXPECT_EQ(headless.registry.Dword(key, "F"), 1u);
}

TEST_F(ConfigDialogTest, OutOfRangeLevelShowsNoSelectionAndIsNeverStored) {
  // A level set by hand (the store clamps what it reads) still never reaches the registry.
  shell.platform = &headless.platform;
  settings.smokeLevel = 7;
  bool inspected = false;
  headless.dialogs.Script({DialogAction::Inspect([&](const FakeDialogState& dialog) {
                             EXPECT_EQ(dialog.Selection(IDC_SMOKE), CB_ERR);
                             inspected = true;
                           }),
                           DialogAction::Ok()});
  headless.dialogs.DialogBoxParamA(test::headlessInstance, configDialogId, NoWindow, ConfigDialogProc, 0);
  EXPECT_TRUE(inspected);
  EXPECT_EQ(headless.registry.Dword(key, "G"), 2u);
  EXPECT_EQ(settings.smokeLevel, 2);
}

TEST_F(ConfigDialogTest, FailedEnumerationShowsItsMessageInsteadOfTheDialog) {
  headless.graphics.drivers.clear();
  headless.dialogs.Script({DialogAction::Ok()});
  EXPECT_EQ(RunConfigure(), 0);
  EXPECT_EQ(headless.dialogs.ScriptsLeft(), 1u);
  ASSERT_EQ(headless.system.messageBoxes.size(), 1u);
  EXPECT_EQ(headless.system.messageBoxes[0].text, ErrorMessageText(ResultCode::EnumFailed));
  EXPECT_EQ(headless.system.messageBoxes[0].type, MB_OK | MB_ICONERROR);
}

}  // namespace
}  // namespace nb
