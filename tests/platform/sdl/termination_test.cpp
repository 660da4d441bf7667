// Termination signals, in a child process of their own: the first one asks for the end and
// the program goes on to end cleanly; the same signal again at once is the same request
// (as `timeout` sends it to the process and its group); one that comes a second later ends
// the process by the signal's default action.
#include "platform/sdl/termination.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nb {
namespace {

// Runs body in a child process and gives its wait status.
template <class Body>
int InChild(Body body) {
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST(Termination, ARequestTwiceAtOnceIsOneRequest) {
  const int status = InChild([] {
    InstallTerminationHandlers();
    if (TerminationRequested()) _exit(2);
    raise(SIGTERM);
    if (!TerminationRequested()) _exit(3);
    raise(SIGTERM);
    raise(SIGINT);
    usleep(200000);
    raise(SIGTERM);
    _exit(TerminationRequested() ? 0 : 4);
  });
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Termination, ASecondRequestLaterEndsTheProcessAtOnce) {
  for (const int signal : {SIGTERM, SIGINT}) {
    const int status = InChild([signal] {
      InstallTerminationHandlers();
      raise(signal);
      usleep(static_cast<useconds_t>((repeatedRequestMs + 100) * 1000));
      raise(signal);
      _exit(5);  // not reached: the second request ends the process
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal);
  }
}

}  // namespace
}  // namespace nb
