// The device catalogue on a fake machine: which drivers, devices and modes are kept, the
// automatic and saved choices, the registry form of the choice, and running out of memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "catalog_fixture.h"
#include "display/device_catalog.h"

namespace nb {
namespace {

using test::allDepths;
using test::CatalogTest;
using test::DeviceNames;
using test::DriverDescriptions;
using test::Hardware;
using test::Modes;
using test::ModeTexts;
using test::Primary;
using test::Secondary;
using test::Software;

using Strings = std::vector<std::string>;

const std::string key = savedChoiceKey;

TEST_F(CatalogTest, FirstRunChoosesTheSoftwareDeviceIn640x480x16) {
  graphics.drivers = {Primary({Hardware("Direct3D HAL"), Software("RGB Emulation")},
                              Modes({{800, 600, 16}, {640, 480, 16}, {640, 480, 32}}))};
  ASSERT_EQ(Enumerate(), S_OK);

  const DriverEntry* driver = deviceCatalog.currentDriver;
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(driver, GetDrivers());
  EXPECT_EQ(driver->guidRef, nullptr);
  EXPECT_EQ(driver->guid, GUID_NULL);
  EXPECT_STREQ(driver->description, "Primary Display Driver");
  EXPECT_STREQ(driver->name, "display");
  EXPECT_EQ(driver->hardwareCaps.dwSize, 380u);
  ASSERT_NE(CurrentDevice(), nullptr);
  EXPECT_STREQ(CurrentDevice()->name, "RGB Emulation");
  EXPECT_EQ(CurrentDevice()->isHardware, 0);
  EXPECT_EQ(CurrentDevice()->guidRef, &CurrentDevice()->guid);
  EXPECT_EQ(CurrentDevice()->guid, IID_IDirect3DRGBDevice);
  EXPECT_EQ(CurrentModeText(), "640 x 480 x 16");

  DriverEntry* chosenDriver = nullptr;
  DeviceEntry* chosenDevice = nullptr;
  EXPECT_EQ(GetCurrentDevice(&chosenDriver, &chosenDevice), S_OK);
  EXPECT_EQ(chosenDriver, driver);
  EXPECT_EQ(chosenDevice, CurrentDevice());
  EXPECT_EQ(GetCurrentDevice(nullptr, nullptr), S_OK);

  // All drivers, with secondary and non-display ones; modes once per size and depth.
  const auto enumerations = world.CallsNamed("GraphicsSystem::DirectDrawEnumerateExA");
  ASSERT_EQ(enumerations.size(), 1u);
  EXPECT_EQ(enumerations[0].args.at(0), 7);
  for (const fake::Call& call : world.CallsNamed("DirectDraw::EnumDisplayModes")) {
    EXPECT_EQ(call.args.at(0), 0) << "flags";
    EXPECT_EQ(call.args.at(1), 0) << "filter";
  }
  EXPECT_EQ(world.LiveCount(), 0u) << "every interface used while enumerating is released";
}

TEST_F(CatalogTest, ModesAreFilteredByTheDeviceRenderDepthsAndFormatted) {
  graphics.drivers = {Primary({Software("Sixteen", IID_IDirect3DRGBDevice, DDBD_16),
                               Software("Any", IID_IDirect3DMMXDevice)},
                              Modes({{640, 480, 8}, {1024, 768, 32}, {640, 480, 24}, {800, 600, 16},
                                     {320, 200, 4}, {640, 480, 16}}))};
  ASSERT_EQ(Enumerate(), S_OK);
  const DriverEntry* driver = GetDrivers();
  ASSERT_EQ(DeviceNames(driver), (Strings{"Sixteen", "Any"}));

  const DeviceEntry* sixteen = driver->devices;
  EXPECT_EQ(ModeTexts(sixteen), (Strings{"800 x 600 x 16", "320 x 200 x 4", "640 x 480 x 16"}));
  EXPECT_STREQ(sixteen->currentMode->text, "640 x 480 x 16") << "640 x 480 x 16 wins even when late";
  const DeviceEntry* any = sixteen->next;
  EXPECT_EQ(ModeTexts(any), (Strings{"1024 x 768 x 32", "640 x 480 x 24", "800 x 600 x 16",
                                     "320 x 200 x 4", "640 x 480 x 16"}));
  EXPECT_EQ(any->modes->surfaceDesc.dwRefreshRate, 60u);
  EXPECT_EQ(any->modes->surfaceDesc.dwWidth, 1024u);
  for (const ModeEntry* mode = any->modes; mode; mode = mode->next) {
    EXPECT_EQ(mode->text[sizeof mode->text - 1], '\0');
  }
}

TEST_F(CatalogTest, WithoutA640x480x16ModeTheFirstAcceptedModeIsTheDefault) {
  graphics.drivers = {Primary({Software("RGB Emulation")},
                              Modes({{640, 480, 8}, {1024, 768, 32}, {640, 480, 32}}))};
  ASSERT_EQ(Enumerate(), S_OK);
  EXPECT_EQ(CurrentModeText(), "1024 x 768 x 32");
}

TEST_F(CatalogTest, ModeTextsStayWithinTheirField) {
  graphics.drivers = {Primary({Software("RGB Emulation")},
                              Modes({{0x80000000u, 0x80000000u, 0x80000000u}, {0xFFFFFFFFu, 4000000000u, 16}}))};
  ASSERT_EQ(Enumerate(), S_OK);
  // The platform prints its 32-bit values with %ld; the widest such text has 39 characters.
  EXPECT_EQ(ModeTexts(CurrentDevice()),
            (Strings{"-2147483648 x -2147483648 x -2147483648", "-1 x -294967296 x 16"}));
}

TEST_F(CatalogTest, HardwareOnlyMachineWithoutSavedChoiceHasNoCompatibleDevice) {
  graphics.drivers = {Primary({Hardware("Direct3D HAL")})};
  EXPECT_EQ(Enumerate(), ResultCode::NoCompatibleDevices);

  // Once a saved choice names the hardware device, the same machine starts.
  registry.SetString(key, "A", "Primary Display Driver", 40);
  registry.SetString(key, "B", "display", 40);
  registry.SetString(key, "C", "Direct3D HAL", 40);
  registry.SetString(key, "D", "640 x 480 x 16", 40);
  EXPECT_EQ(Reenumerate(), S_OK);
  ASSERT_NE(CurrentDevice(), nullptr);
  EXPECT_STREQ(CurrentDevice()->name, "Direct3D HAL");
}

TEST_F(CatalogTest, UsableReferenceRasterizerWithoutModesGivesNoCompatibleDirect3D) {
  // The reference device passes the filters but renders to no depth the display offers.
  graphics.drivers = {Primary({Hardware("Direct3D HAL"),
                               Software("Reference Rasterizer", IID_IDirect3DRefDevice, DDBD_24)},
                              Modes({{640, 480, 16}, {640, 480, 32}}))};
  EXPECT_EQ(Enumerate(), ResultCode::NoCompatibleDirect3D);
  EXPECT_TRUE(deviceCatalog.referenceSeen);
  EXPECT_EQ(DeviceNames(GetDrivers()), (Strings{"Direct3D HAL"}));

  // A reference device that fails the acceptance test was never usable.
  graphics.drivers = {Primary({Hardware("Direct3D HAL"),
                               Software("Reference Rasterizer", IID_IDirect3DRefDevice, allDepths, 0)})};
  EXPECT_EQ(Reenumerate(), ResultCode::NoCompatibleDevices);
  EXPECT_FALSE(deviceCatalog.referenceSeen);
}

TEST_F(CatalogTest, NoDeviceAtAllIsAnEnumerationFailure) {
  graphics.drivers = {Primary({fake::NullDevice()})};
  EXPECT_EQ(Enumerate(), ResultCode::EnumFailed);
  EXPECT_FALSE(deviceCatalog.anyDeviceSeen) << "the null device does not count";
  EXPECT_EQ(GetDrivers(), nullptr);
  DriverEntry* driver = nullptr;
  EXPECT_EQ(GetCurrentDevice(&driver, nullptr), ResultCode::EnumFailed);
  EXPECT_EQ(driver, nullptr);

  graphics.drivers = {Primary({Software("RGB Emulation")})};
  graphics.drivers[0].offersDirect3D3 = false;
  EXPECT_EQ(Reenumerate(), ResultCode::EnumFailed);
  graphics.drivers[0].offersDirect3D3 = true;
  graphics.drivers[0].offersDirectDraw4 = false;
  EXPECT_EQ(Reenumerate(), ResultCode::EnumFailed);
  graphics.drivers[0].offersDirectDraw4 = true;
  graphics.drivers[0].createFails = true;
  EXPECT_EQ(Reenumerate(), ResultCode::EnumFailed);
  EXPECT_EQ(world.LiveCount(), 0u);
}

TEST_F(CatalogTest, MissingDirectDrawModuleEndsBeforeEnumerating) {
  graphics.directDrawLoaded = false;
  graphics.drivers = {Primary({Software("RGB Emulation")})};
  EXPECT_EQ(Enumerate(), ResultCode::NoDirectDrawModule);
  EXPECT_EQ(world.CountCalls("DirectDrawEnumerateExA"), 0u);
  EXPECT_EQ(GetDrivers(), nullptr);
}

TEST_F(CatalogTest, AcceptanceTestSeesDriverCapsAndTheDescriptionThatCounts) {
  graphics.drivers = {Primary({Software("No blend", IID_IDirect3DRGBDevice, allDepths, D3DPBLENDCAPS_ZERO),
                               Software("RGB Emulation", IID_IDirect3DMMXDevice, DDBD_16),
                               Hardware("Direct3D HAL", IID_IDirect3DHALDevice, DDBD_32)},
                              Modes({{640, 480, 16}, {640, 480, 32}}))};
  graphics.drivers[0].caps.dwVidMemTotal = 12345;

  struct Seen {
    uint32_t capsSize, vidMem, renderDepths;
  };
  static std::vector<Seen> seen;
  seen.clear();
  const auto recordingTest = [](const DDCAPS* caps, const D3DDEVICEDESC* device) -> int32_t {
    seen.push_back({caps->dwSize, caps->dwVidMemTotal, device->dwDeviceRenderBitDepth});
    return SaverDeviceTest(caps, device);
  };
  ASSERT_EQ(Enumerate(recordingTest), S_OK);
  ASSERT_EQ(seen.size(), 3u);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.capsSize, 380u);
    EXPECT_EQ(s.vidMem, 12345u);
  }
  EXPECT_EQ(seen[1].renderDepths, DDBD_16) << "emulation description of a software device";
  EXPECT_EQ(seen[2].renderDepths, DDBD_32) << "hardware description of a hardware device";

  EXPECT_EQ(DeviceNames(GetDrivers()), (Strings{"RGB Emulation", "Direct3D HAL"}));
  EXPECT_EQ(test::FindDevice(GetDrivers(), "Direct3D HAL")->caps.dwDeviceRenderBitDepth, DDBD_32);
  EXPECT_EQ(ModeTexts(test::FindDevice(GetDrivers(), "Direct3D HAL")), (Strings{"640 x 480 x 32"}));
  EXPECT_TRUE(deviceCatalog.anyDeviceSeen);

  D3DDEVICEDESC blendsOne{};
  blendsOne.dpcTriCaps.dwDestBlendCaps = D3DPBLENDCAPS_ONE;
  D3DDEVICEDESC blendsOther{};
  blendsOther.dpcTriCaps.dwDestBlendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_SRCCOLOR;
  blendsOther.dpcLineCaps.dwDestBlendCaps = D3DPBLENDCAPS_ONE;  // lines do not count
  EXPECT_EQ(SaverDeviceTest(nullptr, &blendsOne), S_OK);
  EXPECT_EQ(SaverDeviceTest(nullptr, &blendsOther), E_FAIL);
}

TEST_F(CatalogTest, SecondaryDriversNeedHardwareDevices) {
  graphics.drivers = {Primary({Software("RGB Emulation"), Hardware("Direct3D HAL")}),
                      Secondary(1, {Software("RGB Emulation"), fake::ReferenceDevice()}),
                      Secondary(2, {Hardware("First HAL", IID_IDirect3DHALDevice),
                                    Hardware("Second HAL", IID_IDirect3DMMXDevice)})};
  ASSERT_EQ(Enumerate(), S_OK);
  EXPECT_EQ(DriverDescriptions(), (Strings{"Primary Display Driver", "Secondary 2"}));
  EXPECT_FALSE(deviceCatalog.referenceSeen) << "a secondary's software reference device is skipped";

  const DriverEntry* secondary = GetDrivers()->next;
  EXPECT_EQ(secondary->guidRef, &secondary->guid);
  EXPECT_EQ(secondary->guid, test::DriverGuid(2));
  EXPECT_STREQ(secondary->name, "display2");
  ASSERT_NE(secondary->currentDevice, nullptr);
  EXPECT_STREQ(secondary->currentDevice->name, "Second HAL") << "the last hardware device is offered";
  EXPECT_EQ(deviceCatalog.currentDriver, GetDrivers());
}

TEST_F(CatalogTest, DriverOffersItsRgbSoftwareDeviceWhenItHasNoHardware) {
  graphics.drivers = {Primary({Software("Ramp", IID_IDirect3DRampDevice, allDepths, D3DPBLENDCAPS_ONE, D3DCOLOR_MONO),
                               Software("RGB Emulation")}),
                      Secondary(1, {Hardware("Direct3D HAL")})};
  // A saved choice on the secondary leaves the primary with the device it offers itself.
  registry.SetString(key, "A", "Secondary 1", 40);
  registry.SetString(key, "B", "display1", 40);
  registry.SetString(key, "C", "Direct3D HAL", 40);
  registry.SetString(key, "D", "640 x 480 x 16", 40);
  ASSERT_EQ(Enumerate(), S_OK);
  EXPECT_EQ(deviceCatalog.currentDriver, GetDrivers()->next);
  EXPECT_STREQ(GetDrivers()->currentDevice->name, "RGB Emulation");
}

TEST_F(CatalogTest, FallbackChoicePrefersHardwareAndIgnoresTheSavedChoice) {
  graphics.drivers = {Primary({Software("RGB Emulation")}),
                      Secondary(1, {Hardware("Direct3D HAL")}, Modes({{800, 600, 32}, {640, 480, 32}}))};
  registry.SetString(key, "A", "Primary Display Driver", 40);
  registry.SetString(key, "B", "display", 40);
  registry.SetString(key, "C", "RGB Emulation", 40);
  registry.SetString(key, "D", "640 x 480 x 16", 40);
  ASSERT_EQ(Enumerate(), S_OK);
  EXPECT_EQ(deviceCatalog.currentDriver, GetDrivers());

  world.ClearCalls();
  EXPECT_EQ(SelectDefaultDevice(registry, false), S_OK);
  EXPECT_EQ(world.CountCalls("RegOpenKeyExA"), 0u);
  EXPECT_EQ(deviceCatalog.currentDriver, GetDrivers()->next);
  EXPECT_STREQ(CurrentDevice()->name, "Direct3D HAL");
  EXPECT_EQ(CurrentModeText(), "800 x 600 x 32") << "the device keeps its own mode";

  // Without any hardware the fallback takes the first software device.
  graphics.drivers = {Primary({Software("First", IID_IDirect3DRGBDevice), Software("Second", IID_IDirect3DMMXDevice)})};
  registry.DeleteKey(key);
  ASSERT_EQ(Reenumerate(), S_OK);
  deviceCatalog.currentDriver->currentDevice = deviceCatalog.currentDriver->devices->next;
  EXPECT_EQ(SelectDefaultDevice(registry, false), S_OK);
  EXPECT_STREQ(CurrentDevice()->name, "First");
}

TEST_F(CatalogTest, FallbackPassesOverTheDeviceThatFailed) {
  graphics.drivers = {Primary({Software("RGB Emulation"), Hardware("First HAL"), Hardware("Second HAL")})};
  ASSERT_EQ(Enumerate(), S_OK);
  const DeviceEntry* first = test::FindDevice(GetDrivers(), "First HAL");
  ASSERT_EQ(SelectDefaultDevice(registry, false, first), S_OK);
  EXPECT_STREQ(CurrentDevice()->name, "Second HAL");

  graphics.drivers = {Primary({Software("RGB Emulation"), Hardware("Direct3D HAL")})};
  ASSERT_EQ(Reenumerate(), S_OK);
  ASSERT_EQ(SelectDefaultDevice(registry, false, test::FindDevice(GetDrivers(), "Direct3D HAL")), S_OK);
  EXPECT_STREQ(CurrentDevice()->name, "RGB Emulation") << "the software device is next in line";

  // With the failed device the only one, there is nothing to fall back to.
  graphics.drivers = {Primary({Hardware("Direct3D HAL")})};
  ASSERT_EQ(Reenumerate(), ResultCode::NoCompatibleDevices);  // no software device to start with
  ASSERT_EQ(SelectDefaultDevice(registry, false), S_OK);
  EXPECT_EQ(SelectDefaultDevice(registry, false, GetDrivers()->devices), ResultCode::NoCompatibleDevices);
}

TEST_F(CatalogTest, SavedChoiceIsWrittenAsFourFortyByteStrings) {
  graphics.drivers = {Primary({Software("RGB Emulation"), Hardware("Direct3D HAL")},
                              Modes({{640, 480, 16}, {1024, 768, 32}}))};
  ASSERT_EQ(Enumerate(), S_OK);
  ASSERT_EQ(SelectDefaultDevice(registry, false), S_OK);
  DeviceEntry* hardware = deviceCatalog.currentDriver->currentDevice;
  hardware->currentMode = hardware->modes->next;

  EXPECT_FALSE(registry.KeyExists(key));
  SaveDeviceChoice(registry);
  const std::pair<const char*, std::string> expected[] = {
      {"A", "Primary Display Driver"}, {"B", "display"}, {"C", "Direct3D HAL"}, {"D", "1024 x 768 x 32"}};
  for (const auto& [name, text] : expected) {
    const auto value = registry.Value(key, name);
    ASSERT_TRUE(value.has_value()) << name;
    EXPECT_EQ(value->type, REG_SZ) << name;
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.resize(40, 0);
    EXPECT_EQ(value->bytes, bytes) << name;
  }
  EXPECT_EQ(registry.ValueCount(key), 4u);
  EXPECT_EQ(registry.OpenKeyCount(), 0u);

  // The next run starts with the saved device and mode.
  EXPECT_EQ(Reenumerate(), S_OK);
  EXPECT_STREQ(CurrentDevice()->name, "Direct3D HAL");
  EXPECT_EQ(CurrentModeText(), "1024 x 768 x 32");
  EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST_F(CatalogTest, NothingIsSavedWithoutAChoiceOrWhenTheKeyCannotBeCreated) {
  SaveDeviceChoice(registry);
  EXPECT_FALSE(registry.KeyExists(key));

  graphics.drivers = {Primary({Software("RGB Emulation")})};
  ASSERT_EQ(Enumerate(), S_OK);
  world.FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
  SaveDeviceChoice(registry);
  EXPECT_FALSE(registry.KeyExists(key));
  EXPECT_EQ(world.CountCalls("RegSetValueExA"), 0u);
}

TEST_F(CatalogTest, LongDescriptionIsKeptAndSavedAsItsFirst39Characters) {
  const std::string fifty = "Fifty characters of driver description, no less!!!";
  ASSERT_EQ(fifty.size(), 50u);
  graphics.drivers = {Primary({Software("RGB Emulation"), Hardware(std::string(60, 'H'))},
                              Modes({{640, 480, 16}}), fifty, std::string(45, 'n'))};
  ASSERT_EQ(Enumerate(), S_OK);
  EXPECT_EQ(std::string(GetDrivers()->description), fifty.substr(0, 39));
  EXPECT_EQ(std::string(GetDrivers()->name), std::string(39, 'n'));
  EXPECT_EQ(std::string(GetDrivers()->devices->next->name), std::string(39, 'H'));

  ASSERT_EQ(SelectDefaultDevice(registry, false), S_OK);
  SaveDeviceChoice(registry);
  EXPECT_EQ(registry.String(key, "A"), fifty.substr(0, 39));
  EXPECT_EQ(registry.Value(key, "A")->bytes.size(), 40u);

  EXPECT_EQ(Reenumerate(), S_OK);
  EXPECT_EQ(std::string(CurrentDevice()->name), std::string(39, 'H')) << "the truncated texts match";
}

TEST_F(CatalogTest, DamagedSavedChoiceIsIgnoredAsAWhole) {
  graphics.drivers = {Primary({Software("RGB Emulation"), Hardware("Direct3D HAL")},
                              Modes({{640, 480, 16}, {800, 600, 16}}),
                              "Display adapter", "display")};
  const auto saveHardwareChoice = [&] {
    registry.DeleteKey(key);
    registry.SetString(key, "A", "Display adapter", 40);
    registry.SetString(key, "B", "display", 40);
    registry.SetString(key, "C", "Direct3D HAL", 40);
    registry.SetString(key, "D", "800 x 600 x 16", 40);
  };
  saveHardwareChoice();
  ASSERT_EQ(Enumerate(), S_OK);
  ASSERT_STREQ(CurrentDevice()->name, "Direct3D HAL") << "the intact choice is restored";
  ASSERT_EQ(CurrentModeText(), "800 x 600 x 16");

  struct Damage {
    const char* what;
    void (*apply)(fake::FakeRegistry&);
  };
  const Damage damages[] = {
      {"mode no longer offered",
       [](fake::FakeRegistry& r) { r.SetString(savedChoiceKey, "D", "1600 x 1200 x 16", 40); }},
      {"value of 41 bytes",
       [](fake::FakeRegistry& r) { r.SetString(savedChoiceKey, "B", "display", 41); }},
      {"value missing",
       [](fake::FakeRegistry& r) {
         r.DeleteKey(savedChoiceKey);
         r.SetString(savedChoiceKey, "A", "Display adapter", 40);
         r.SetString(savedChoiceKey, "B", "display", 40);
         r.SetString(savedChoiceKey, "D", "800 x 600 x 16", 40);
       }},
      {"device name in other case",
       [](fake::FakeRegistry& r) { r.SetString(savedChoiceKey, "C", "direct3d hal", 40); }},
      {"key missing", [](fake::FakeRegistry& r) { r.DeleteKey(savedChoiceKey); }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    saveHardwareChoice();
    damage.apply(registry);
    EXPECT_EQ(Reenumerate(), S_OK);
    EXPECT_STREQ(CurrentDevice()->name, "RGB Emulation");
    EXPECT_EQ(CurrentModeText(), "640 x 480 x 16");
    const DeviceEntry* hardware = test::FindDevice(GetDrivers(), "Direct3D HAL");
    EXPECT_STREQ(hardware->currentMode->text, "640 x 480 x 16") << "no saved mode kept on its own";
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
  }
}

TEST_F(CatalogTest, StoredTextOfFortyNonZeroBytesIsNotReadBeyond) {
  const std::string description(39, 'd');
  graphics.drivers = {Primary({Software("RGB Emulation"), Hardware("Direct3D HAL")},
                              Modes({{640, 480, 16}}), description, "display")};
  // Forty non-zero bytes: the first 39 equal the stored description, the 40th does not
  // belong to it. Cutting the text short at 39 would wrongly match.
  std::vector<uint8_t> unterminated(description.begin(), description.end());
  unterminated.push_back('X');
  registry.SetValue(key, "A", REG_SZ, unterminated);
  registry.SetString(key, "B", "display", 40);
  registry.SetString(key, "C", "Direct3D HAL", 40);
  registry.SetString(key, "D", "640 x 480 x 16", 40);
  ASSERT_EQ(Enumerate(), S_OK);
  EXPECT_STREQ(CurrentDevice()->name, "RGB Emulation");

  // The same description stored with its terminator is the saved choice.
  registry.SetString(key, "A", description, 40);
  EXPECT_EQ(Reenumerate(), S_OK);
  EXPECT_STREQ(CurrentDevice()->name, "Direct3D HAL");
}

TEST_F(CatalogTest, DuplicateDeviceNamesRestoreTheFirstThatHasTheSavedMode) {
  graphics.drivers = {Primary({Software("RGB Emulation"),
                               Hardware("Twin", IID_IDirect3DHALDevice, DDBD_32),
                               Hardware("Twin", IID_IDirect3DMMXDevice, DDBD_16 | DDBD_32)},
                              Modes({{640, 480, 16}, {640, 480, 32}}))};
  registry.SetString(key, "A", "Primary Display Driver", 40);
  registry.SetString(key, "B", "display", 40);
  registry.SetString(key, "C", "Twin", 40);

  registry.SetString(key, "D", "640 x 480 x 16", 40);
  ASSERT_EQ(Enumerate(), S_OK);
  EXPECT_EQ(CurrentDevice()->guid, IID_IDirect3DMMXDevice) << "only the second twin has 16 bits";
  EXPECT_EQ(CurrentModeText(), "640 x 480 x 16");

  registry.SetString(key, "D", "640 x 480 x 32", 40);
  ASSERT_EQ(Reenumerate(), S_OK);
  EXPECT_EQ(CurrentDevice()->guid, IID_IDirect3DHALDevice);
  EXPECT_EQ(CurrentModeText(), "640 x 480 x 32");
}

TEST_F(CatalogTest, RunningOutOfMemoryKeepsWhatWasBuilt) {
  graphics.drivers = {Primary({Software("RGB Emulation"), Software("Second", IID_IDirect3DMMXDevice)},
                              Modes({{640, 480, 16}, {800, 600, 16}, {1024, 768, 16}})),
                      Secondary(1, {Hardware("Direct3D HAL")}), Secondary(2, {Hardware("Direct3D HAL")})};
  // Driver, device and one mode fit; the second mode does not: that device's modes stop,
  // and the next allocations (the second device, the next driver) end their enumerations.
  catalogAllocationBudget = 3;
  EXPECT_EQ(Enumerate(), S_OK);
  EXPECT_EQ(DriverDescriptions(), (Strings{"Primary Display Driver"}));
  EXPECT_EQ(DeviceNames(GetDrivers()), (Strings{"RGB Emulation"}));
  EXPECT_EQ(ModeTexts(CurrentDevice()), (Strings{"640 x 480 x 16"}));
  EXPECT_EQ(world.CountCalls("GraphicsSystem::DirectDrawCreate"), 2u) << "the third driver is never opened";
  EXPECT_EQ(world.LiveCount(), 0u);

  // A driver whose first device cannot be allocated is dropped.
  catalogAllocationBudget = 1;
  EXPECT_EQ(Reenumerate(), ResultCode::NoCompatibleDevices);
  EXPECT_EQ(GetDrivers(), nullptr);
  EXPECT_EQ(deviceCatalog.currentDriver, nullptr);
  EXPECT_EQ(world.LiveCount(), 0u);
}

}  // namespace
}  // namespace nb
