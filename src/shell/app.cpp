// The application frame cycle: start-up of scene, show, sound and display with the one
// fallback to the default device, one tick, one frame, pause and cleanup.
#include <new>

#include "display/device_catalog.h"
#include "display/display_framework.h"
#include "display/result_codes.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "shell/shell.h"
#include "show/show.h"
#include "sound/sound.h"

namespace nb {

int32_t AppInit(Window window) {
  Platform& ports = *shell.platform;
  if (Failed(SceneInit(ports.system, ports.gdi))) return E_FAIL;

  const uint32_t seed =
      shell.switches.haveSeed ? shell.switches.seed : ports.system.GetCalendarTime();
  show.hooks = ShowHooks{};
  show.hooks.sound = SoundPlayHook;
  if (shell.trace) {
    shell.trace->Attach(SoundPlayHook);
    shell.trace->Header(seed, settings.particleLevel, settings.smokeLevel);
  }
  SimInit(seed);
  if (shell.trace) shell.trace->Started();

  // A saver without sound is still a saver: SoundInit's failure stays silent.
  if (settings.useSound != 0) SoundInit(ports.sound, ports.system, window);

  shell.framework.reset(new (std::nothrow) DisplayFramework(ports.graphics, ports.windows));
  if (!shell.framework) return E_OUTOFMEMORY;
  return InitDisplay(window);
}

int32_t InitDisplay(Window window) {
  Platform& ports = *shell.platform;
  DisplayFramework& framework = *shell.framework;
  DriverEntry* driver = nullptr;
  DeviceEntry* device = nullptr;
  if (Succeeded(GetCurrentDevice(&driver, &device)) && driver && device) {
    // The primary display driver is passed as the address of its all-zero GUID, never null.
    const int32_t initialized =
        framework.Initialize(window, &driver->guid, &device->guid, device->currentMode);
    if (Succeeded(initialized)) {
      if (Succeeded(SceneInitDevice(framework.GetDevice(), framework.GetViewport()))) {
        SaveDeviceChoice(ports.registry);
        return 0;
      }
      SceneReleaseDevice(framework.GetDevice(), framework.GetViewport());
      framework.ReleaseAll();
    }
    // A failed Initialize has released everything it built.
  }
  if (shell.displayFallbackUsed) return ResultCode::InitFailed;
  shell.displayFallbackUsed = true;
  // The default device may be the one that just failed; starting it again would only fail
  // again, while another device (a working software one) would be left untried.
  if (Failed(SelectDefaultDevice(ports.registry, false, device))) return ResultCode::InitFailed;
  return InitDisplay(window);
}

int32_t TickOnce() {
  if (!shell.framework) return E_FAIL;
  Device3D* device = shell.framework->GetDevice();
  if (!device) return E_FAIL;
  UpdateCamera(device);
  SimTick();
  if (shell.trace) shell.trace->Tick();
  return 0;
}

int32_t RenderOnce() {
  if (!shell.framework) return E_FAIL;
  DisplayFramework& framework = *shell.framework;
  DirectDraw* directDraw = framework.GetDirectDraw();
  if (!directDraw || Failed(directDraw->TestCooperativeLevel())) return 0;
  if (Failed(SceneRender(framework.GetDevice(), framework.GetViewport(),
                         framework.GetViewportRect()))) {
    return E_FAIL;
  }
  if (framework.PresentFrame() == DDERR_SURFACELOST) {
    framework.RestoreLostSurfaces();
    SceneRestoreSurfaces();
  }
  return 0;
}

void AppCleanup() {
  if (shell.framework) {
    SceneReleaseDevice(shell.framework->GetDevice(), shell.framework->GetViewport());
    shell.framework.reset();
  }
  SoundShutdown();
  shell.active = false;
  shell.ready = false;
}

void PauseApp(bool pause) {
  if (pause && shell.pauseDepth == 0 && shell.framework) shell.framework->ShowGdiSurface(true);
  shell.pauseDepth += pause ? 1 : -1;
  shell.ready = shell.pauseDepth == 0;
}

}  // namespace nb
