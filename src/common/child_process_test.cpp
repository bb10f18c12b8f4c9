#include "common/child_process.h"

#include <gtest/gtest.h>

#include "common/temp_files.h"
#include "platform/files.h"
#include "platform/process.h"

namespace scrivex {
namespace {

TEST(ChildProcess, ExitCodesDetachingAndNoShell) {
  int exitCode = 99;
  EXPECT_EQ(RunHiddenProcess({"/bin/sh", "-c", "exit 3"}, &exitCode), 1);
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(RunHiddenProcess({"/nonexistent/program", "-x"}, &exitCode), 0);
  EXPECT_EQ(exitCode, -1);
  EXPECT_EQ(RunHiddenProcess({}), 0);
  // Far more than a pipe holds, on both output streams: the child never blocks.
  EXPECT_EQ(RunHiddenProcess({"/bin/sh", "-c", "head -c 3000000 /dev/zero; head -c 3000000 /dev/zero >&2"},
                             &exitCode),
            1);
  EXPECT_EQ(exitCode, 0);

  EXPECT_EQ(RunCommandLine({}), -1);
  EXPECT_EQ(RunCommandLine({"/no/such/program", "a"}), -1);
  EXPECT_EQ(RunCommandLine({"sh", "-c", "exit 7"}), 7);
  long long start = platform::TickCountMs();
  EXPECT_EQ(RunCommandLine({"sleep", "3"}, true), 0);  // detached: back at once
  EXPECT_LT(platform::TickCountMs() - start, 2500);
  // No shell: the redirection is an argument of echo, not a file.
  std::string marker = MakeTempFileName(".marker");
  RunCommandLine({"echo", "x", ">", marker});
  EXPECT_FALSE(platform::FileExists(marker));
}

// The display form reads back, by the Windows argument rules, as the same
// arguments, whatever quotes and backslashes they hold.
TEST(ChildProcess, CommandLineFormRoundTrips) {
  std::vector<std::string> argv = {"/bin/prog", "a b", "c\\", "The \"Best\" Report", "x\\\"y", ""};
  EXPECT_EQ(platform::SplitCommandLine(FormatCommandLine(argv)), argv);
}

}  // namespace
}  // namespace scrivex
