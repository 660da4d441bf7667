// Every fake port in one place, wired together and sharing one world (call log, failure
// rules, live objects): the usual way for a test to stand up a platform.
//
//   nb::fake::FakePlatform fake;                      // empty machine, defaults
//   fake.graphics.drivers = {nb::fake::StandardDriver()};
//   fake.FailCall("CreateSurface", nb::DDERR_OUTOFVIDEOMEMORY, nb::fake::FailWhen::Nth(2));
//   RunSomething(fake.platform());
//   EXPECT_EQ(fake.world.LiveCount(), 0u);
//
// Depends on every fake header. Test support only.
#pragma once

#include "platform/fake/fake_dialog.h"
#include "platform/fake/fake_failures.h"
#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_graphics.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_sound.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/fake_window.h"
#include "platform/fake/fake_world.h"
#include "platform/platform.h"

namespace nb::fake {

class FakePlatform {
 public:
  FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;
  // Destroys the fake objects still alive before the ports they report to.
  ~FakePlatform();

  FakeWorld world;
  FakeGdi gdi{world};
  FakeWindowSystem windows{world};
  FakeSystem system{world, gdi};
  FakeRegistry registry{world};
  FakeSoundSystem sound{world};
  FakeGraphicsSystem graphics{world, gdi};
  FakeDialogSystem dialogs{world, windows};

  Platform platform() { return Platform{graphics, sound, registry, system, windows, gdi, dialogs}; }

  void FailCall(std::string name, int32_t result, FailWhen when = FailWhen::First()) {
    world.FailCall(std::move(name), result, when);
  }
  // Fails the n-th port call from now, whatever it is, with its typical failure.
  void FailNthCall(uint64_t n) { world.FailNthCall(n, &TypicalFailure); }
};

}  // namespace nb::fake
