// A whole machine made of the fakes, on which the shell runs from a command line to its
// exit code: in-memory registry, a clock that the test advances as the loop polls,
// scripted window events, one display driver with software and hardware devices and the
// usual modes, the recording fake device, fake sound, scripted dialogs, and the project's
// own resources when this build embeds them.
// Depends on the fakes and on every layer's reset operation: the layers keep process-wide
// state, which must not outlive the fakes it points into. Test support only.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>

#include "display/device_catalog.h"
#include "platform/fake/fake_platform.h"
#include "platform/platform.h"
#include "scene/textures.h"
#include "shell/shell.h"
#include "show/show.h"
#include "sound/sound.h"

namespace nb::test {

inline constexpr Instance headlessInstance{0x400000};

struct HeadlessPlatform {
  HeadlessPlatform() {
    ResetProcessState();
    graphics.drivers.push_back(fake::StandardDriver());
    system.LoadProjectResources();
    system.now = 0x10000;
  }
  ~HeadlessPlatform() { ResetProcessState(); }
  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

  // Every layer's process-wide state back to its start, releasing what it holds in the
  // fakes of this machine.
  static void ResetProcessState() {
    ResetShellState();
    SoundShutdown();
    TextureDestroyAll();
    SimShutdown();
    show.hooks = ShowHooks{};
    ResetDeviceCatalog();
    settings = Settings{};
  }

  // A display of 160 x 120 only, at 16 and 32 bits: the fakes clear and flip real pixels,
  // and a saver run of a few thousand frames should take seconds, not minutes.
  void UseSmallDisplay() {
    graphics.drivers[0].modes = {fake::MakeMode(160, 120, 16), fake::MakeMode(160, 120, 32)};
  }

  // Long runs log millions of calls: this moves the log's counts of the given calls into
  // tally and empties the log and the device's records. Call it from a DriveClock step.
  void TallyAndClear(std::initializer_list<const char*> names) {
    for (const char* name : names) tally[name] += world.CountCalls(name);
    world.ClearCalls();
    for (fake::FakeDevice* device : graphics.Devices()) device->ClearRecords();
  }
  std::map<std::string, size_t> tally;

  // Each time the loop finds the queue empty, the clock moves on by msPerPoll and then
  // step (if set) may post events or change the machine; it gets the poll count.
  void DriveClock(uint32_t msPerPoll, std::function<void(uint32_t poll)> step = nullptr) {
    windows.onQueueEmpty = [this, msPerPoll, step](uint32_t poll) {
      system.Advance(msPerPoll);
      if (step) step(poll);
    };
  }

  fake::FakePlatform fake;
  fake::FakeWorld& world = fake.world;
  fake::FakeGdi& gdi = fake.gdi;
  fake::FakeWindowSystem& windows = fake.windows;
  fake::FakeSystem& system = fake.system;
  fake::FakeRegistry& registry = fake.registry;
  fake::FakeSoundSystem& sound = fake.sound;
  fake::FakeGraphicsSystem& graphics = fake.graphics;
  fake::FakeDialogSystem& dialogs = fake.dialogs;
  Platform platform = fake.platform();
};

}  // namespace nb::test
