// Shared set-up of the display tests: a fake machine (graphics, registry, windows,
// dialogs) and helpers that describe drivers, devices and modes in a line each, plus
// readers that turn the catalogue back into names and texts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/device_catalog.h"
#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_graphics.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_world.h"

namespace nb::test {

struct ModeSize {
  uint32_t width, height, bits;
};

inline std::vector<DDSURFACEDESC2> Modes(std::initializer_list<ModeSize> sizes) {
  std::vector<DDSURFACEDESC2> modes;
  for (const ModeSize& size : sizes) modes.push_back(fake::MakeMode(size.width, size.height, size.bits));
  return modes;
}

inline constexpr uint32_t allDepths = DDBD_16 | DDBD_24 | DDBD_32;

inline fake::FakeDeviceConfig Software(const std::string& name, const GUID& guid = IID_IDirect3DRGBDevice,
                                       uint32_t renderDepths = allDepths,
                                       uint32_t destBlend = D3DPBLENDCAPS_ONE,
                                       uint32_t colorModel = D3DCOLOR_RGB) {
  fake::FakeDeviceConfig device = fake::SoftwareDevice();
  device.guid = guid;
  device.name = name;
  device.description = name + " description";
  device.emulation = fake::MakeDeviceDesc(colorModel, renderDepths, destBlend, 0);
  return device;
}

inline fake::FakeDeviceConfig Hardware(const std::string& name, const GUID& guid = IID_IDirect3DHALDevice,
                                       uint32_t renderDepths = allDepths,
                                       uint32_t destBlend = D3DPBLENDCAPS_ONE) {
  fake::FakeDeviceConfig device = fake::HardwareDevice();
  device.guid = guid;
  device.name = name;
  device.description = name + " description";
  device.hardware = fake::MakeDeviceDesc(D3DCOLOR_RGB, renderDepths, destBlend, 0);
  return device;
}

inline fake::FakeDriverConfig Primary(std::vector<fake::FakeDeviceConfig> devices,
                                      std::vector<DDSURFACEDESC2> modes = Modes({{640, 480, 16}}),
                                      const std::string& description = "Primary Display Driver",
                                      const std::string& name = "display") {
  fake::FakeDriverConfig driver = fake::StandardDriver();
  driver.description = description;
  driver.name = name;
  driver.modes = std::move(modes);
  driver.devices = std::move(devices);
  return driver;
}

inline GUID DriverGuid(uint32_t n) { return GUID{0x5EC0D000u + n, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}; }

inline fake::FakeDriverConfig Secondary(uint32_t n, std::vector<fake::FakeDeviceConfig> devices,
                                        std::vector<DDSURFACEDESC2> modes = Modes({{640, 480, 16}})) {
  fake::FakeDriverConfig driver = Primary(std::move(devices), std::move(modes),
                                          "Secondary " + std::to_string(n), "display" + std::to_string(n));
  driver.primary = false;
  driver.guid = DriverGuid(n);
  return driver;
}

inline std::vector<std::string> DriverDescriptions() {
  std::vector<std::string> out;
  for (const DriverEntry* d = GetDrivers(); d; d = d->next) out.emplace_back(d->description);
  return out;
}

inline std::vector<std::string> DeviceNames(const DriverEntry* driver) {
  std::vector<std::string> out;
  for (const DeviceEntry* d = driver ? driver->devices : nullptr; d; d = d->next) out.emplace_back(d->name);
  return out;
}

inline std::vector<std::string> ModeTexts(const DeviceEntry* device) {
  std::vector<std::string> out;
  for (const ModeEntry* m = device ? device->modes : nullptr; m; m = m->next) out.emplace_back(m->text);
  return out;
}

inline const DeviceEntry* FindDevice(const DriverEntry* driver, const std::string& name) {
  for (const DeviceEntry* d = driver ? driver->devices : nullptr; d; d = d->next) {
    if (name == d->name) return d;
  }
  return nullptr;
}

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDeviceCatalog();
    catalogAllocationBudget = -1;
  }
  void TearDown() override {
    ResetDeviceCatalog();
    catalogAllocationBudget = -1;
  }

  int32_t Enumerate(DeviceAcceptTest test = SaverDeviceTest) {
    return EnumerateDisplayDevices(graphics, registry, test);
  }
  // Builds the catalogue again from the same machine, as a new run of the program would.
  int32_t Reenumerate() {
    ResetDeviceCatalog();
    return Enumerate();
  }
  const DeviceEntry* CurrentDevice() const {
    return deviceCatalog.currentDriver ? deviceCatalog.currentDriver->currentDevice : nullptr;
  }
  std::string CurrentModeText() const {
    const DeviceEntry* device = CurrentDevice();
    return device && device->currentMode ? device->currentMode->text : "";
  }

  fake::FakeWorld world;
  fake::FakeGdi gdi{world};
  fake::FakeGraphicsSystem graphics{world, gdi};
  fake::FakeRegistry registry{world};
};

}  // namespace nb::test
