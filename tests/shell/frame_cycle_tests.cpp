// The frame cycle on the headless machine: start-up order and what it leaves running, the
// one fallback to the default device and its save, frames skipped while the display is
// not ours, surface loss, menu-loop pauses, cleanup; and the loop's tick schedule.
#include <gtest/gtest.h>

#include <cstring>

#include "display/device_catalog.h"
#include "display/display_framework.h"
#include "headless_platform.h"
#include "scene/camera.h"
#include "shell/saver_window.h"
#include "shell/shell.h"

namespace nb {
namespace {

const std::string key = "Software\\Lumenfold Software\\Nightbloom";

class FrameCycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell.platform = &headless.platform;
    shell.instance = test::headlessInstance;
    WNDCLASSA saverClass{};
    saverClass.lpfnWndProc = SaverWindowProc;
    saverClass.lpszClassName = saverClassName;
    headless.windows.RegisterClassA(saverClass);
    window = headless.windows.CreateWindowExA(0, saverClassName, "Nightbloom", WS_POPUP, 0, 0, 0, 0,
                                              NoWindow, shell.instance);
    shell.window = window;
    headless.windows.ShowWindow(window, SW_SHOWNORMAL);
  }

  int32_t Enumerate() {
    return EnumerateDisplayDevices(headless.graphics, headless.registry, SaverDeviceTest);
  }
  // Starts everything as the saver's start-up does, up to the loop.
  void Start() {
    ASSERT_EQ(Enumerate(), 0);
    ASSERT_EQ(AppInit(window), 0);
    shell.ready = true;
    shell.running = true;
    shell.baseTime = headless.system.now - 2 * TickLengthMs;
    shell.accumulated = 0;
  }
  size_t Count(const char* call) const { return headless.world.CountCalls(call); }

  test::HeadlessPlatform headless;
  Window window{};
};

TEST_F(FrameCycleTest, AppInitStartsEverythingAndSavesTheDevice) {
  headless.system.calendarTime = 1234567890;
  Start();
  // The show was seeded once with the calendar time: replaying its draws from that seed
  // reaches the generator's state.
  EXPECT_EQ(headless.world.CountCalls("GetCalendarTime"), 1u);
  ShowRandom replay;
  replay.Seed(1234567890);
  for (uint64_t i = 0; i < show.random.draws; ++i) replay.Next();
  EXPECT_EQ(replay.state, show.random.state);
  // The display start names the primary driver by the address of its all-zero GUID.
  const fake::Call* lastCreate = nullptr;
  for (const fake::Call& call : headless.world.Calls()) {
    if (call.name == "GraphicsSystem::DirectDrawCreate") lastCreate = &call;
  }
  ASSERT_NE(lastCreate, nullptr);
  EXPECT_EQ(lastCreate->args, std::vector<int64_t>{1});
  ASSERT_TRUE(shell.framework);
  EXPECT_NE(shell.framework->GetDevice(), nullptr);
  EXPECT_EQ(show.hooks.sound, &SoundPlayHook);
  EXPECT_TRUE(soundBank.soundReady);
  EXPECT_GT(show.skyStars.count, 0);  // the show was started
  // The first run chooses the software device at 640 x 480 x 16 and saves it.
  EXPECT_EQ(headless.registry.String(key, "C"), "RGB Emulation");
  EXPECT_EQ(headless.registry.String(key, "D"), "640 x 480 x 16");
  EXPECT_EQ(headless.registry.Value(key, "A")->bytes.size(), 40u);
  EXPECT_EQ(headless.system.messageBoxes.size(), 0u);
}

TEST_F(FrameCycleTest, SoundOffStartsNoSound) {
  settings.useSound = 0;
  Start();
  EXPECT_EQ(Count("DirectSoundCreate"), 0u);
  EXPECT_FALSE(soundBank.soundReady);
  EXPECT_TRUE(shell.framework);
}

TEST_F(FrameCycleTest, FailedDeviceFallsBackOnceToTheDefaultAndSavesIt) {
  headless.graphics.drivers[0].devices[0].creatable = false;  // the software device
  Start();
  EXPECT_EQ(headless.registry.String(key, "C"), "Direct3D HAL");
  EXPECT_EQ(headless.system.messageBoxes.size(), 0u);
  EXPECT_TRUE(shell.displayFallbackUsed);
}

TEST_F(FrameCycleTest, FailedDefaultDeviceFallsBackToAnotherOneNotToItself) {
  // The saved hardware device is also the fallback's default; it cannot start, while the
  // software device can.
  headless.registry.SetString(key, "A", "Primary Display Driver", 40);
  headless.registry.SetString(key, "B", "display", 40);
  headless.registry.SetString(key, "C", "Direct3D HAL", 40);
  headless.registry.SetString(key, "D", "640 x 480 x 16", 40);
  headless.graphics.drivers[0].devices[1].creatable = false;
  Start();
  EXPECT_EQ(Count("CreateDevice"), 2u) << "the hardware device once, then the software one";
  EXPECT_EQ(headless.registry.String(key, "C"), "RGB Emulation");
  EXPECT_EQ(headless.system.messageBoxes.size(), 0u);

  // With the failing device the only one, the generic error comes without a second try.
  AppCleanup();
  ResetDeviceCatalog();
  shell.displayFallbackUsed = false;
  headless.graphics.drivers[0].devices.erase(headless.graphics.drivers[0].devices.begin());
  headless.registry.SetString(key, "C", "Direct3D HAL", 40);
  ASSERT_EQ(Enumerate(), 0);
  headless.world.ClearCalls();
  EXPECT_EQ(AppInit(window), ResultCode::InitFailed);
  EXPECT_EQ(Count("CreateDevice"), 1u);
  AppCleanup();
  EXPECT_EQ(headless.world.LiveCount(), 0u);
}

TEST_F(FrameCycleTest, BothDevicesFailingGiveTheGenericErrorAndSaveNothing) {
  for (auto& device : headless.graphics.drivers[0].devices) device.creatable = false;
  ASSERT_EQ(Enumerate(), 0);
  EXPECT_EQ(AppInit(window), ResultCode::InitFailed);
  EXPECT_FALSE(headless.registry.Value(key, "C").has_value());
  // The once-flag is never reset: a later attempt does not fall back again.
  const size_t attemptsBefore = Count("DirectDrawCreate");
  EXPECT_EQ(InitDisplay(window), ResultCode::InitFailed);
  EXPECT_EQ(Count("DirectDrawCreate"), attemptsBefore + 1);
  AppCleanup();
  EXPECT_EQ(headless.world.LiveCount(), 0u);
}

TEST_F(FrameCycleTest, CleanupReleasesEverythingAndIsSafeTwice) {
  Start();
  AppCleanup();
  EXPECT_FALSE(shell.framework);
  EXPECT_FALSE(shell.active);
  EXPECT_FALSE(shell.ready);
  EXPECT_FALSE(soundBank.soundReady);
  EXPECT_EQ(headless.world.LiveCount(), 0u);
  EXPECT_EQ(headless.graphics.LastDirectDraw(), nullptr);
  AppCleanup();
  EXPECT_EQ(headless.world.LiveCount(), 0u);
}

TEST_F(FrameCycleTest, EveryTickSetsTheCameraViewBeforeTheShowMoves) {
  Start();
  fake::FakeDevice* device = headless.graphics.LastDevice();
  ASSERT_NE(device, nullptr);
  D3DMATRIX camera{};
  ASSERT_EQ(LookAtMatrix(camera, cameraEye, cameraTarget, cameraUp), 0);
  // Launches happen inside the show's tick: by then the tick must have set the view.
  struct Probe {
    fake::FakeDevice* device;
    D3DMATRIX camera;
    int launches = 0;
    int launchesBeforeTheView = 0;
  } probe{device, camera};
  show.hooks.context = &probe;
  show.hooks.launch = [](void* context, int32_t, const Shell&) {
    Probe& p = *static_cast<Probe*>(context);
    ++p.launches;
    bool viewSet = false;
    for (const fake::DeviceCommand& command : p.device->commands) {
      viewSet = viewSet || (command.kind == fake::DeviceCommand::Kind::SetTransform &&
                            command.a == D3DTRANSFORMSTATE_VIEW &&
                            std::memcmp(&command.matrix, &p.camera, sizeof p.camera) == 0);
    }
    if (!viewSet) ++p.launchesBeforeTheView;
  };
  for (int tick = 0; tick < 1000 && probe.launches < 5; ++tick) {
    device->ClearRecords();
    ASSERT_EQ(TickOnce(), 0);
  }
  EXPECT_GE(probe.launches, 5);
  EXPECT_EQ(probe.launchesBeforeTheView, 0);
}

TEST_F(FrameCycleTest, CleanupBeforeAnyStartIsHarmless) {
  AppCleanup();
  EXPECT_FALSE(shell.framework);
  EXPECT_EQ(headless.world.LiveCount(), 0u);
}

TEST_F(FrameCycleTest, FramesSkipWhileTheDisplayIsTakenAndResumeAfterSurfaceLoss) {
  Start();
  headless.system.Advance(17);
  SaverLoopPass();
  const size_t flipsBefore = Count("Flip");
  EXPECT_GE(flipsBefore, 1u);
  const uint32_t ticksBefore = shell.ticksRun;

  headless.graphics.TakeDisplayAway();
  for (int i = 0; i < 3; ++i) {
    headless.system.Advance(17);
    SaverLoopPass();
  }
  EXPECT_EQ(shell.ticksRun, ticksBefore + 3);  // the show goes on
  EXPECT_EQ(Count("Flip"), flipsBefore);       // nothing is drawn
  EXPECT_EQ(Count("BeginScene"), flipsBefore);

  headless.graphics.GiveDisplayBack();
  headless.world.ClearCalls();
  headless.system.Advance(17);
  SaverLoopPass();  // the flip finds the surfaces lost: they are restored
  EXPECT_EQ(Count("Flip"), 1u);
  EXPECT_GE(Count("DrawSurface::Restore"), 1u);
  headless.world.ClearCalls();
  headless.system.Advance(17);
  SaverLoopPass();  // and the next frame is drawn and shown normally
  EXPECT_EQ(Count("BeginScene"), 1u);
  EXPECT_EQ(Count("Flip"), 1u);
  EXPECT_EQ(Count("DrawSurface::Restore"), 0u);
  EXPECT_TRUE(shell.framework);
}

TEST_F(FrameCycleTest, MenuLoopsPauseTicksAndFramesUntilTheOutermostEnds) {
  Start();
  headless.windows.Post(WindowEvent{window, WM_ENTERMENULOOP, 0, 0});
  headless.windows.Post(WindowEvent{window, WM_ENTERMENULOOP, 0, 0});
  headless.system.Advance(100);
  SaverLoopPass();
  EXPECT_EQ(shell.ticksRun, 0u);
  EXPECT_EQ(shell.framesRun, 0u);
  EXPECT_EQ(Count("FlipToGDISurface"), 1u);  // once, for the outermost menu

  headless.windows.Post(WindowEvent{window, WM_EXITMENULOOP, 0, 0});
  headless.system.Advance(100);
  SaverLoopPass();
  EXPECT_EQ(shell.ticksRun, 0u);

  headless.windows.Post(WindowEvent{window, WM_EXITMENULOOP, 0, 0});
  headless.system.Advance(100);
  SaverLoopPass();
  EXPECT_EQ(shell.ticksRun, 2u);  // the backlog of the pause is dropped
  EXPECT_EQ(shell.framesRun, 1u);
}

TEST_F(FrameCycleTest, PaintPresentsWhenReadyAndShowsGdiOtherwise) {
  Start();
  headless.world.ClearCalls();
  headless.windows.Send(window, WM_PAINT);
  EXPECT_EQ(Count("Flip"), 1u);
  shell.ready = false;
  headless.windows.Send(window, WM_PAINT);
  EXPECT_EQ(Count("FlipToGDISurface"), 1u);
  EXPECT_EQ(Count("Flip"), 1u);
}

// ---- The tick schedule, with no display: only the loop's bookkeeping is looked at.
class TickScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell.platform = &headless.platform;
    shell.active = true;
    shell.ready = true;
  }
  void StartAt(uint32_t now) {
    headless.system.now = now;
    shell.baseTime = now - 2 * TickLengthMs;
    shell.accumulated = 0;
  }
  // Ticks run by one pass after advancing the clock.
  uint32_t PassAfter(uint32_t ms) {
    headless.system.Advance(ms);
    const uint32_t before = shell.ticksRun;
    SaverLoopPass();
    return shell.ticksRun - before;
  }

  test::HeadlessPlatform headless;
};

TEST_F(TickScheduleTest, FirstPassRunsTwoTicksThenOnePer17Ms) {
  StartAt(1000);
  EXPECT_EQ(PassAfter(0), 2u);
  EXPECT_EQ(PassAfter(16), 0u);
  EXPECT_EQ(PassAfter(1), 1u);
  EXPECT_EQ(PassAfter(17), 1u);
  EXPECT_EQ(PassAfter(34), 2u);
  EXPECT_EQ(shell.framesRun, 5u);  // one frame per pass, ticks or not
}

TEST_F(TickScheduleTest, LongStallRunsTwoTicksAndDropsTheRest) {
  StartAt(1000);
  PassAfter(0);
  EXPECT_EQ(PassAfter(10000), 2u);
  EXPECT_EQ(PassAfter(0), 0u);  // no catching up
  EXPECT_EQ(PassAfter(17), 1u);
  EXPECT_EQ(PassAfter(17 * 2 + 5), 2u);
  EXPECT_EQ(PassAfter(12), 0u);  // the 5 ms left over were dropped with the backlog
}

TEST_F(TickScheduleTest, AClockGoingBackRunsTwoTicksThenKeepsStep) {
  StartAt(5000000);
  PassAfter(0);
  EXPECT_EQ(PassAfter(17), 1u);
  EXPECT_EQ(PassAfter(static_cast<uint32_t>(-3600000)), 2u);  // an hour back
  EXPECT_EQ(PassAfter(0), 0u);
  EXPECT_EQ(PassAfter(17), 1u);
  EXPECT_EQ(PassAfter(3600000), 2u);  // and forward again
  EXPECT_EQ(PassAfter(16), 0u);
  EXPECT_EQ(PassAfter(1), 1u);
}

TEST_F(TickScheduleTest, FreshReadingAfterTheSecondTick) {
  StartAt(1000);
  headless.system.stepPerRead = 3;  // every reading of the clock costs 3 ms
  const uint32_t before = shell.ticksRun;
  SaverLoopPass();
  EXPECT_EQ(shell.ticksRun - before, 2u);
  EXPECT_EQ(shell.accumulated, shell.elapsed);
  EXPECT_EQ(shell.elapsed, 2 * TickLengthMs + 3);
}

TEST_F(TickScheduleTest, TheClockWrapsWithoutAHitch) {
  StartAt(0xFFFFFFF0u);
  EXPECT_EQ(PassAfter(0), 2u);
  uint32_t ticks = 0;
  for (int i = 0; i < 200; ++i) ticks += PassAfter(17);
  EXPECT_EQ(ticks, 200u);
  StartAt(10);  // baseTime itself lies before the wrap
  EXPECT_EQ(PassAfter(0), 2u);
  EXPECT_EQ(PassAfter(17), 1u);
}

TEST_F(TickScheduleTest, NothingRunsWhileInactiveOrNotReadyButMessagesFlow) {
  StartAt(1000);
  shell.active = false;
  headless.windows.Post(WindowEvent{NoWindow, WM_NULL, 7, 0});
  EXPECT_EQ(PassAfter(500), 0u);
  EXPECT_EQ(headless.windows.QueuedCount(), 0u);
  EXPECT_EQ(shell.lastMessageParam, 7u);
  shell.active = true;
  shell.ready = false;
  EXPECT_EQ(PassAfter(500), 0u);
  EXPECT_EQ(shell.framesRun, 0u);
  shell.ready = true;
  EXPECT_EQ(PassAfter(0), 2u);
  EXPECT_EQ(shell.framesRun, 1u);
}

}  // namespace
}  // namespace nb
