#include "common/child_process.h"

#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

TEST(ChildProcess, ExitCodesOptionsDetachingNoShellAndDisplayForm) {
  test::ScratchDir dir;
  int exitCode = 99;
  EXPECT_EQ(RunHiddenProcess({"/bin/sh", "-c", "exit 3"}, &exitCode), 1);
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(RunHiddenProcess({"/nonexistent/program", "-x"}, &exitCode), 0);
  EXPECT_EQ(exitCode, -1);
  EXPECT_EQ(RunHiddenProcess({}), 0);
  // Far more than a pipe holds, on both output streams: the child never blocks.
  EXPECT_EQ(
      RunHiddenProcess(
          {"/bin/sh", "-c", "head -c 3000000 /dev/zero; head -c 3000000 /dev/zero >&2"}, &exitCode),
      1);
  EXPECT_EQ(exitCode, 0);
  // The environment and folder reach the child; the parent keeps its own.
  HiddenProcessOptions options;
  options.env = {{"SCRIVEX_CP", std::string("v")}};
  options.workingDirectory = dir.Path();
  RunHiddenProcess({"/bin/sh", "-c", "printf %s \"$SCRIVEX_CP\" >here"}, &exitCode, options);
  EXPECT_EQ(test::ReadBytes(dir.Path("here")), "v");
  EXPECT_EQ(std::getenv("SCRIVEX_CP"), nullptr);

  EXPECT_EQ(RunCommandLine({}), -1);
  EXPECT_EQ(RunCommandLine({"/no/such/program", "a"}), -1);
  EXPECT_EQ(RunCommandLine({"sh", "-c", "exit 7"}), 7);
  EXPECT_EQ(RunCommandLine({"sh", "-c", "exit 7"}, true), 0);  // nobody waits for it
  // No shell: the redirection is an argument of echo, not a file.
  RunCommandLine({"echo", "x", ">", dir.Path("marker")});
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"here"});
  // The display form reads back, by the Windows argument rules, as the same
  // arguments, whatever quotes and backslashes they hold.
  std::vector<std::string> argv = {"/bin/prog", "a b", "c\\", "The \"Best\" Report", "x\\\"y", ""};
  EXPECT_EQ(platform::SplitCommandLine(FormatCommandLine(argv)), argv);
}

}  // namespace
}  // namespace scrivex
