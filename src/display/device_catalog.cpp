// Enumeration of drivers, devices and modes into the catalogue, the default and saved
// choices, and the registry form of the choice.
// Depends on device_catalog.h and the graphics and registry ports. Entries are allocated
// without exceptions: running out of memory ends the enumeration with what was built.
#include "display/device_catalog.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace nb {

DeviceCatalog deviceCatalog;
int32_t catalogAllocationBudget = -1;

namespace {

template <class T>
T* AllocateEntry() {
  if (catalogAllocationBudget == 0) return nullptr;
  if (catalogAllocationBudget > 0) --catalogAllocationBudget;
  return new (std::nothrow) T{};
}

// Copies at most 39 characters; the rest of the field stays zero (fields come zeroed).
void CopyText(char (&field)[catalogTextSize], const char* text) {
  if (!text) return;
  size_t length = 0;
  while (length < catalogTextSize - 1 && text[length] != '\0') ++length;
  std::memcpy(field, text, length);
  field[length] = '\0';
}

template <class T>
void AppendTail(T*& head, T* entry) {
  T** link = &head;
  while (*link) link = &(*link)->next;
  *link = entry;
}

void FreeModes(ModeEntry* mode) {
  while (mode) {
    ModeEntry* next = mode->next;
    delete mode;
    mode = next;
  }
}

void FreeDevices(DeviceEntry* device) {
  while (device) {
    DeviceEntry* next = device->next;
    FreeModes(device->modes);
    delete device;
    device = next;
  }
}

struct DriverContext {
  GraphicsSystem* graphics;
};

// What the device callback needs besides the driver entry: the driver's DirectDraw4, on
// which the modes are enumerated.
struct DeviceContext {
  DriverEntry* driver;
  DirectDraw* directDraw;
};

int32_t ModeCallback(const DDSURFACEDESC2* mode, void* context) {
  auto* device = static_cast<DeviceEntry*>(context);
  if (!mode || !device) return DDENUMRET_CANCEL;

  const uint32_t depth = mode->ddpfPixelFormat.dwRGBBitCount;
  const uint32_t renderDepths = device->caps.dwDeviceRenderBitDepth;
  if (depth == 8) return DDENUMRET_OK;
  if (depth == 32 && !(renderDepths & DDBD_32)) return DDENUMRET_OK;
  if (depth == 24 && !(renderDepths & DDBD_24)) return DDENUMRET_OK;
  if (depth == 16 && !(renderDepths & DDBD_16)) return DDENUMRET_OK;

  ModeEntry* entry = AllocateEntry<ModeEntry>();
  if (!entry) return DDENUMRET_CANCEL;
  entry->surfaceDesc = *mode;
  // The platform prints its 32-bit DWORDs with %ld, so a value above 2^31 shows negative;
  // going through int32_t keeps that text the same where long is 64 bits, and bounds every
  // text to 39 characters.
  std::snprintf(entry->text, sizeof entry->text, "%ld x %ld x %ld",
                static_cast<long>(static_cast<int32_t>(mode->dwWidth)),
                static_cast<long>(static_cast<int32_t>(mode->dwHeight)),
                static_cast<long>(static_cast<int32_t>(depth)));
  AppendTail(device->modes, entry);

  if (mode->dwWidth == 640 && mode->dwHeight == 480 && depth == 16) {
    device->currentMode = entry;
  } else if (!device->currentMode) {
    device->currentMode = entry;
  }
  return DDENUMRET_OK;
}

int32_t DeviceCallback(const GUID* guid, const char* /*description*/, const char* name,
                       const D3DDEVICEDESC* hardware, const D3DDEVICEDESC* emulation,
                       void* context) {
  auto* enumeration = static_cast<DeviceContext*>(context);
  if (!guid || !hardware || !emulation || !enumeration || !enumeration->driver) {
    return D3DENUMRET_CANCEL;
  }
  DriverEntry* driver = enumeration->driver;

  if (*guid == IID_IDirect3DNullDevice) return D3DENUMRET_OK;
  deviceCatalog.anyDeviceSeen = true;

  const bool isHardware = hardware->dwFlags != 0;
  const D3DDEVICEDESC* description = isHardware ? hardware : emulation;
  // Secondary displays are only worth it with their own hardware.
  if (!isHardware && driver->guidRef) return D3DENUMRET_OK;
  if (deviceCatalog.acceptTest && deviceCatalog.acceptTest(&driver->hardwareCaps, description) < 0) {
    return D3DENUMRET_OK;
  }

  DeviceEntry* device = AllocateEntry<DeviceEntry>();
  if (!device) return D3DENUMRET_CANCEL;
  device->guid = *guid;
  device->guidRef = &device->guid;
  CopyText(device->name, name);
  device->caps = *description;
  device->isHardware = isHardware ? 1 : 0;

  if (enumeration->directDraw) {
    enumeration->directDraw->EnumDisplayModes(0, nullptr, device, ModeCallback);
  }

  if (device->modes) {
    AppendTail(driver->devices, device);
    if (isHardware) {
      driver->currentDevice = device;
    } else if (!driver->currentDevice && (emulation->dcmColorModel & D3DCOLOR_RGB)) {
      driver->currentDevice = device;
    }
  } else {
    delete device;
  }

  if (*guid == IID_IDirect3DRefDevice) deviceCatalog.referenceSeen = true;
  return D3DENUMRET_OK;
}

int32_t DriverCallback(const GUID* guid, const char* description, const char* name,
                       void* context) {
  auto* enumeration = static_cast<DriverContext*>(context);
  if (!enumeration || !enumeration->graphics) return DDENUMRET_CANCEL;

  Ref<Unknown> first;
  if (Failed(enumeration->graphics->DirectDrawCreate(guid, first.Put())) || !first) {
    return DDENUMRET_OK;
  }
  Ref<DirectDraw> directDraw;
  const int32_t queried = QueryInterface(*first, IID_IDirectDraw4, directDraw);
  first.Reset();
  if (Failed(queried) || !directDraw) return DDENUMRET_OK;

  Ref<Direct3D> direct3D;
  if (Failed(QueryInterface(*directDraw, IID_IDirect3D3, direct3D)) || !direct3D) {
    return DDENUMRET_OK;
  }

  DriverEntry* driver = AllocateEntry<DriverEntry>();
  if (!driver) return DDENUMRET_CANCEL;
  if (guid) {
    driver->guid = *guid;
    driver->guidRef = &driver->guid;
  }
  CopyText(driver->description, description);
  CopyText(driver->name, name);

  driver->hardwareCaps.dwSize = sizeof(DDCAPS);
  DDCAPS emulationCaps{};
  emulationCaps.dwSize = sizeof(DDCAPS);
  directDraw->GetCaps(&driver->hardwareCaps, &emulationCaps);

  DeviceContext devices{driver, directDraw.Get()};
  direct3D->EnumDevices(DeviceCallback, &devices);

  if (driver->devices) {
    AppendTail(deviceCatalog.drivers, driver);
    if (!driver->guidRef) deviceCatalog.currentDriver = driver;
  } else {
    delete driver;
  }
  return DDENUMRET_OK;
}

void ChooseDevice(DriverEntry* driver, DeviceEntry* device) {
  deviceCatalog.currentDriver = driver;
  driver->currentDevice = device;
}

bool ChooseFirst(bool hardware, const DeviceEntry* skip) {
  for (DriverEntry* driver = deviceCatalog.drivers; driver; driver = driver->next) {
    for (DeviceEntry* device = driver->devices; device; device = device->next) {
      if ((device->isHardware != 0) == hardware && device != skip) {
        ChooseDevice(driver, device);
        return true;
      }
    }
  }
  return false;
}

bool TextEquals(const char* stored, const char (&field)[catalogTextSize]) {
  return std::strncmp(stored, field, catalogTextSize) == 0;
}

}  // namespace

int32_t EnumerateDisplayDevices(GraphicsSystem& graphics, Registry& registry,
                                DeviceAcceptTest acceptTest) {
  deviceCatalog.acceptTest = acceptTest;
  deviceCatalog.referenceSeen = false;
  if (!graphics.IsDirectDrawLoaded()) return ResultCode::NoDirectDrawModule;

  DriverContext context{&graphics};
  graphics.DirectDrawEnumerateExA(
      DriverCallback, &context,
      DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES);
  return SelectDefaultDevice(registry, true);
}

int32_t SaverDeviceTest(const DDCAPS* /*driverCaps*/, const D3DDEVICEDESC* deviceCaps) {
  if (deviceCaps && (deviceCaps->dpcTriCaps.dwDestBlendCaps & D3DPBLENDCAPS_ONE)) return S_OK;
  return E_FAIL;
}

int32_t SelectDefaultDevice(Registry& registry, bool initial, const DeviceEntry* skip) {
  if (initial && LoadSavedDeviceChoice(registry)) return S_OK;
  // Hardware is preferred only by the fallback after a failed start; the first choice of a
  // run without a usable saved choice is always a software device.
  if (!initial && ChooseFirst(true, skip)) return S_OK;
  if (ChooseFirst(false, skip)) return S_OK;
  if (!deviceCatalog.anyDeviceSeen) return ResultCode::EnumFailed;
  if (!deviceCatalog.referenceSeen) return ResultCode::NoCompatibleDevices;
  return ResultCode::NoCompatibleDirect3D;
}

bool LoadSavedDeviceChoice(Registry& registry) {
  RegKey key{};
  if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, savedChoiceKey, 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  // One byte more than the registry may fill, so that a stored text of 40 non-zero bytes is
  // still terminated when compared.
  char saved[4][catalogTextSize + 1] = {};
  const char* names[4] = {"A", "B", "C", "D"};
  for (int i = 0; i < 4; ++i) {
    uint32_t size = catalogTextSize;
    if (registry.RegQueryValueExA(key, names[i], nullptr, reinterpret_cast<uint8_t*>(saved[i]),
                                  &size) != ERROR_SUCCESS) {
      registry.RegCloseKey(key);
      return false;
    }
    saved[i][catalogTextSize] = '\0';
  }
  registry.RegCloseKey(key);

  for (DriverEntry* driver = deviceCatalog.drivers; driver; driver = driver->next) {
    if (!TextEquals(saved[0], driver->description) || !TextEquals(saved[1], driver->name)) {
      continue;
    }
    for (DeviceEntry* device = driver->devices; device; device = device->next) {
      if (!TextEquals(saved[2], device->name)) continue;
      bool matched = false;
      for (ModeEntry* mode = device->modes; mode; mode = mode->next) {
        if (TextEquals(saved[3], mode->text)) {
          device->currentMode = mode;
          matched = true;
        }
      }
      if (matched) {
        ChooseDevice(driver, device);
        return true;
      }
    }
  }
  return false;
}

void SaveDeviceChoice(Registry& registry) {
  DriverEntry* driver = nullptr;
  DeviceEntry* device = nullptr;
  if (Failed(GetCurrentDevice(&driver, &device)) || !device || !device->currentMode) return;

  RegKey key{};
  uint32_t disposition = 0;
  if (registry.RegCreateKeyExA(HKEY_CURRENT_USER, savedChoiceKey, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, &key, &disposition) != ERROR_SUCCESS) {
    return;
  }
  const char* values[4][2] = {{"A", driver->description},
                              {"B", driver->name},
                              {"C", device->name},
                              {"D", device->currentMode->text}};
  for (const auto& value : values) {
    registry.RegSetValueExA(key, value[0], REG_SZ, reinterpret_cast<const uint8_t*>(value[1]),
                            catalogTextSize);
  }
  registry.RegCloseKey(key);
}

int32_t GetCurrentDevice(DriverEntry** driver, DeviceEntry** device) {
  DriverEntry* current = deviceCatalog.currentDriver;
  if (!current) return ResultCode::EnumFailed;
  if (driver) *driver = current;
  if (device) *device = current->currentDevice;
  return S_OK;
}

DriverEntry* GetDrivers() { return deviceCatalog.drivers; }

void ResetDeviceCatalog() {
  DriverEntry* driver = deviceCatalog.drivers;
  while (driver) {
    DriverEntry* next = driver->next;
    FreeDevices(driver->devices);
    delete driver;
    driver = next;
  }
  deviceCatalog = DeviceCatalog{};
}

}  // namespace nb
