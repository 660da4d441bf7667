// The settings and the saved device choice read back from a registry key holding any
// values, of any type and size. Input: records of (name, type, size, bytes) written under
// the saver's key. Reading must keep the levels within 0..2, make a saved choice current
// only when its four texts name a driver, device and mode of the catalogue, change no
// stored value, and what is saved afterwards must read back as the same choice.
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "display/device_catalog.h"
#include "fuzz_support.h"
#include "platform/fake/fake_platform.h"
#include "shell/settings_store.h"
#include "show/settings.h"

namespace {

using nb::fuzz::InputReader;

const char* const valueNames[] = {"A", "B", "C", "D", "E", "F", "G", "H"};
const uint32_t valueTypes[] = {nb::REG_NONE, nb::REG_SZ, nb::REG_BINARY, nb::REG_DWORD};

// A machine with two drivers, so that a saved choice can name either, and its catalogue,
// built once: enumerating reads nothing from the registry, the choice made afterwards
// does. Choose() puts the catalogue's choice back to where the enumeration left it and
// chooses again, as the enumeration's last step does.
struct Machine {
  nb::fake::FakePlatform fake;
  nb::DriverEntry* currentDriver = nullptr;
  std::vector<std::pair<nb::DriverEntry*, nb::DeviceEntry*>> currentDevices;
  std::vector<std::pair<nb::DeviceEntry*, nb::ModeEntry*>> currentModes;

  Machine() {
    fake.graphics.drivers = {nb::fake::StandardDriver(),
                             nb::fake::SecondaryDriver(nb::GUID{0x51, 0x52, 0x53, {1, 2, 3, 4, 5, 6, 7, 8}},
                                                       "Second display", "display2")};
    FUZZ_CHECK(nb::EnumerateDisplayDevices(fake.graphics, fake.registry, nb::SaverDeviceTest) == nb::S_OK);
    FUZZ_CHECK(fake.world.LiveCount() == 0);
    currentDriver = nb::deviceCatalog.currentDriver;
    for (nb::DriverEntry* driver = nb::GetDrivers(); driver; driver = driver->next) {
      currentDevices.emplace_back(driver, driver->currentDevice);
      for (nb::DeviceEntry* device = driver->devices; device; device = device->next) {
        currentModes.emplace_back(device, device->currentMode);
      }
    }
  }

  int32_t Choose() {
    nb::deviceCatalog.currentDriver = currentDriver;
    for (auto& [driver, device] : currentDevices) driver->currentDevice = device;
    for (auto& [device, mode] : currentModes) device->currentMode = mode;
    return nb::SelectDefaultDevice(fake.registry, true);
  }
};

Machine& TheMachine() {
  static Machine* machine = new Machine;
  return *machine;
}

// The text of a saved value as the reader compares it: at most 40 bytes, up to a zero.
std::string SavedText(const nb::fake::RegistryValue& value) {
  std::string text(value.bytes.begin(), value.bytes.end());
  return text.substr(0, text.find('\0'));
}

bool Names(const char (&field)[nb::catalogTextSize], const std::string& text) {
  return std::strncmp(field, text.c_str(), nb::catalogTextSize) == 0 && text.size() < nb::catalogTextSize;
}

void CheckCurrentChoiceIsInTheCatalogue() {
  nb::DriverEntry* driver = nullptr;
  nb::DeviceEntry* device = nullptr;
  FUZZ_CHECK(nb::GetCurrentDevice(&driver, &device) == nb::S_OK);
  bool driverListed = false;
  for (nb::DriverEntry* d = nb::GetDrivers(); d; d = d->next) driverListed = driverListed || d == driver;
  FUZZ_CHECK(driverListed && device != nullptr);
  bool deviceListed = false;
  for (nb::DeviceEntry* e = driver->devices; e; e = e->next) deviceListed = deviceListed || e == device;
  FUZZ_CHECK(deviceListed && device->currentMode != nullptr);
  bool modeListed = false;
  for (nb::ModeEntry* m = device->modes; m; m = m->next) modeListed = modeListed || m == device->currentMode;
  FUZZ_CHECK(modeListed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Machine& machine = TheMachine();
  nb::fake::FakePlatform& fake = machine.fake;
  nb::fake::FakeRegistry& registry = fake.registry;
  const std::string key = nb::settingsKey;
  registry.DeleteKey("Software");
  nb::settings = nb::Settings{};
  fake.world.ClearCalls();

  // A later record of a name replaces the earlier one, as writing the value again would.
  std::map<std::string, nb::fake::RegistryValue> stored;
  InputReader input(data, size);
  while (!input.Empty()) {
    const char* name = valueNames[input.Byte() % 8];
    const uint8_t typeByte = input.Byte();
    const uint32_t type = typeByte < 4 ? valueTypes[typeByte] : typeByte;
    size_t taken = 0;
    const uint8_t* bytes = input.Take(input.Word(), &taken);
    stored[name] = nb::fake::RegistryValue{type, std::vector<uint8_t>(bytes, bytes + taken)};
  }
  for (const auto& [name, value] : stored) registry.SetValue(key, name, value.type, value.bytes);

  nb::LoadSettings(registry);
  for (int32_t level : {nb::settings.particleLevel, nb::settings.smokeLevel}) FUZZ_CHECK(level >= 0 && level <= 2);
  // The sound switch is whatever four bytes were stored (or the default).
  if (stored.count("E") && stored["E"].bytes.size() <= 4) {
    uint8_t expected[4] = {1, 0, 0, 0};
    if (!stored["E"].bytes.empty()) std::memcpy(expected, stored["E"].bytes.data(), stored["E"].bytes.size());
    FUZZ_CHECK(std::memcmp(&nb::settings.useSound, expected, 4) == 0);
  } else {
    FUZZ_CHECK(nb::settings.useSound == 1);
  }

  // The machine always has a software device, so there is always a choice.
  FUZZ_CHECK(machine.Choose() == nb::S_OK);
  CheckCurrentChoiceIsInTheCatalogue();

  const bool restored = nb::LoadSavedDeviceChoice(registry);
  bool storedChoiceUsable = true;
  for (const char* name : {"A", "B", "C", "D"}) {
    storedChoiceUsable = storedChoiceUsable && stored.count(name) && stored[name].bytes.size() <= nb::catalogTextSize;
  }
  if (!storedChoiceUsable) FUZZ_CHECK(!restored);
  if (restored) {
    nb::DriverEntry* driver = nullptr;
    nb::DeviceEntry* device = nullptr;
    FUZZ_CHECK(nb::GetCurrentDevice(&driver, &device) == nb::S_OK);
    FUZZ_CHECK(Names(driver->description, SavedText(stored["A"])));
    FUZZ_CHECK(Names(driver->name, SavedText(stored["B"])));
    FUZZ_CHECK(Names(device->name, SavedText(stored["C"])));
    FUZZ_CHECK(Names(device->currentMode->text, SavedText(stored["D"])));
  } else if (storedChoiceUsable) {
    for (nb::DriverEntry* d = nb::GetDrivers(); d; d = d->next) {
      for (nb::DeviceEntry* e = d->devices; e; e = e->next) {
        for (nb::ModeEntry* m = e->modes; m; m = m->next) {
          FUZZ_CHECK(!(Names(d->description, SavedText(stored["A"])) && Names(d->name, SavedText(stored["B"])) &&
                       Names(e->name, SavedText(stored["C"])) && Names(m->text, SavedText(stored["D"]))));
        }
      }
    }
  }
  CheckCurrentChoiceIsInTheCatalogue();

  // Reading changed nothing that was stored.
  for (const auto& [name, value] : stored) {
    const auto now = registry.Value(key, name);
    FUZZ_CHECK(now && now->type == value.type && now->bytes == value.bytes);
  }
  FUZZ_CHECK(registry.OpenKeyCount() == 0);

  // What is saved reads back as the same choice and the same settings.
  nb::DriverEntry* driver = nullptr;
  nb::DeviceEntry* device = nullptr;
  nb::GetCurrentDevice(&driver, &device);
  const std::string chosen[3] = {driver->description, device->name, device->currentMode->text};
  nb::SaveDeviceChoice(registry);
  for (const char* name : {"A", "B", "C", "D"}) {
    const auto value = registry.Value(key, name);
    FUZZ_CHECK(value && value->type == nb::REG_SZ && value->bytes.size() == nb::catalogTextSize);
  }
  const nb::Settings before = nb::settings;
  nb::SaveSettings(registry);
  nb::settings = nb::Settings{};
  nb::LoadSettings(registry);
  FUZZ_CHECK(nb::settings.useSound == before.useSound && nb::settings.particleLevel == before.particleLevel &&
             nb::settings.smokeLevel == before.smokeLevel);
  FUZZ_CHECK(machine.Choose() == nb::S_OK);
  nb::DriverEntry* againDriver = nullptr;
  nb::DeviceEntry* againDevice = nullptr;
  nb::GetCurrentDevice(&againDriver, &againDevice);
  FUZZ_CHECK(againDriver->description == chosen[0]);
  FUZZ_CHECK(againDevice->name == chosen[1]);
  FUZZ_CHECK(againDevice->currentMode->text == chosen[2]);
  FUZZ_CHECK(registry.OpenKeyCount() == 0);
  return 0;
}
