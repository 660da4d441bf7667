// The command-line grammar: which run mode each line the screensaver machinery (or a
// user) writes selects, and the preview's parent handle.
#include <gtest/gtest.h>

#include "shell/shell.h"

namespace nb {
namespace {

struct LineCase {
  const char* line;
  RunMode mode;
  uintptr_t parent;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class CommandLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, SelectsModeAndParent) {
  const LineCase& c = GetParam();
  const CommandLine parsed = ParseCommandLine(c.line);
  EXPECT_EQ(parsed.mode, c.mode);
  EXPECT_EQ(static_cast<uintptr_t>(parsed.parent), c.parent);
}

const uintptr_t minusOne = static_cast<uintptr_t>(intptr_t{-1});

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTest,
    ::testing::Values(
        // Nothing to read opens the configuration.
        LineCase{"", RunMode::Configure, 0}, LineCase{"     ", RunMode::Configure, 0},
        LineCase{"/c", RunMode::Configure, 0}, LineCase{"-C", RunMode::Configure, 0},
        LineCase{"/c:5678", RunMode::Configure, 0}, LineCase{"/config", RunMode::Configure, 0},
        LineCase{"  c", RunMode::Configure, 0},
        // The saver, also for anything it does not know.
        LineCase{"/s", RunMode::Saver, 0}, LineCase{"-S", RunMode::Saver, 0},
        LineCase{"/save", RunMode::Saver, 0}, LineCase{"/x", RunMode::Saver, 0},
        LineCase{"/", RunMode::Saver, 0}, LineCase{"-", RunMode::Saver, 0},
        LineCase{"//c", RunMode::Saver, 0}, LineCase{"\t/c", RunMode::Saver, 0},
        // Preview needs a non-zero handle, read the way atoi reads it.
        LineCase{"/p 1234", RunMode::Preview, 1234}, LineCase{"/p:1234", RunMode::Preview, 1234},
        LineCase{"-l 1234", RunMode::Preview, 1234}, LineCase{"/P :: 77x", RunMode::Preview, 77},
        LineCase{"/p\t 42", RunMode::Preview, 42}, LineCase{"/p -1", RunMode::Preview, minusOne},
        LineCase{"p1234", RunMode::Preview, 1234}, LineCase{"/L+9", RunMode::Preview, 9},
        LineCase{"/p 0", RunMode::Saver, 0}, LineCase{"/p", RunMode::Saver, 0},
        LineCase{"/p abc", RunMode::Saver, 0}, LineCase{"/p -", RunMode::Saver, 0},
        // The password change ignores its handle.
        LineCase{"/a", RunMode::ChangePassword, 0}, LineCase{"/a 1234", RunMode::ChangePassword, 0},
        LineCase{"-A:99", RunMode::ChangePassword, 0}));

TEST(CommandLine, NullIsAnEmptyLine) { EXPECT_EQ(ParseCommandLine(nullptr).mode, RunMode::Configure); }

TEST(CommandLine, HugeHandlesSaturateInsteadOfOverflowing) {
  const CommandLine big = ParseCommandLine("/p 99999999999999999999");
  EXPECT_EQ(big.mode, RunMode::Preview);
  EXPECT_EQ(static_cast<uintptr_t>(big.parent), static_cast<uintptr_t>(intptr_t{INT32_MAX}));
  const CommandLine small = ParseCommandLine("/p -99999999999999999999");
  EXPECT_EQ(small.mode, RunMode::Preview);
  EXPECT_EQ(static_cast<uintptr_t>(small.parent), static_cast<uintptr_t>(intptr_t{INT32_MIN}));
}

}  // namespace
}  // namespace nb
