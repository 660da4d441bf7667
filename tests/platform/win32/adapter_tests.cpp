// The Win32 adapter on the real platform (run under Wine on a virtual desktop): reference
// counts that are the real ones through a whole start and release of the display, no
// wrapper left afterwards, one wrapper per real object, the primary driver with its null
// GUID, the registry's 40-byte strings, trampolines that reach the program's procedures
// (also before WM_NCCREATE, in nested dialogs and after their adapter is gone) and that
// stack walks pass through, the texture interface however it is asked for, sound buffers,
// and the show's bits after a real CreateDevice equal to the native build's trace.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "display/device_catalog.h"
#include "display/device_dialog.h"
#include "display/display_framework.h"
#include "platform/platform.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_thunk.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "scene/textures.h"
#include "shell/preview.h"
#include "shell/shell.h"
#include "show/show.h"
#include "sound/wave.h"
#include "trace/trace_printer.h"

// clang-format off
#include <windows.h>
#include <ddraw.h>
// clang-format on

#include <gtest/gtest.h>

namespace nb {
namespace {

using win32::Win32Platform;

Instance Self() { return Instance{reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))}; }

// The platform's own count of a real interface: one reference up and down again.
uint32_t RealCount(void* real) {
  auto* unknown = static_cast<IUnknown*>(real);
  unknown->AddRef();
  return unknown->Release();
}

// The count the wrapper reports, the same way.
uint32_t WrapperCount(Unknown* object) {
  object->AddRef();
  return object->Release();
}

struct Machine {
  Win32Platform win;
  Platform ports = win.Ports();
};

Machine* current = nullptr;

intptr_t PlainProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return current->ports.windows.DefWindowProcA(window, message, wParam, lParam);
}

class Win32Adapter : public ::testing::Test {
 protected:
  void SetUp() override {
    current = &machine;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.hInstance = Self();
    windowClass.lpszClassName = "Nightbloom adapter test";
    machine.ports.windows.RegisterClassA(windowClass);
    window = machine.ports.windows.CreateWindowExA(0, "Nightbloom adapter test", "test", WS_POPUP,
                                                   0, 0, 0, 0, NoWindow, Self());
    ASSERT_FALSE(IsNone(window));
    machine.ports.windows.ShowWindow(window, SW_SHOWNORMAL);
  }
  void TearDown() override {
    machine.ports.windows.DestroyWindow(window);
    ResetDeviceCatalog();
    current = nullptr;
  }

  // The primary driver's RGB emulation device in 640 x 480 x 16, as the saver starts it
  // by default.
  ModeEntry DefaultMode() {
    ModeEntry mode{};
    mode.surfaceDesc.dwSize = sizeof(DDSURFACEDESC2);
    mode.surfaceDesc.dwWidth = 640;
    mode.surfaceDesc.dwHeight = 480;
    mode.surfaceDesc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    mode.surfaceDesc.ddpfPixelFormat.dwRGBBitCount = 16;
    return mode;
  }

  Machine machine;
  Window window{};
};

TEST_F(Win32Adapter, PrimaryDriverComesFirstWithItsNullGuid) {
  ASSERT_TRUE(machine.ports.graphics.IsDirectDrawLoaded());
  struct Seen {
    std::vector<bool> nullGuid;
    std::vector<std::string> descriptions;
  } seen;
  const int32_t result = machine.ports.graphics.DirectDrawEnumerateExA(
      [](const GUID* guid, const char* description, const char*, void* context) -> int32_t {
        auto* s = static_cast<Seen*>(context);
        s->nullGuid.push_back(guid == nullptr);
        s->descriptions.push_back(description ? description : "");
        return DDENUMRET_OK;
      },
      &seen, DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES);
  EXPECT_EQ(result, DD_OK);
  ASSERT_FALSE(seen.nullGuid.empty());
  EXPECT_TRUE(seen.nullGuid[0]);
  EXPECT_FALSE(seen.descriptions[0].empty());

  // The catalogue built over it makes the primary driver the current one, with its
  // all-zero GUID kept in the entry.
  ASSERT_EQ(EnumerateDisplayDevices(machine.ports.graphics, machine.ports.registry, SaverDeviceTest), 0);
  DriverEntry* driver = nullptr;
  DeviceEntry* device = nullptr;
  ASSERT_EQ(GetCurrentDevice(&driver, &device), 0);
  EXPECT_EQ(driver->guidRef, nullptr);
  EXPECT_TRUE(driver->guid == GUID_NULL);
  ASSERT_NE(device->currentMode, nullptr);
  EXPECT_EQ(machine.win.graphics.LiveWrappers(), 0u);
}

TEST_F(Win32Adapter, CountsAreTheRealOnesThroughAWholeStartAndRelease) {
  SceneInit(machine.ports.system, machine.ports.gdi);
  const ModeEntry mode = DefaultMode();
  {
    DisplayFramework framework(machine.ports.graphics, machine.ports.windows);
    ASSERT_EQ(framework.Initialize(window, &GUID_NULL, &IID_IDirect3DRGBDevice, &mode), 0);
    ASSERT_EQ(SceneInitDevice(framework.GetDevice(), framework.GetViewport()), 0);
    ASSERT_NE(TextureGet("401"), nullptr);

    Unknown* objects[] = {framework.GetDevice(), framework.GetViewport(), framework.GetDirectDraw(),
                          TextureGet("401"), TextureGet("406")};
    for (Unknown* object : objects) {
      void* real = machine.win.graphics.RealInterface(object);
      ASSERT_NE(real, nullptr);
      EXPECT_EQ(WrapperCount(object), RealCount(real));
    }
    // AddRef and Release move the real count one for one.
    Device3D* device = framework.GetDevice();
    const uint32_t before = RealCount(machine.win.graphics.RealInterface(device));
    EXPECT_EQ(device->AddRef(), before + 1);
    EXPECT_EQ(RealCount(machine.win.graphics.RealInterface(device)), before + 1);
    EXPECT_EQ(device->Release(), before);

    // One wrapper per real object, however it is reached again.
    Ref<DrawSurface> target;
    ASSERT_EQ(device->GetRenderTarget(target.Put()), DD_OK);
    Ref<DirectDraw> owner;
    ASSERT_EQ(target->GetDDInterface(owner.Put()), DD_OK);
    EXPECT_EQ(owner.Get(), framework.GetDirectDraw());
    Ref<DirectDraw> again;
    ASSERT_EQ(QueryInterface(*framework.GetDirectDraw(), IID_IDirectDraw4, again), S_OK);
    EXPECT_EQ(again.Get(), framework.GetDirectDraw());
    Texture3D* texture = TextureGet("404");
    Ref<Texture3D> sameTexture;
    ASSERT_EQ(QueryInterface(*texture->GetSurface(), IID_IDirect3DTexture2, sameTexture), S_OK);
    EXPECT_EQ(sameTexture.Get(), texture);
    sameTexture.Reset();
    again.Reset();
    owner.Reset();
    target.Reset();

    // While the program holds a reference of its own, the release reports it, as the
    // platform sees it; the back buffer that went with its chain leaves no wrapper. (The
    // extra reference is on the DirectDraw object: a device must not outlive it.)
    DirectDraw* directDraw = framework.GetDirectDraw();
    directDraw->AddRef();
    void* realDirectDraw = machine.win.graphics.RealInterface(directDraw);
    SceneReleaseDevice(framework.GetDevice(), framework.GetViewport());
    EXPECT_EQ(framework.ReleaseAll(), ResultCode::NonzeroRefCount);
    EXPECT_EQ(machine.win.graphics.LiveWrappers(), 1u);
    EXPECT_EQ(machine.win.graphics.RealInterface(directDraw), realDirectDraw);
    EXPECT_EQ(directDraw->Release(), 0u);
    EXPECT_EQ(machine.win.graphics.LiveWrappers(), 0u);

    // A clean second start and release: nothing outlives it.
    ASSERT_EQ(framework.Initialize(window, &GUID_NULL, &IID_IDirect3DRGBDevice, &mode), 0);
    ASSERT_EQ(SceneInitDevice(framework.GetDevice(), framework.GetViewport()), 0);
    SceneRender(framework.GetDevice(), framework.GetViewport(), framework.GetViewportRect());
    EXPECT_EQ(framework.PresentFrame(), DD_OK);
    SceneReleaseDevice(framework.GetDevice(), framework.GetViewport());
    EXPECT_EQ(framework.ReleaseAll(), 0);
    EXPECT_EQ(machine.win.graphics.LiveWrappers(), 0u);
  }
  TextureDestroyAll();
}

// The texture interface asked through any other interface of a surface is that
// surface's own texture, with its real count.
TEST_F(Win32Adapter, TextureInterfaceThroughAnyWrapperIsTheSurfacesOwn) {
  const ModeEntry mode = DefaultMode();
  DisplayFramework framework(machine.ports.graphics, machine.ports.windows);
  ASSERT_EQ(framework.Initialize(window, &GUID_NULL, &IID_IDirect3DRGBDevice, &mode), 0);
  const size_t frameworkWrappers = machine.win.graphics.LiveWrappers();
  {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 8;
    desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    Ref<DrawSurface> surface;
    ASSERT_EQ(framework.GetDirectDraw()->CreateSurface(&desc, surface.Put()), DD_OK);
    auto* realSurface = static_cast<IUnknown*>(machine.win.graphics.RealInterface(surface.Get()));
    ASSERT_NE(realSurface, nullptr);
    void* realTexture = nullptr;
    ASSERT_EQ(realSurface->QueryInterface(win32::ToWin(IID_IDirect3DTexture2), &realTexture), S_OK);
    static_cast<IUnknown*>(realTexture)->Release();

    Ref<Unknown> unknown;
    ASSERT_EQ(QueryInterface(*surface, IID_IUnknown, unknown), S_OK);
    Ref<Texture3D> texture;
    ASSERT_EQ(QueryInterface(*unknown, IID_IDirect3DTexture2, texture), S_OK);
    // No wrapper of its own: it is a face of the surface's (before anything is called on
    // it, which on anything but a texture lands in the wrong method).
    ASSERT_EQ(machine.win.graphics.LiveWrappers(), frameworkWrappers + 2);
    EXPECT_EQ(machine.win.graphics.RealInterface(texture.Get()), realTexture);
    ASSERT_EQ(framework.GetDevice()->SetTexture(0, texture.Get()), DD_OK);
    EXPECT_EQ(framework.GetDevice()->SetTexture(0, nullptr), DD_OK);
    EXPECT_EQ(texture->GetSurface(), surface.Get());
    EXPECT_EQ(WrapperCount(texture.Get()), RealCount(realTexture));
    Ref<Texture3D> again;
    ASSERT_EQ(QueryInterface(*surface, IID_IDirect3DTexture2, again), S_OK);
    EXPECT_EQ(again.Get(), texture.Get());
  }
  EXPECT_EQ(machine.win.graphics.LiveWrappers(), frameworkWrappers);
  EXPECT_EQ(framework.ReleaseAll(), 0);
  EXPECT_EQ(machine.win.graphics.LiveWrappers(), 0u);
}

// ---- The wrapper table, with stand-ins for real objects

struct StandIn final : IUnknown {
  ULONG references = 3;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

// A wrapper left over from an object the platform freed, and the wrapper of a new object
// at the same address: whichever goes first, the other one still answers and is counted.
TEST(Win32WrapperTable, TwoWrappersOfOneAddressEachKeepTheirOwnEntry) {
  for (bool olderGoesFirst : {true, false}) {
    SCOPED_TRACE(olderGoesFirst ? "older first" : "newer first");
    StandIn object;
    win32::WrapperTable table;
    auto* older = new win32::UnknownWrapper(table, &object, nullptr);
    older->HandedOut();
    auto* newer = new win32::UnknownWrapper(table, &object, nullptr);
    newer->HandedOut();
    EXPECT_EQ(table.Find(&object), newer);
    EXPECT_EQ(table.LiveCount(), 2u);
    win32::UnknownWrapper* gone = olderGoesFirst ? older : newer;
    win32::UnknownWrapper* stays = olderGoesFirst ? newer : older;
    gone->Release();
    EXPECT_EQ(table.Find(&object), stays);
    EXPECT_EQ(table.LiveCount(), 1u);
    stays->Release();
    EXPECT_EQ(table.Find(&object), nullptr);
    EXPECT_EQ(table.LiveCount(), 0u);
  }
}

TEST_F(Win32Adapter, SavedChoiceIsFortyByteStringsInTheRealRegistry) {
  HKEY key = nullptr;
  RegDeleteKeyA(HKEY_CURRENT_USER, savedChoiceKey);
  ASSERT_EQ(EnumerateDisplayDevices(machine.ports.graphics, machine.ports.registry, SaverDeviceTest), 0);
  DriverEntry* driver = nullptr;
  DeviceEntry* device = nullptr;
  ASSERT_EQ(GetCurrentDevice(&driver, &device), 0);
  SaveDeviceChoice(machine.ports.registry);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, savedChoiceKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  const char* const names[] = {"A", "B", "C", "D"};
  const char* const texts[] = {driver->description, driver->name, device->name, device->currentMode->text};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(names[i]);
    DWORD type = 0;
    BYTE data[64] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, names[i], nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(std::memcmp(data, texts[i], 40), 0);
  }
  RegCloseKey(key);

  // Read back by a fresh catalogue: the same choice, found by its texts.
  ResetDeviceCatalog();
  ASSERT_EQ(EnumerateDisplayDevices(machine.ports.graphics, machine.ports.registry, SaverDeviceTest), 0);
  EXPECT_TRUE(LoadSavedDeviceChoice(machine.ports.registry));

  // A value one byte longer than the field is not a saved choice.
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, savedChoiceKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
  const char longer[41] = "a description forty-one bytes long.....";
  ASSERT_EQ(RegSetValueExA(key, "A", 0, REG_SZ, reinterpret_cast<const BYTE*>(longer), 41), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_FALSE(LoadSavedDeviceChoice(machine.ports.registry));
  RegDeleteKeyA(HKEY_CURRENT_USER, savedChoiceKey);
}

// ---- Trampolines

struct Recorded {
  std::vector<uint32_t> messages;
  std::vector<std::string> dialogs;
};
Recorded* recorded = nullptr;

intptr_t RecordingProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  recorded->messages.push_back(message);
  return current->ports.windows.DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Win32Adapter, MessagesSentDuringCreationReachTheProcedure) {
  Recorded seen;
  recorded = &seen;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = RecordingProc;
  windowClass.hInstance = Self();
  windowClass.iconResource = 101;
  windowClass.lpszClassName = "Nightbloom recording";
  ASSERT_NE(machine.ports.windows.RegisterClassA(windowClass), 0);
  // Declared again: refused, and the first procedure stays in force. An overlapped window
  // is asked for its size limits before WM_NCCREATE.
  EXPECT_EQ(machine.ports.windows.RegisterClassA(windowClass), 0);
  const Window made = machine.ports.windows.CreateWindowExA(0, "Nightbloom recording", "rec", WS_OVERLAPPEDWINDOW,
                                                            0, 0, 50, 50, NoWindow, Self());
  ASSERT_FALSE(IsNone(made));
  ASSERT_GE(seen.messages.size(), 3u);
  EXPECT_EQ(seen.messages[0], static_cast<uint32_t>(WM_GETMINMAXINFO));
  EXPECT_EQ(seen.messages[1], static_cast<uint32_t>(WM_NCCREATE));
  EXPECT_NE(std::find(seen.messages.begin(), seen.messages.end(), static_cast<uint32_t>(WM_CREATE)),
            seen.messages.end());

  // Posted messages come back through the pump and reach the same procedure.
  seen.messages.clear();
  PostMessageA(reinterpret_cast<HWND>(static_cast<uintptr_t>(made)), WM_USER + 7, 3, 4);
  WindowEvent event{};
  bool found = false;
  while (machine.ports.windows.PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE)) {
    if (event.message == WM_USER + 7) {
      found = true;
      EXPECT_EQ(event.hwnd, made);
      EXPECT_EQ(event.wParam, 3u);
      EXPECT_EQ(event.lParam, 4);
    }
    machine.ports.windows.DispatchMessageA(event);
  }
  EXPECT_TRUE(found);
  EXPECT_NE(std::find(seen.messages.begin(), seen.messages.end(), static_cast<uint32_t>(WM_USER + 7)),
            seen.messages.end());
  machine.ports.windows.DestroyWindow(made);
  recorded = nullptr;
}

std::vector<uint8_t> DeviceTemplate() {
  std::vector<uint8_t> bytes(deviceDialogTemplateSize, 0);
  const int32_t used = BuildDeviceDialogTemplate(bytes.data(), bytes.size());
  bytes.resize(used > 0 ? static_cast<size_t>(used) : 0);
  return bytes;
}

intptr_t InnerDialog(Window dialog, uint32_t message, uintptr_t, intptr_t lParam) {
  if (message != WM_INITDIALOG) return 0;
  recorded->dialogs.push_back("inner init " + std::to_string(lParam));
  current->ports.dialogs.EndDialog(dialog, 7);
  return 1;
}

intptr_t OuterDialog(Window dialog, uint32_t message, uintptr_t, intptr_t lParam) {
  if (message != WM_INITDIALOG) return 0;
  recorded->dialogs.push_back("outer init " + std::to_string(lParam));
  const std::vector<uint8_t> bytes = DeviceTemplate();
  const intptr_t inner = current->ports.dialogs.DialogBoxIndirectParamA(
      Self(), bytes.data(), static_cast<uint32_t>(bytes.size()), dialog, InnerDialog, 22);
  recorded->dialogs.push_back("inner ended " + std::to_string(inner));
  // The outer dialog's trampoline still reaches this procedure after the inner one ended.
  current->ports.dialogs.SendDlgItemMessageA(dialog, driverComboId, CB_ADDSTRING, 0,
                                             reinterpret_cast<intptr_t>("one"));
  recorded->dialogs.push_back(
      "outer items " + std::to_string(current->ports.dialogs.SendDlgItemMessageA(dialog, driverComboId,
                                                                               CB_GETCOUNT, 0, 0)));
  current->ports.dialogs.EndDialog(dialog, 5);
  return 1;
}

TEST_F(Win32Adapter, DialogsNestEachWithItsOwnProcedure) {
  Recorded seen;
  recorded = &seen;
  const std::vector<uint8_t> bytes = DeviceTemplate();
  ASSERT_FALSE(bytes.empty());
  const intptr_t outer = machine.ports.dialogs.DialogBoxIndirectParamA(
      Self(), bytes.data(), static_cast<uint32_t>(bytes.size()), window, OuterDialog, 11);
  EXPECT_EQ(outer, 5);
  const std::vector<std::string> expected = {"outer init 11", "inner init 22", "inner ended 7", "outer items 1"};
  EXPECT_EQ(seen.dialogs, expected);

  // A template that ends inside its last item is refused before the platform reads it.
  EXPECT_EQ(machine.ports.dialogs.DialogBoxIndirectParamA(Self(), bytes.data(),
                                                          static_cast<uint32_t>(bytes.size() - 6), window,
                                                          OuterDialog, 11),
            -1);
  EXPECT_EQ(seen.dialogs.size(), expected.size());
  recorded = nullptr;
}

// A window whose class outlives the adapter that declared it (the shell's early exits
// leave the saver window alive) still reaches its procedure, whatever reuses the memory
// the adapter had. Run in a child process: without its class entry the message jumps
// through freed memory.
bool orphanReached = false;

intptr_t OrphanProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_USER + 9) orphanReached = true;
  return DefWindowProcA(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)), message, wParam, lParam);
}

void MessageAfterTheAdapterWent() {
  HWND orphan = nullptr;
  {
    win32::Win32Windows windows;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = OrphanProc;
    windowClass.hInstance = Self();
    windowClass.lpszClassName = "Nightbloom orphan";
    if (windows.RegisterClassA(windowClass) == 0) std::_Exit(3);
    orphan = reinterpret_cast<HWND>(static_cast<uintptr_t>(
        windows.CreateWindowExA(0, "Nightbloom orphan", "orphan", WS_POPUP, 0, 0, 10, 10, NoWindow, Self())));
    if (!orphan) std::_Exit(4);
  }
  for (size_t bytes = 8; bytes <= 256; bytes += 4) {
    for (int i = 0; i < 8; ++i) {
      if (void* block = std::malloc(bytes)) std::memset(block, 0x01, bytes);
    }
  }
  SendMessageA(orphan, WM_USER + 9, 0, 0);
  std::_Exit(orphanReached ? 0 : 5);
}

TEST(Win32Windows, WindowsOutliveTheAdapterThatDeclaredTheirClass) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(MessageAfterTheAdapterWent(), ::testing::ExitedWithCode(0), "");
}

#if defined(__x86_64__)
// Walks the stack from inside a trampoline's target, the way the system's own walkers
// do, and notes whether it came back out into the trampoline's caller.
struct Walk {
  DWORD64 caller = 0;  // start of the function that called the trampoline
  bool reached = false;
};

LRESULT CALLBACK WalkOut(void* context, HWND, UINT, WPARAM, LPARAM) {
  auto* walk = static_cast<Walk*>(context);
  CONTEXT frame{};
  RtlCaptureContext(&frame);
  // The callers' frames lie in the committed stack above this one.
  MEMORY_BASIC_INFORMATION stack{};
  if (!VirtualQuery(&frame, &stack, sizeof stack)) return 0;
  const auto low = reinterpret_cast<DWORD64>(stack.BaseAddress);
  const DWORD64 high = low + stack.RegionSize;
  for (int level = 0; level < 32 && frame.Rip != 0; ++level) {
    DWORD64 base = 0;
    RUNTIME_FUNCTION* function = RtlLookupFunctionEntry(frame.Rip, &base, nullptr);
    if (function && base + function->BeginAddress == walk->caller) {
      walk->reached = true;
      break;
    }
    if (function) {
      void* handlerData = nullptr;
      DWORD64 establisher = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, frame.Rip, function, &frame, &handlerData, &establisher,
                       nullptr);
    } else {
      // A function without unwind data is taken for a leaf: its return address is on top.
      if (frame.Rsp < low || frame.Rsp + 8 > high) break;
      frame.Rip = *reinterpret_cast<const DWORD64*>(frame.Rsp);
      frame.Rsp += 8;
    }
  }
  return 1;
}

__attribute__((noinline)) LRESULT CallThrough(::WNDPROC procedure) {
  const LRESULT result = procedure(nullptr, WM_USER, 0, 0);
  return result + 1;
}

TEST(Win32Trampoline, StackWalksPassThroughIt) {
  Walk walk;
  walk.caller = reinterpret_cast<DWORD64>(&CallThrough);
  std::unique_ptr<win32::ContextThunk> thunk(win32::ContextThunk::Create(&walk, &WalkOut));
  ASSERT_TRUE(thunk);
  const auto code = reinterpret_cast<DWORD64>(thunk->AsWindowProc());
  DWORD64 base = 0;
  EXPECT_NE(RtlLookupFunctionEntry(code + 4, &base, nullptr), nullptr);
  EXPECT_EQ(CallThrough(thunk->AsWindowProc()), 2);
  EXPECT_TRUE(walk.reached);
  thunk.reset();
  EXPECT_EQ(RtlLookupFunctionEntry(code + 4, &base, nullptr), nullptr);
}
#endif

// ---- Sound, system

TEST_F(Win32Adapter, SoundBuffersAreRealAndLeaveNothingBehind) {
  Ref<DirectSound> sound;
  const int32_t created = machine.ports.sound.DirectSoundCreate(nullptr, sound.Put());
  if (Failed(created)) GTEST_SKIP() << "no sound device here: 0x" << std::hex << created;
  ASSERT_EQ(sound->SetCooperativeLevel(window, DSSCL_EXCLUSIVE), DS_OK);

  const ResourceData resource = machine.ports.system.FindResourceData("WAV", 202);
  ASSERT_NE(resource.data, nullptr);
  WaveView wave{};
  ASSERT_EQ(ParseWave(resource.data, resource.size, &wave), 0);
  WaveFormatCopy format;
  ASSERT_EQ(format.Assign(wave), S_OK);
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                 DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = wave.dataSize;
  desc.lpwfxFormat = format.Get();
  Ref<SoundBuffer> voice;
  ASSERT_EQ(sound->CreateSoundBuffer(desc, voice.Put()), DS_OK);
  void* part1 = nullptr;
  void* part2 = nullptr;
  uint32_t bytes1 = 0;
  uint32_t bytes2 = 0;
  ASSERT_EQ(voice->Lock(0, wave.dataSize, &part1, &bytes1, &part2, &bytes2, 0), DS_OK);
  EXPECT_EQ(bytes1 + bytes2, wave.dataSize);
  std::memcpy(part1, wave.data, bytes1);
  EXPECT_EQ(voice->Unlock(part1, bytes1, part2, bytes2), DS_OK);

  Ref<SoundBuffer> copy;
  ASSERT_EQ(sound->DuplicateSoundBuffer(voice.Get(), copy.Put()), DS_OK);
  EXPECT_NE(copy.Get(), voice.Get());
  ASSERT_EQ(copy->Play(0, 0, 0), DS_OK);
  uint32_t status = 0;
  EXPECT_EQ(copy->GetStatus(&status), DS_OK);
  EXPECT_NE(status & DSBSTATUS_PLAYING, 0u);
  EXPECT_EQ(copy->Stop(), DS_OK);
  EXPECT_EQ(copy->SetCurrentPosition(0), DS_OK);
  EXPECT_EQ(machine.win.sound.LiveWrappers(), 3u);
  copy.Reset();
  voice.Reset();
  EXPECT_EQ(sound.Reset(), 0u);
  EXPECT_EQ(machine.win.sound.LiveWrappers(), 0u);
}

TEST_F(Win32Adapter, SystemServicesOfTheRealPlatform) {
  System& system = machine.ports.system;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(system.GetVersionExA(&version));
  EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);

  const ResourceData wave = system.FindResourceData("WAV", 205);
  ASSERT_NE(wave.data, nullptr);
  EXPECT_EQ(std::memcmp(wave.data, "RIFF", 4), 0);
  EXPECT_EQ(system.FindResourceData("WAV", 299).data, nullptr);

  const Bitmap picture = system.LoadBitmapA(400);
  ASSERT_FALSE(IsNone(picture));
  BITMAP info{};
  EXPECT_GT(machine.ports.gdi.GetObjectA(picture, &info), 0);
  EXPECT_EQ(info.bmWidth, 152);
  EXPECT_EQ(info.bmHeight, 118);
  EXPECT_TRUE(machine.ports.gdi.DeleteObject(picture));

  // The Windows 95/98 check has no provider on an NT-type system.
  int32_t accepted = 5;
  EXPECT_EQ(system.VerifyScreenSavePwd(window, &accepted), ProviderCall::NoLibrary);
  EXPECT_EQ(accepted, 5);

  // With 1 ms resolution the clock is seen to move by single milliseconds (at the default
  // 15.6 ms resolution it never is). The thread may be preempted between readings, so
  // larger steps are allowed; it watches for at most 2 s.
  EXPECT_EQ(system.timeBeginPeriod(1), TIMERR_NOERROR);
  int singleSteps = 0;
  const uint32_t start = system.timeGetTime();
  for (uint32_t last = start, now = start; singleSteps < 10 && now - start < 2000;) {
    now = system.timeGetTime();
    if (now - last == 1) ++singleSteps;
    last = now;
  }
  EXPECT_EQ(singleSteps, 10) << "the clock did not move by single milliseconds";
  EXPECT_EQ(system.timeEndPeriod(1), TIMERR_NOERROR);
}

// ---- The program file

// nightbloom.scr carries the saver's resources and a manifest that makes it DPI-aware per
// monitor, so that a scaling desktop does not stretch its full-screen mode.
TEST(Win32Program, ScreensaverCarriesItsResourcesAndManifest) {
  const char* path = std::getenv("NIGHTBLOOM_SCR");
  ASSERT_TRUE(path && *path) << "NIGHTBLOOM_SCR names the built nightbloom.scr";
  HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr) << path;
  HRSRC manifest = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(manifest, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(program, manifest)));
  const std::string xml(text, SizeofResource(program, manifest));
  EXPECT_NE(xml.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>"),
            std::string::npos);
  EXPECT_NE(xml.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
  EXPECT_NE(FindResourceA(program, MAKEINTRESOURCEA(151), MAKEINTRESOURCEA(5)), nullptr);  // dialog
  EXPECT_NE(FindResourceA(program, MAKEINTRESOURCEA(400), MAKEINTRESOURCEA(2)), nullptr);  // bitmap
  EXPECT_NE(FindResourceA(program, MAKEINTRESOURCEA(205), "WAV"), nullptr);
  FreeLibrary(program);
}

// ---- The preview's pixels, in one process (Wine shows no drawing of one process in
// another's window, so the end-to-end test cannot look at them)

struct PreviewCapture {
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top-down
  int width = 0;
  int height = 0;
};
PreviewCapture* capture = nullptr;

std::vector<uint32_t> ReadPixels(HDC source, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                               static_cast<const uint32_t*>(bits) + width * height);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(dib);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

LRESULT CALLBACK PreviewParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    KillTimer(window, 1);
    HWND child = FindWindowExA(window, nullptr, "Class1", nullptr);
    if (child && capture) {
      ::RECT client{};
      GetClientRect(child, &client);
      capture->width = client.right;
      capture->height = client.bottom;
      HDC dc = GetDC(child);
      capture->pixels = ReadPixels(dc, client.right, client.bottom);
      ReleaseDC(child, dc);
    }
    // The display panel closing: the child goes with its parent, and the preview ends.
    DestroyWindow(window);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Win32Adapter, PreviewStretchesThePictureOverTheWholeParent) {
  ::WNDCLASSA parentClass{};
  parentClass.lpfnWndProc = PreviewParentProc;
  parentClass.hInstance = GetModuleHandleA(nullptr);
  parentClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  parentClass.lpszClassName = "Nightbloom preview parent";
  ::RegisterClassA(&parentClass);
  // 2.5 times the picture's width and twice its height: the aspect is not kept.
  const int width = 380;
  const int height = 236;
  HWND parent = CreateWindowExA(0, "Nightbloom preview parent", "panel", WS_POPUP | WS_VISIBLE, 40, 40,
                                width, height, nullptr, nullptr, parentClass.hInstance, nullptr);
  ASSERT_NE(parent, nullptr);
  PreviewCapture seen;
  capture = &seen;
  SetTimer(parent, 1, 700, nullptr);
  Preview(machine.ports, Window{reinterpret_cast<uintptr_t>(parent)}, Self());
  capture = nullptr;
  EXPECT_FALSE(IsWindow(parent));
  UnregisterClassA("Nightbloom preview parent", parentClass.hInstance);
  ResetShellState();

  ASSERT_EQ(seen.width, width);
  ASSERT_EQ(seen.height, height);
  // The picture itself, read from the resource, scaled by nearest pixel.
  HBITMAP picture = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(400), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(picture, nullptr);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, picture);
  const std::vector<uint32_t> source = ReadPixels(memory, 152, 118);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(picture);

  // Tolerance: 12 levels per channel, and up to 3% of pixels further off, for the
  // stretch's choice of the neighbouring source pixel at some edges.
  int offPixels = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t want = source[(y * 118 / height) * 152 + (x * 152 / width)];
      const uint32_t got = seen.pixels[y * width + x];
      for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((want >> shift) & 0xFF);
        const int b = static_cast<int>((got >> shift) & 0xFF);
        if (std::abs(a - b) > 12) {
          ++offPixels;
          break;
        }
      }
    }
  }
  EXPECT_LE(offPixels, width * height * 3 / 100) << offPixels << " pixels differ from picture 400 stretched";
}

// ---- The show's bits on the real device

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

uint16_t X87ControlWord() {
  uint16_t word = 0;
#if defined(__i386__) || defined(__x86_64__)
  __asm__ __volatile__("fnstcw %0" : "=m"(word));
#endif
  return word;
}

// The reference is the native build's `nightbloom-trace --seed 987654321 --ticks 600
// --particles 2 --smoke 2 --full-every 100`, written by the test that runs before this one.
TEST_F(Win32Adapter, ShowBitsAfterARealCreateDeviceEqualTheNativeTrace) {
  const char* reference = std::getenv("NIGHTBLOOM_REFERENCE_TRACE");
  if (!reference || !*reference) GTEST_SKIP() << "no native reference trace given";
  const std::string expected = ReadFile(reference);
  ASSERT_FALSE(expected.empty()) << reference;

  SceneInit(machine.ports.system, machine.ports.gdi);
  const ModeEntry mode = DefaultMode();
  DisplayFramework framework(machine.ports.graphics, machine.ports.windows);
  const uint16_t before = X87ControlWord();
  ASSERT_EQ(framework.Initialize(window, &GUID_NULL, &IID_IDirect3DRGBDevice, &mode), 0);
  ASSERT_EQ(SceneInitDevice(framework.GetDevice(), framework.GetViewport()), 0);
  RecordProperty("x87_before", before);
  RecordProperty("x87_after_create_device", X87ControlWord());

  char path[MAX_PATH];
  char directory[MAX_PATH];
  GetTempPathA(sizeof directory, directory);
  GetTempFileNameA(directory, "nbt", 0, path);
  std::FILE* out = std::fopen(path, "wb");
  ASSERT_NE(out, nullptr);
  {
    TracePrinter printer(out);
    show.hooks = ShowHooks{};
    show.hooks.context = &printer;
    show.hooks.sound = TracePrinter::SoundHook;
    show.hooks.launch = TracePrinter::LaunchHook;
    settings.particleLevel = 2;
    settings.smokeLevel = 2;
    printer.PrintHeader(987654321u, 2, 2);
    SimInit(987654321u);
    printer.PrintInit();
    printer.PrintFullDump();
    for (int64_t tick = 1; tick <= 600; ++tick) {
      UpdateCamera(framework.GetDevice());
      SimTick();
      printer.PrintTick(tick);
      if (tick % 100 == 0) printer.PrintFullDump();
      // Frames drawn in between, as the saver does: the device runs with the show.
      if (tick % 2 == 0) {
        SceneRender(framework.GetDevice(), framework.GetViewport(), framework.GetViewportRect());
        framework.PresentFrame();
      }
    }
    show.hooks = ShowHooks{};
    SimShutdown();
  }
  std::fclose(out);
  const std::string actual = ReadFile(path);
  DeleteFileA(path);
  SceneReleaseDevice(framework.GetDevice(), framework.GetViewport());
  EXPECT_EQ(framework.ReleaseAll(), 0);
  TextureDestroyAll();

  ASSERT_EQ(actual.size(), expected.size());
  EXPECT_TRUE(actual == expected) << "the show's bits differ from the native trace";
}

}  // namespace
}  // namespace nb
