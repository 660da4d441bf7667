// The device selection dialog run by the fake dialog manager against a catalogue built
// from a fake machine: what the three lists show, how they cascade, and what each way of
// closing the dialog returns and leaves in the catalogue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog_fixture.h"
#include "display/device_dialog.h"
#include "platform/fake/fake_platform.h"

namespace nb {
namespace {

using fake::DialogAction;
using fake::FakeDialogState;
using test::Hardware;
using test::Modes;
using test::Primary;
using test::Secondary;
using test::Software;
using Strings = std::vector<std::string>;

class DeviceDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDeviceCatalog();
    fake.graphics.drivers = {
        Primary({Software("RGB Emulation"), Hardware("Direct3D HAL")},
                Modes({{640, 480, 16}, {800, 600, 16}, {1024, 768, 32}})),
        Secondary(1, {Hardware("HAL A", IID_IDirect3DHALDevice), Hardware("HAL B", IID_IDirect3DMMXDevice)},
                  Modes({{800, 600, 16}, {640, 480, 16}}))};
    ASSERT_EQ(EnumerateDisplayDevices(fake.graphics, fake.registry, SaverDeviceTest), S_OK);
    primary = GetDrivers();
    secondary = primary->next;
    owner = fake.windows.AddForeignWindow(RECT{0, 0, 300, 200});
    fake.world.ClearCalls();
  }
  void TearDown() override { ResetDeviceCatalog(); }

  // The catalogue's choice as the three texts the user would read.
  Strings Choice() const {
    const DriverEntry* driver = deviceCatalog.currentDriver;
    const DeviceEntry* device = driver->currentDevice;
    return {driver->description, device->name, device->currentMode->text};
  }
  // What the three lists show selected.
  static Strings Shown(const FakeDialogState& d) {
    return {d.SelectedText(driverComboId), d.SelectedText(deviceComboId), d.SelectedText(modeComboId)};
  }
  DialogAction ExpectShown(Strings expected) {
    return DialogAction::Inspect([expected](const FakeDialogState& d) { EXPECT_EQ(Shown(d), expected); });
  }
  int32_t Run(std::vector<DialogAction> script) {
    fake.dialogs.Script(std::move(script));
    return RunDeviceDialog(fake.dialogs, owner);
  }

  fake::FakePlatform fake;
  DriverEntry* primary = nullptr;
  DriverEntry* secondary = nullptr;
  Window owner{};
};

TEST_F(DeviceDialogTest, ListsShowTheCatalogueInOrderWithTheChoiceSelected) {
  const Strings before = Choice();
  EXPECT_EQ(Run({DialogAction::Inspect([&](const FakeDialogState& d) {
                   EXPECT_EQ(d.Texts(driverComboId), (Strings{"Primary Display Driver", "Secondary 1"}));
                   EXPECT_EQ(d.Texts(deviceComboId), (Strings{"RGB Emulation", "Direct3D HAL"}));
                   EXPECT_EQ(d.Texts(modeComboId),
                             (Strings{"640 x 480 x 16", "800 x 600 x 16", "1024 x 768 x 32"}));
                   EXPECT_EQ(Shown(d), before);
                   const fake::FakeControl* drivers = d.Control(driverComboId);
                   ASSERT_NE(drivers, nullptr);
                   EXPECT_EQ(drivers->items[1].second, reinterpret_cast<intptr_t>(secondary));
                   EXPECT_EQ(d.Control(modeComboId)->items[2].second,
                             reinterpret_cast<intptr_t>(primary->currentDevice->modes->next->next));
                 }),
                 DialogAction::Ok()}),
            2);
  EXPECT_EQ(Choice(), before);

  ASSERT_EQ(fake.dialogs.Finished().size(), 1u);
  const FakeDialogState& shown = fake.dialogs.Finished()[0];
  EXPECT_TRUE(shown.initResult);
  EXPECT_EQ(shown.owner, owner);
  EXPECT_EQ(shown.param, 0);
  ASSERT_TRUE(shown.layout.has_value());
  EXPECT_EQ(shown.layout->title, "Select a Direct3D Driver");
  EXPECT_EQ(shown.layout->items.size(), 8u);
  EXPECT_EQ(fake.world.CountCalls("RegSetValueExA"), 0u);
}

TEST_F(DeviceDialogTest, SwitchingToAnotherDriverAndBackChangesNothing) {
  EXPECT_EQ(Run({DialogAction::Select(driverComboId, 1),
                 ExpectShown({"Secondary 1", "HAL B", "640 x 480 x 16"}),
                 DialogAction::Inspect([](const FakeDialogState& d) {
                   EXPECT_EQ(d.Texts(deviceComboId), (Strings{"HAL A", "HAL B"}));
                   EXPECT_EQ(d.Texts(modeComboId), (Strings{"800 x 600 x 16", "640 x 480 x 16"}));
                 }),
                 DialogAction::Select(driverComboId, 0),
                 ExpectShown({"Primary Display Driver", "RGB Emulation", "640 x 480 x 16"}),
                 DialogAction::Ok()}),
            2);
  EXPECT_EQ(Choice(), (Strings{"Primary Display Driver", "RGB Emulation", "640 x 480 x 16"}));
  EXPECT_STREQ(secondary->currentDevice->name, "HAL B");
}

TEST_F(DeviceDialogTest, AnotherDriverForgetsTheDeviceChosenBeforeIt) {
  EXPECT_EQ(Run({DialogAction::Select(deviceComboId, 1),
                 ExpectShown({"Primary Display Driver", "Direct3D HAL", "640 x 480 x 16"}),
                 DialogAction::Select(driverComboId, 1), DialogAction::Select(driverComboId, 0),
                 ExpectShown({"Primary Display Driver", "RGB Emulation", "640 x 480 x 16"}),
                 DialogAction::Ok()}),
            2);
}

TEST_F(DeviceDialogTest, AnotherModeConfirmedIsAppliedToTheChosenDevice) {
  DeviceEntry* device = primary->currentDevice;
  EXPECT_EQ(Run({DialogAction::Select(modeComboId, 1), ExpectShown({"Primary Display Driver", "RGB Emulation",
                                                                     "800 x 600 x 16"}),
                 DialogAction::Ok()}),
            1);
  EXPECT_EQ(deviceCatalog.currentDriver, primary);
  EXPECT_EQ(primary->currentDevice, device);
  EXPECT_EQ(Choice(), (Strings{"Primary Display Driver", "RGB Emulation", "800 x 600 x 16"}));
  EXPECT_EQ(fake.world.CountCalls("RegSetValueExA"), 0u) << "the caller saves";
}

TEST_F(DeviceDialogTest, AnotherDriverDeviceAndModeConfirmedBecomeTheChoice) {
  EXPECT_EQ(Run({DialogAction::Select(driverComboId, 1), DialogAction::Select(deviceComboId, 0),
                 ExpectShown({"Secondary 1", "HAL A", "640 x 480 x 16"}), DialogAction::Select(modeComboId, 0),
                 DialogAction::Ok()}),
            1);
  EXPECT_EQ(deviceCatalog.currentDriver, secondary);
  EXPECT_EQ(Choice(), (Strings{"Secondary 1", "HAL A", "800 x 600 x 16"}));
  EXPECT_STREQ(primary->currentDevice->name, "RGB Emulation") << "the other driver keeps its own";
  SaveDeviceChoice(fake.registry);
  EXPECT_EQ(fake.registry.String(savedChoiceKey, "C"), "HAL A");
}

TEST_F(DeviceDialogTest, SelectingWhatIsAlreadySelectedChangesNothing) {
  const Strings before = Choice();
  EXPECT_EQ(Run({DialogAction::Select(driverComboId, 0), DialogAction::Select(deviceComboId, 0),
                 DialogAction::Select(modeComboId, 0), ExpectShown(before), DialogAction::Ok()}),
            2);
  EXPECT_EQ(Choice(), before);
}

TEST_F(DeviceDialogTest, CancelAndTheCloseBoxKeepTheCatalogueAsItWas) {
  const Strings before = Choice();
  EXPECT_EQ(Run({DialogAction::Select(driverComboId, 1), DialogAction::Select(modeComboId, 0),
                 DialogAction::Cancel()}),
            2);
  EXPECT_EQ(Choice(), before);
  EXPECT_STREQ(secondary->currentDevice->currentMode->text, "640 x 480 x 16");

  EXPECT_EQ(Run({DialogAction::Select(modeComboId, 2), DialogAction::CloseBox()}), 2);
  EXPECT_EQ(Choice(), before);
}

TEST_F(DeviceDialogTest, UnusableSituationsReturnMinusOne) {
  // The dialog manager refuses.
  fake.world.FailCall("DialogBoxIndirectParamA", E_FAIL);
  EXPECT_EQ(RunDeviceDialog(fake.dialogs, owner), -1);
  fake.world.ClearFailures();

  // No chosen driver: no dialog at all.
  deviceCatalog.currentDriver = nullptr;
  fake.world.ClearCalls();
  EXPECT_EQ(RunDeviceDialog(fake.dialogs, owner), -1);
  EXPECT_EQ(fake.world.CountCalls("DialogBoxIndirectParamA"), 0u);
  EXPECT_TRUE(fake.dialogs.Finished().empty());
}

TEST_F(DeviceDialogTest, UnknownCommandsAndMessagesAreLeftToTheDialogManager) {
  const Strings before = Choice();
  intptr_t otherCommand = -1;
  intptr_t otherMessage = -1;
  fake.dialogs.Script({DialogAction::Inspect([&](const FakeDialogState& d) {
                         otherCommand = DeviceDialogProc(d.handle, WM_COMMAND, 1009, 0);
                         otherMessage = DeviceDialogProc(d.handle, WM_CLOSE, 0, 0);
                       }),
                       DialogAction::Ok()});
  EXPECT_EQ(RunDeviceDialog(fake.dialogs, owner), 2);
  EXPECT_EQ(otherCommand, 0);
  EXPECT_EQ(otherMessage, 0);
  EXPECT_EQ(Choice(), before);
}

}  // namespace
}  // namespace nb
