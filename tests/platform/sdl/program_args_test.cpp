// The Linux program's command line: the screensaver machinery's forms reach the shell as
// it reads them (hexadecimal window numbers made decimal), the Linux forms choose how the
// show is presented, overrides are read, and anything else is refused with a reason.
#include "platform/sdl/program_args.h"

#include <gtest/gtest.h>

namespace {

using nb::ParseProgramArgs;
using nb::Presentation;
using nb::ProgramAction;

nb::ProgramArgs Parse(std::vector<std::string> args) { return ParseProgramArgs(args); }

TEST(ProgramArgs, NoArgumentsShowTheSaverInAWindow) {
  const nb::ProgramArgs args = Parse({});
  EXPECT_EQ(args.action, ProgramAction::Run);
  EXPECT_EQ(args.commandLine, "/s");
  EXPECT_EQ(args.presentation, Presentation::Window);
  // Overrides alone keep the window.
  const nb::ProgramArgs quiet = Parse({"--no-sound", "--particles", "low"});
  EXPECT_EQ(quiet.presentation, Presentation::Window);
  EXPECT_EQ(quiet.useSound, 0u);
  EXPECT_EQ(quiet.particleLevel, 0u);
  EXPECT_FALSE(quiet.smokeLevel.has_value());
}

TEST(ProgramArgs, WindowsFormsGoToTheShellAsTheyAre) {
  for (const char* form : {"/s", "/S", "/c", "/c:5678", "-s", "-c", "/a", "/x", "/save", "/"}) {
    const nb::ProgramArgs args = Parse({form});
    EXPECT_EQ(args.action, ProgramAction::Run) << form;
    EXPECT_EQ(args.commandLine, form);
    EXPECT_EQ(args.presentation, Presentation::FullScreen) << form;
  }
  EXPECT_EQ(Parse({"/p", "1234"}).commandLine, "/p 1234");
  EXPECT_EQ(Parse({"-l", "1234"}).commandLine, "-l 1234");
  EXPECT_EQ(Parse({"/p:1234"}).commandLine, "/p:1234");
  EXPECT_EQ(Parse({"/a", "99"}).commandLine, "/a 99");
  // What the shell itself decides about: a bare /p and /p abc run the saver there.
  EXPECT_EQ(Parse({"/p"}).commandLine, "/p");
  EXPECT_EQ(Parse({"/p", "abc"}).commandLine, "/p abc");
}

TEST(ProgramArgs, HexadecimalWindowNumbersBecomeDecimalForTheShell) {
  EXPECT_EQ(Parse({"/p", "0x1a00003"}).commandLine, "/p 27262979");
  EXPECT_EQ(Parse({"/p:0X1A"}).commandLine, "/p:26");
  EXPECT_EQ(Parse({"-p", "0x10"}).commandLine, "-p 16");
  // Not a number of either kind: left for the shell, which reads it its own way.
  EXPECT_EQ(Parse({"/p", "0x"}).commandLine, "/p 0x");
  EXPECT_EQ(Parse({"/p", "0x1g"}).commandLine, "/p 0x1g");
}

TEST(ProgramArgs, LinuxFormsChooseTheRun) {
  EXPECT_EQ(Parse({"--fullscreen"}).commandLine, "/s");
  EXPECT_EQ(Parse({"--fullscreen"}).presentation, Presentation::FullScreen);
  EXPECT_EQ(Parse({"--settings"}).commandLine, "/c");

  const nb::ProgramArgs embedded = Parse({"--window-id", "0x2a00005"});
  EXPECT_EQ(embedded.commandLine, "/s");
  EXPECT_EQ(embedded.presentation, Presentation::Embedded);
  EXPECT_EQ(embedded.embedWindow, 0x2a00005u);
  EXPECT_FALSE(embedded.embedInRoot);
  EXPECT_EQ(Parse({"-window-id", "44040197"}).embedWindow, 44040197u);
  EXPECT_EQ(Parse({"--window-id=12"}).embedWindow, 12u);

  const nb::ProgramArgs root = Parse({"-root"});
  EXPECT_EQ(root.presentation, Presentation::Embedded);
  EXPECT_TRUE(root.embedInRoot);
  EXPECT_EQ(Parse({"--root"}).commandLine, "/s");
}

TEST(ProgramArgs, OverridesForThisRun) {
  const nb::ProgramArgs args =
      Parse({"--fullscreen", "--particles=High", "--smoke", "medium", "--sound"});
  EXPECT_EQ(args.presentation, Presentation::FullScreen);
  EXPECT_EQ(args.particleLevel, 2u);
  EXPECT_EQ(args.smokeLevel, 1u);
  EXPECT_EQ(args.useSound, 1u);
  // The last one counts, as with most programs.
  EXPECT_EQ(Parse({"--sound", "--no-sound"}).useSound, 0u);
  EXPECT_EQ(Parse({"/s", "--smoke", "low"}).smokeLevel, 0u);
}

TEST(ProgramArgs, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(Parse({"--help"}).action, ProgramAction::Help);
  EXPECT_EQ(Parse({"--fullscreen", "-h"}).action, ProgramAction::Help);
  EXPECT_EQ(Parse({"--version"}).action, ProgramAction::Version);
  EXPECT_NE(nb::UsageText().find("--window-id"), std::string::npos);
}

TEST(ProgramArgs, AnythingElseIsAnErrorWithAReason) {
  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  };
  const Case cases[] = {
      {{"--bogus"}, "'--bogus'"},
      {{"-x"}, "'-x'"},
      {{"-save"}, "'-save'"},
      {{"extra"}, "'extra'"},
      {{"--particles"}, "low, medium or high"},
      {{"--smoke", "lots"}, "'lots'"},
      {{"--window-id"}, "X window number"},
      {{"--window-id", "0"}, "'0'"},
      {{"--window-id", "0x100000000"}, "'0x100000000'"},
      {{"--window-id", "12ab"}, "'12ab'"},
      {{"--fullscreen", "--settings"}, "--fullscreen"},
      {{"/s", "/c"}, "'/c'"},
      {{"--root", "--fullscreen"}, "--root"},
      {{"/s", "-root"}, "-root cannot be combined with /s"},
      {{"--window-id", "5", "/c"}, "--window-id"},
      {{"-visual"}, "needs a visual"},
      {{"--fps=1"}, "takes no value"},
      {{"-install=yes"}, "takes no value"},
      {{"-"}, "'-'"},
      {{"--sound=yes"}, "takes no value"},
      // Control characters come back escaped, never sent to the terminal as they are.
      {{"\x1b]0;title\a--x"}, "'\\x1b]0;title\\x07--x'"},
      {{"--smoke", "lo\nw"}, "'lo\\x0aw'"},
  };
  for (const Case& c : cases) {
    const nb::ProgramArgs args = Parse(c.args);
    EXPECT_EQ(args.action, ProgramAction::Error) << c.args[0];
    EXPECT_NE(args.error.find(c.mentions), std::string::npos) << args.error;
    for (const char ch : args.error) EXPECT_GE(static_cast<unsigned char>(ch), 0x20) << args.error;
  }
}

TEST(ProgramArgs, EveryOptionWithOneDashOrTwo) {
  EXPECT_EQ(Parse({"-fullscreen"}).presentation, Presentation::FullScreen);
  EXPECT_EQ(Parse({"-settings"}).commandLine, "/c");
  EXPECT_EQ(Parse({"-particles", "low"}).particleLevel, 0u);
  EXPECT_EQ(Parse({"-smoke=medium"}).smokeLevel, 1u);
  EXPECT_EQ(Parse({"-no-sound"}).useSound, 0u);
  EXPECT_EQ(Parse({"-sound"}).useSound, 1u);
  EXPECT_EQ(Parse({"-help"}).action, ProgramAction::Help);
  EXPECT_EQ(Parse({"-version"}).action, ProgramAction::Version);
  EXPECT_TRUE(Parse({"-fps"}).showFps);
  EXPECT_TRUE(Parse({"--fps"}).showFps);
  EXPECT_FALSE(Parse({"-fps", "--no-fps"}).showFps);
  EXPECT_FALSE(Parse({}).showFps);
  // A dash and one of the machinery's letters is still the machinery's form.
  EXPECT_EQ(Parse({"-s"}).commandLine, "-s");
  EXPECT_EQ(Parse({"-c:77"}).commandLine, "-c:77");
}

TEST(ProgramArgs, XScreenSaverHackOptions) {
  // As the daemon starts a hack, with the options hacks commonly take.
  const nb::ProgramArgs hack =
      Parse({"-root", "-install", "-visual", "default", "-mono", "-no-fps", "--fps"});
  EXPECT_EQ(hack.action, ProgramAction::Run) << hack.error;
  EXPECT_EQ(hack.presentation, Presentation::Embedded);
  EXPECT_TRUE(hack.embedInRoot);
  EXPECT_TRUE(hack.showFps);
  EXPECT_EQ(hack.commandLine, "/s");
  EXPECT_EQ(Parse({"--visual=0x21", "--root"}).presentation, Presentation::Embedded);
  // The same place twice is no conflict.
  EXPECT_TRUE(Parse({"--root", "-root"}).embedInRoot);
  // The settings program's preview names its window after the descriptor's --root: the
  // window named wins, wherever it stands.
  for (const auto& args : {std::vector<std::string>{"--root", "--window-id", "0x3e00007"},
                           std::vector<std::string>{"-window-id", "0x3e00007", "-root"}}) {
    const nb::ProgramArgs preview = Parse(args);
    EXPECT_EQ(preview.action, ProgramAction::Run) << preview.error;
    EXPECT_EQ(preview.presentation, Presentation::Embedded);
    EXPECT_FALSE(preview.embedInRoot);
    EXPECT_EQ(preview.embedWindow, 0x3e00007u);
  }
  // -window is a window of its own; between it and -root the last one counts.
  EXPECT_EQ(Parse({"-window"}).presentation, Presentation::Window);
  EXPECT_EQ(Parse({"-root", "-window"}).presentation, Presentation::Window);
  EXPECT_FALSE(Parse({"-root", "-window"}).embedInRoot);
  EXPECT_TRUE(Parse({"-window", "-root"}).embedInRoot);
}

TEST(ProgramArgs, TheWindowXScreenSaverNames) {
  uint64_t window = 0;
  std::string why;
  EXPECT_TRUE(nb::ResolveRootTarget(nullptr, 0x1d3, &window, &why));
  EXPECT_EQ(window, 0x1d3u);  // unset: the root window
  EXPECT_TRUE(nb::ResolveRootTarget("0x1A00007", 0x1d3, &window, &why));
  EXPECT_EQ(window, 0x1a00007u);
  EXPECT_TRUE(nb::ResolveRootTarget("27262983", 0x1d3, &window, &why));
  EXPECT_EQ(window, 27262983u);
  // Set but not a window: refused, never the whole screen instead.
  for (const char* bad : {"", "0", "window", "0x", "12 ", "-5", "0x1ffffffff"}) {
    window = 99;
    why.clear();
    EXPECT_FALSE(nb::ResolveRootTarget(bad, 0x1d3, &window, &why)) << bad;
    EXPECT_NE(why.find(std::string("'") + bad + "'"), std::string::npos) << why;
    EXPECT_NE(why.find("XSCREENSAVER_WINDOW"), std::string::npos) << why;
  }
  EXPECT_FALSE(nb::ResolveRootTarget("1\n2", 0x1d3, &window, &why));
  EXPECT_NE(why.find("'1\\x0a2'"), std::string::npos) << why;
}

TEST(ProgramArgs, WindowNumbers) {
  uint64_t window = 0;
  EXPECT_TRUE(nb::ParseWindowNumber("0xFFFFFFFF", &window));
  EXPECT_EQ(window, 0xFFFFFFFFu);
  EXPECT_TRUE(nb::ParseWindowNumber("4294967295", &window));
  for (const char* bad : {"", "0", "0x0", "-5", "+5", " 5", "5 ", "4294967296", "0x", "x5"}) {
    EXPECT_FALSE(nb::ParseWindowNumber(bad, &window)) << bad;
  }
}

TEST(ProgramArgs, ArgvFormMatchesTheListForm) {
  const char* argv[] = {"nightbloom", "--window-id", "0x10", "--no-sound"};
  const nb::ProgramArgs args = nb::ParseProgramArgs(4, argv);
  EXPECT_EQ(args.embedWindow, 16u);
  EXPECT_EQ(args.useSound, 0u);
}

}  // namespace

TEST(ProgramArgs, MonitorsChoiceIsForThisRun) {
  EXPECT_FALSE(Parse({"--fullscreen"}).monitorsEach.has_value());
  EXPECT_EQ(Parse({"--fullscreen", "--monitors", "each"}).monitorsEach, true);
  EXPECT_EQ(Parse({"--monitors=ONE", "/s"}).monitorsEach, false);
  EXPECT_EQ(Parse({"-monitors", "each"}).presentation, Presentation::Window);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--monitors"}, {"--monitors", "both"}, {"--monitors="},
        // XScreenSaver runs one hack per screen itself.
        {"--root", "--monitors", "each"}, {"--monitors", "one", "--window-id", "0x22"}}) {
    const nb::ProgramArgs args = Parse(bad);
    EXPECT_EQ(args.action, ProgramAction::Error) << bad.back();
    EXPECT_NE(args.error.find("monitors"), std::string::npos) << args.error;
  }
}

TEST(ProgramArgs, ExtraShowIsASaverOnOneDisplay) {
  const nb::ProgramArgs args = Parse({"--extra-show", "1:1024x768x32:software", "--fps"});
  ASSERT_EQ(args.action, ProgramAction::Run);
  EXPECT_EQ(args.commandLine, "/s");
  EXPECT_EQ(args.presentation, Presentation::FullScreen);
  ASSERT_TRUE(args.extraShow.has_value());
  EXPECT_EQ(args.extraShow->display, 1);
  EXPECT_EQ(args.extraShow->width, 1024u);
  EXPECT_EQ(args.extraShow->height, 768u);
  EXPECT_EQ(args.extraShow->bitsPerPixel, 32u);
  EXPECT_FALSE(args.extraShow->hardware);
  // It is a run mode of its own, and never starts further shows.
  EXPECT_EQ(Parse({"--fullscreen", "--extra-show", "1:640x480x16:hardware"}).action,
            ProgramAction::Error);
  EXPECT_EQ(Parse({"--extra-show", "1:640x480x16:hardware", "--monitors", "each"}).action,
            ProgramAction::Error);
}

TEST(ProgramArgs, ExtraShowTextsRoundTripAndNothingElseIsTaken) {
  const nb::ExtraShow show{3, 640, 480, 16, true};
  nb::ExtraShow back;
  ASSERT_TRUE(nb::ParseExtraShow(nb::FormatExtraShow(show), &back));
  EXPECT_EQ(nb::FormatExtraShow(back), "3:640x480x16:hardware");
  for (const char* bad : {"", "1", "1:640x480x16", "1:640x480x24:software", "1:0x480x16:software",
                          "1:8193x480x32:software", "64:640x480x16:software", "-1:640x480x16:software",
                          "1:640x480:software", "1:640x480x16:soft", "1:640x480x16:software:",
                          "1:+640x480x16:software", "x:640x480x16:software"}) {
    EXPECT_FALSE(nb::ParseExtraShow(bad, &back)) << bad;
  }
}
