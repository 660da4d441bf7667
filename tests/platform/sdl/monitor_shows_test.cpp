// The extra shows of --monitors each: how each is started (arguments, seed, environment),
// real processes started, reaped and ended, and the stored choice read from the registry.
#include "platform/sdl/monitor_shows.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>

#include "platform/fake/fake_platform.h"

namespace {

constexpr const char* kKey = "Software\\Lumenfold Software\\Nightbloom";

TEST(MonitorShows, EachDisplayGetsItsOwnSeedAndItsModeOnTheCommandLine) {
  std::set<uint32_t> seeds{7};
  for (int32_t display = 0; display < 8; ++display) {
    EXPECT_TRUE(seeds.insert(nb::ExtraShowSeed(7, display)).second) << display;
    EXPECT_EQ(nb::ExtraShowSeed(7, display), nb::ExtraShowSeed(7, display));
  }
  const nb::ExtraShowPlan plan{"/usr/bin/nightbloom", {"--smoke", "low", "--fps"}, 7};
  EXPECT_EQ(nb::ExtraShowArguments(plan, 2, {1024, 768, 32}, true),
            (std::vector<std::string>{"/usr/bin/nightbloom", "--extra-show",
                                      "2:1024x768x32:hardware", "--smoke", "low", "--fps"}));
}

TEST(MonitorShows, TheEnvironmentCarriesTheSeedAndNoTrace) {
  const std::vector<std::string> environment = nb::ExtraShowEnvironment(
      {"HOME=/home/a", "NIGHTBLOOM_SEED=5", "NIGHTBLOOM_TRACE=/tmp/t", "NIGHTBLOOM_TRACES=x"}, 99);
  EXPECT_EQ(environment, (std::vector<std::string>{"HOME=/home/a", "NIGHTBLOOM_TRACES=x",
                                                   "NIGHTBLOOM_SEED=99"}));
}

// A program of the test's own in place of the real one: it records its arguments, then
// ends with the given code or, for "wait", runs until it is told to end.
class MonitorShowsProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nb-monitor-shows.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  std::string Program(const std::string& ending) {
    const std::string path = dir_ + "/show-" + ending;
    std::ofstream(path) << "#!/bin/sh\necho \"$NIGHTBLOOM_SEED $*\" >\"" << dir_
                        << "/args.$2\"\n"
                        << (ending == "wait" ? "trap 'exit 0' TERM\nwhile :; do sleep 0.05; done\n"
                                             : "exit " + ending + "\n");
    chmod(path.c_str(), 0755);
    return path;
  }
  std::string Recorded(const std::string& show) {
    std::ifstream in(dir_ + "/args." + show);
    std::string line;
    std::getline(in, line);
    return line;
  }
  // Reaps until something ended, up to five seconds.
  static std::vector<nb::MonitorShows::Ended> ReapSome(nb::MonitorShows& shows) {
    for (int i = 0; i < 500; ++i) {
      std::vector<nb::MonitorShows::Ended> ended = shows.Reap();
      if (!ended.empty()) return ended;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }

  std::string dir_;
};

TEST_F(MonitorShowsProcessTest, AShowThatEndsCleanlyIsToldApartFromOneThatFails) {
  nb::MonitorShows clean(nb::ExtraShowPlan{Program("0"), {"--no-sound"}, 40});
  ASSERT_TRUE(clean.Start(1, {640, 480, 16}, false));
  std::vector<nb::MonitorShows::Ended> ended = ReapSome(clean);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].display, 1);
  EXPECT_TRUE(ended[0].cleanly);
  EXPECT_EQ(clean.running(), 0u);
  EXPECT_EQ(Recorded("1:640x480x16:software"),
            std::to_string(nb::ExtraShowSeed(40, 1)) + " --extra-show 1:640x480x16:software --no-sound");

  nb::MonitorShows failing(nb::ExtraShowPlan{Program("3"), {}, 40});
  ASSERT_TRUE(failing.Start(2, {800, 600, 32}, true));
  ended = ReapSome(failing);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].display, 2);
  EXPECT_FALSE(ended[0].cleanly);

  nb::MonitorShows missing(nb::ExtraShowPlan{dir_ + "/no-such-program", {}, 40});
  ASSERT_TRUE(missing.Start(1, {640, 480, 16}, false));
  ended = ReapSome(missing);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_FALSE(ended[0].cleanly);
}

TEST_F(MonitorShowsProcessTest, StopEndsEveryShowAndLeavesNothing) {
  nb::MonitorShows shows(nb::ExtraShowPlan{Program("wait"), {}, 1});
  ASSERT_TRUE(shows.Start(1, {640, 480, 16}, false));
  ASSERT_TRUE(shows.Start(2, {640, 480, 16}, false));
  EXPECT_EQ(shows.running(), 2u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(shows.Reap().empty());
  const auto begun = std::chrono::steady_clock::now();
  shows.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(4));
  EXPECT_EQ(shows.running(), 0u);
  EXPECT_TRUE(shows.Reap().empty());
}

TEST(MonitorShows, TheStoredChoiceIsOneUnlessItSaysEach) {
  nb::fake::FakePlatform fake;
  std::FILE* errors = std::tmpfile();
  ASSERT_NE(errors, nullptr);
  EXPECT_FALSE(nb::StoredMonitorsEach(fake.registry, kKey, errors));  // no key
  fake.registry.SetDword(kKey, "E", 1);
  EXPECT_FALSE(nb::StoredMonitorsEach(fake.registry, kKey, errors));  // no value
  fake.registry.SetDword(kKey, "Monitors", 1);
  EXPECT_TRUE(nb::StoredMonitorsEach(fake.registry, kKey, errors));
  fake.registry.SetDword(kKey, "Monitors", 0);
  EXPECT_FALSE(nb::StoredMonitorsEach(fake.registry, kKey, errors));
  EXPECT_EQ(std::ftell(errors), 0);
  fake.registry.SetDword(kKey, "Monitors", 2);
  EXPECT_FALSE(nb::StoredMonitorsEach(fake.registry, kKey, errors));
  fake.registry.SetString(kKey, "Monitors", "each", 40);
  EXPECT_FALSE(nb::StoredMonitorsEach(fake.registry, kKey, errors));
  std::rewind(errors);
  char line[200];
  int lines = 0;
  while (std::fgets(line, sizeof(line), errors)) {
    ++lines;
    EXPECT_NE(std::string(line).find("Monitors"), std::string::npos) << line;
  }
  EXPECT_EQ(lines, 2);
  std::fclose(errors);
  EXPECT_EQ(fake.registry.OpenKeyCount(), 0u);
}

}  // namespace
