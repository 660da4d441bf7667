// The shared machinery of the fakes: failure injection by call name (first, nth, from
// the nth, every call; full or bare names), the call log, and the live-object table
// including objects leaked on purpose.
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using nb::fake::FailWhen;
using nb::fake::FakePlatform;

int32_t CreateSound(FakePlatform& fake) {
  nb::DirectSound* device = nullptr;
  const int32_t result = fake.sound.DirectSoundCreate(nullptr, &device);
  if (device) device->Release();
  return result;
}

TEST(FakeWorld, FailsTheChosenCallsOnly) {
  FakePlatform fake;
  fake.FailCall("DirectSoundCreate", nb::DSERR_NODRIVER, FailWhen::Nth(2));
  EXPECT_EQ(CreateSound(fake), nb::DS_OK);
  EXPECT_EQ(CreateSound(fake), nb::DSERR_NODRIVER);
  EXPECT_EQ(CreateSound(fake), nb::DS_OK);

  FakePlatform first;
  first.FailCall("SoundSystem::DirectSoundCreate", nb::E_FAIL);  // full name, first call
  EXPECT_EQ(CreateSound(first), nb::E_FAIL);
  EXPECT_EQ(CreateSound(first), nb::DS_OK);

  FakePlatform from;
  from.FailCall("DirectSoundCreate", nb::DSERR_ALLOCATED, FailWhen::FromNth(2));
  EXPECT_EQ(CreateSound(from), nb::DS_OK);
  EXPECT_EQ(CreateSound(from), nb::DSERR_ALLOCATED);
  EXPECT_EQ(CreateSound(from), nb::DSERR_ALLOCATED);

  FakePlatform every;
  every.FailCall("DirectSoundCreate", nb::E_OUTOFMEMORY, FailWhen::Every());
  every.FailCall("DirectSound::SetCooperativeLevel", nb::E_FAIL);  // another name: no effect here
  for (int i = 0; i < 3; ++i) EXPECT_EQ(CreateSound(every), nb::E_OUTOFMEMORY);
  every.world.ClearFailures();
  EXPECT_EQ(CreateSound(every), nb::DS_OK);
}

TEST(FakeWorld, CountsFromWhenTheRuleIsSet) {
  FakePlatform fake;
  EXPECT_EQ(CreateSound(fake), nb::DS_OK);
  fake.FailCall("DirectSoundCreate", nb::E_FAIL, FailWhen::Nth(1));
  EXPECT_EQ(CreateSound(fake), nb::E_FAIL);
}

TEST(FakeWorld, FailsNonCodeCallsWithTheirOwnFailureValue) {
  FakePlatform fake;
  fake.FailCall("CreateCompatibleDC", nb::E_FAIL);
  fake.FailCall("timeBeginPeriod", nb::E_FAIL);
  fake.FailCall("RegCreateKeyExA", nb::ERROR_ACCESS_DENIED);
  EXPECT_EQ(fake.gdi.CreateCompatibleDC(nb::NoDc), nb::NoDc);
  EXPECT_EQ(fake.system.timeBeginPeriod(1), nb::TIMERR_NOCANDO);
  nb::RegKey key{};
  EXPECT_EQ(fake.registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, "Software\\X", 0, nb::KEY_ALL_ACCESS, &key,
                                          nullptr),
            nb::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(fake.registry.KeyExists("Software\\X"));

  fake.FailCall("IsDirectDrawLoaded", nb::E_FAIL);
  EXPECT_FALSE(fake.graphics.IsDirectDrawLoaded());
  EXPECT_TRUE(fake.graphics.IsDirectDrawLoaded());
  fake.windows.Post({nb::NoWindow, nb::WM_NULL, 0, 0});
  fake.FailCall("PeekMessageA", nb::E_FAIL);
  nb::WindowEvent event{};
  EXPECT_FALSE(fake.windows.PeekMessageA(&event, nb::NoWindow, 0, 0, nb::PM_REMOVE));
  EXPECT_TRUE(fake.windows.PeekMessageA(&event, nb::NoWindow, 0, 0, nb::PM_REMOVE));
}

TEST(FakeWorld, SweepFailsTheNthCallOfAnyNameWithItsTypicalFailure) {
  FakePlatform fake;
  fake.system.timeBeginPeriod(1);
  const uint64_t before = fake.world.CheckedCalls();
  fake.FailNthCall(3);  // of: DirectSoundCreate, timeEndPeriod, DirectSoundCreate, ...
  EXPECT_EQ(CreateSound(fake), nb::DS_OK);
  EXPECT_EQ(fake.system.timeEndPeriod(1), nb::TIMERR_NOERROR);
  EXPECT_TRUE(fake.world.SweptCall().empty());
  EXPECT_EQ(CreateSound(fake), nb::DSERR_NODRIVER);
  EXPECT_EQ(fake.world.SweptCall(), "SoundSystem::DirectSoundCreate");
  EXPECT_EQ(CreateSound(fake), nb::DS_OK);  // once only
  EXPECT_EQ(fake.world.CheckedCalls(), before + 4);

  // The test's own moves are not the program's calls: not counted, never failed.
  fake.FailNthCall(1);
  fake.world.Unchecked([&] { EXPECT_EQ(CreateSound(fake), nb::DS_OK); });
  EXPECT_EQ(fake.world.CheckedCalls(), before + 4);
  EXPECT_EQ(CreateSound(fake), nb::DSERR_NODRIVER);

  // A named rule firing on the same call keeps its own result.
  FakePlatform both;
  both.FailCall("DirectSoundCreate", nb::DSERR_ALLOCATED);
  both.FailNthCall(1);
  EXPECT_EQ(CreateSound(both), nb::DSERR_ALLOCATED);
  EXPECT_TRUE(both.world.SweptCall().empty());

  // Calls that fail without a code fail in their own way.
  FakePlatform gdi;
  gdi.FailNthCall(1);
  EXPECT_EQ(gdi.gdi.CreateCompatibleDC(nb::NoDc), nb::NoDc);
  EXPECT_EQ(nb::fake::TypicalFailure("Registry::RegOpenKeyExA"), nb::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(nb::fake::TypicalFailure("DrawSurface::Flip"), nb::DDERR_SURFACELOST);
  EXPECT_EQ(nb::fake::TypicalFailure("Gdi::GetDC"), nb::E_FAIL);
}

TEST(FakeWorld, LogsCallsInOrderAcrossPorts) {
  FakePlatform fake;
  fake.system.timeBeginPeriod(1);
  CreateSound(fake);
  fake.system.timeEndPeriod(1);
  EXPECT_EQ(fake.world.CallNames({"timeBeginPeriod", "DirectSoundCreate", "timeEndPeriod"}),
            (std::vector<std::string>{"timeBeginPeriod", "DirectSoundCreate", "timeEndPeriod"}));
  ASSERT_EQ(fake.world.CountCalls("timeBeginPeriod"), 1u);
  EXPECT_EQ(fake.world.CallsNamed("System::timeBeginPeriod")[0].args, (std::vector<int64_t>{1}));
}

TEST(FakeWorld, TracksLiveObjectsAndCleansUpLeaks) {
  FakePlatform fake;
  nb::DirectSound* device = nullptr;
  ASSERT_EQ(fake.sound.DirectSoundCreate(nullptr, &device), nb::DS_OK);
  EXPECT_EQ(fake.world.LiveCount("DirectSound"), 1u);
  EXPECT_EQ(device->AddRef(), 2u);
  EXPECT_EQ(fake.world.RefCount(device), 2u);
  EXPECT_EQ(device->Release(), 1u);
  EXPECT_TRUE(fake.world.IsAlive(device));
  EXPECT_EQ(device->Release(), 0u);
  EXPECT_FALSE(fake.world.IsAlive(device));
  EXPECT_EQ(fake.world.LiveCount(), 0u);

  // Leaked on purpose: the platform's teardown frees it (the sanitizer build checks).
  nb::DirectSound* leaked = nullptr;
  ASSERT_EQ(fake.sound.DirectSoundCreate(nullptr, &leaked), nb::DS_OK);
  EXPECT_EQ(fake.world.LiveCount(), 1u);
}

}  // namespace

namespace {

// Ports declared before their world, and objects still alive at the end: the ports take
// the objects with them, so nothing is touched after it is gone (the sanitizer build
// checks).
TEST(FakeWorld, PortsDeclaredInAnyOrderCleanUp) {
  struct Reversed {
    nb::fake::FakeWorld world;
    nb::fake::FakeSoundSystem sound{world};
  };
  auto owner = std::make_unique<Reversed>();
  nb::DirectSound* device = nullptr;
  ASSERT_EQ(owner->sound.DirectSoundCreate(nullptr, &device), nb::DS_OK);
  ASSERT_EQ(device->SetCooperativeLevel(nb::Window{1}, nb::DSSCL_EXCLUSIVE), nb::DS_OK);
  const nb::WAVEFORMATEX format{nb::WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  const nb::DSBUFFERDESC desc{sizeof(nb::DSBUFFERDESC), 0, 64, 0, &format};
  nb::SoundBuffer* buffer = nullptr;
  ASSERT_EQ(device->CreateSoundBuffer(desc, &buffer), nb::DS_OK);
  EXPECT_EQ(owner->world.LiveCount(), 2u);
  owner.reset();
}

}  // namespace
