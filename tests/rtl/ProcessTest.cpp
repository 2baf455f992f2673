// Running other programs: input fed and output collected without a shell, exit status, crashes,
// the time limit and the output limit, programs that stop reading or close their output early,
// and descriptors that stay with the caller.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/rtl/Process.h"

namespace {

TRunResult Sh(const std::string& Script, TRunOptions Options = {}) { return RunProgram("/bin/sh", {"-c", Script}, Options); }

TEST(RunProgram, InputOutputAndExitStatus) {
  TRunOptions in;
  in.Input = std::string(3 << 20, 'x') + "end";  // more than a pipe holds: written while read
  const TRunResult cat = RunProgram("cat", {}, in);
  EXPECT_TRUE(cat.Started && cat.Exited);
  EXPECT_EQ(cat.ExitCode, 0);
  EXPECT_EQ(cat.Output, *in.Input);

  // Arguments reach the program as they are, without a shell between.
  EXPECT_EQ(RunProgram("printf", {"%s|", "a b", "$HOME", "*"}).Output, "a b|$HOME|*|");
  const TRunResult status = Sh("echo out; echo err >&2; exit 3");
  EXPECT_TRUE(status.Exited);
  EXPECT_EQ(status.ExitCode, 3);
  EXPECT_EQ(status.Output, "out\n");
  TRunOptions merged;
  merged.MergeErrors = true;
  EXPECT_EQ(Sh("echo out; echo err >&2", merged).Output, "out\nerr\n");
  EXPECT_FALSE(RunProgram("/nonexistent/program", {}).Started);
}

TEST(RunProgram, CrashesLimitsAndEarlyEndsNeverReachTheCaller) {
  const TRunResult crash = Sh("echo before; kill -SEGV $$");
  EXPECT_FALSE(crash.Exited);
  EXPECT_FALSE(crash.Killed);
  EXPECT_EQ(crash.Output, "before\n");

  TRunOptions quick;
  quick.TimeoutMs = 300;
  const TRunResult hang = Sh("echo early; exec sleep 30", quick);
  EXPECT_TRUE(hang.Killed);
  EXPECT_FALSE(hang.Exited);
  EXPECT_EQ(hang.Output, "early\n");
  // A program that closed its output and goes on running is killed at the limit too.
  EXPECT_TRUE(Sh("exec sleep 30 >&-", quick).Killed);

  TRunOptions small;
  small.MaxOutput = 1000;
  const TRunResult flood = RunProgram("yes", {}, small);
  EXPECT_TRUE(flood.Killed);
  EXPECT_LE(flood.Output.size(), 1000u);

  // A program that ends without reading its input: no SIGPIPE for the caller.
  TRunOptions unread;
  unread.Input = std::string(8 << 20, 'y');
  const TRunResult gone = Sh("exit 4", unread);
  EXPECT_TRUE(gone.Exited);
  EXPECT_EQ(gone.ExitCode, 4);
}

TEST(RunProgram, TheCallersDescriptorsStayWithTheCaller) {
  const int fd = open("/dev/null", O_RDONLY);  // inheritable
  ASSERT_GE(fd, 3);
  const TRunResult r = Sh("ls /proc/$$/fd");
  close(fd);
  EXPECT_EQ(r.Output, "0\n1\n2\n");
}

}  // namespace
