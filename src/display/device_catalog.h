// The catalogue of display drivers, their Direct3D devices and the display modes each
// device can render to, with the one current choice among them and its registry form.
// Built once per process by EnumerateDisplayDevices; entries live until the process ends
// (ResetDeviceCatalog exists for tests and for a clean exit under leak checkers).
// Depends on the graphics and registry ports and result_codes.h. Must not keep any
// platform interface: every DirectDraw/Direct3D object used while enumerating is released
// before the enumeration returns.
#pragma once

#include <cstddef>
#include <cstdint>

#include "display/result_codes.h"
#include "platform/graphics.h"
#include "platform/registry.h"

namespace nb {

// Fixed text fields hold at most 39 characters and are zero-padded; the same 40 bytes are
// what the registry stores.
inline constexpr size_t catalogTextSize = 40;

struct ModeEntry {
  DDSURFACEDESC2 surfaceDesc;    // the mode as the driver reported it
  char text[catalogTextSize];    // "640 x 480 x 16"
  ModeEntry* next;
};

struct DeviceEntry {
  GUID guid;
  GUID* guidRef;                 // always &guid
  char name[catalogTextSize];    // the enumerator's name argument, not its description
  D3DDEVICEDESC caps;            // hardware description if isHardware, else emulation
  int32_t isHardware;
  ModeEntry* currentMode;        // never null for a device in the catalogue
  ModeEntry* modes;
  DeviceEntry* next;
};

struct DriverEntry {
  GUID guid;                           // all zero for the primary display driver
  GUID* guidRef;                       // null for the primary display driver, else &guid
  char description[catalogTextSize];
  char name[catalogTextSize];
  DDCAPS hardwareCaps;
  DeviceEntry* currentDevice;
  DeviceEntry* devices;
  DriverEntry* next;
};

// Device acceptance test: a negative result keeps the device out of the catalogue.
using DeviceAcceptTest = int32_t (*)(const DDCAPS* driverCaps, const D3DDEVICEDESC* deviceCaps);

struct DeviceCatalog {
  DriverEntry* drivers = nullptr;
  // The chosen driver; its currentDevice is the chosen device, whose currentMode is the
  // chosen mode.
  DriverEntry* currentDriver = nullptr;
  DeviceAcceptTest acceptTest = nullptr;
  bool anyDeviceSeen = false;   // a device other than the null device was reported
  bool referenceSeen = false;   // the reference rasterizer passed the device filters
};

// The process-wide catalogue.
extern DeviceCatalog deviceCatalog;

// Registry key of the saved choice (values "A".."D", REG_SZ of 40 bytes each).
inline constexpr const char* savedChoiceKey = "Software\\Lumenfold Software\\Nightbloom";

// Builds the catalogue from every driver the graphics system reports and makes the initial
// choice (SelectDefaultDevice(true)). A null acceptTest accepts every device. Returns 0,
// NoDirectDrawModule when DirectDraw is not loaded, or a code of SelectDefaultDevice.
int32_t EnumerateDisplayDevices(GraphicsSystem& graphics, Registry& registry,
                                DeviceAcceptTest acceptTest);

// The saver's acceptance test: 0 when the device blends with a destination factor of ONE
// (what additive drawing needs), E_FAIL otherwise. Driver capabilities are not consulted.
int32_t SaverDeviceTest(const DDCAPS* driverCaps, const D3DDEVICEDESC* deviceCaps);

// Chooses a device. initial: the saved choice first, then the first software device.
// Not initial (the one fallback of the display start): the first hardware device, else
// the first software device; the registry is not read. The passes pass over skip (the
// device that just failed to start), so that the fallback never picks it again. 0,
// EnumFailed (no device was ever reported), NoCompatibleDevices, NoCompatibleDirect3D
// (the reference rasterizer was usable but nothing could be chosen).
int32_t SelectDefaultDevice(Registry& registry, bool initial, const DeviceEntry* skip = nullptr);

// Makes the saved choice current when its four texts match a driver, device and mode of
// the catalogue; false when the key or a value is missing, too long, or nothing matches.
bool LoadSavedDeviceChoice(Registry& registry);

// Writes the current choice as "A" (driver description), "B" (driver name), "C" (device
// name), "D" (mode text). Failures are silent; nothing is written without a choice.
void SaveDeviceChoice(Registry& registry);

// The chosen driver and device (either out may be null). 0, or EnumFailed when no driver
// is chosen.
int32_t GetCurrentDevice(DriverEntry** driver, DeviceEntry** device);

// Head of the driver list.
DriverEntry* GetDrivers();

// Frees every entry and empties the catalogue.
void ResetDeviceCatalog();

// Test seam for the out-of-memory paths: when non-negative, the number of catalogue
// entries that may still be allocated; each allocation decrements it, and at 0 every
// further allocation fails. Negative (the default) means no limit.
extern int32_t catalogAllocationBudget;

}  // namespace nb
