#include "ghostscript/hidden_process.h"

#include <gtest/gtest.h>

#include "platform/files.h"

namespace scrivex {
namespace {

TEST(RunHiddenProcess, ExitStatusOrNotStarted) {
  int exitCode = 99;
  EXPECT_EQ(RunHiddenProcess("\"/bin/sh\" -c \"exit 3\"", &exitCode), 1);
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(RunHiddenProcess("\"/nonexistent/program\" -x", &exitCode), 0);
  EXPECT_EQ(exitCode, -1);
  EXPECT_EQ(RunHiddenProcess("   "), 0);
  // Far more than a pipe holds, on both output streams: the child never blocks.
  EXPECT_EQ(
      RunHiddenProcess("/bin/sh -c \"head -c 3000000 /dev/zero; head -c 3000000 /dev/zero >&2\"",
                       &exitCode),
      1);
  EXPECT_EQ(exitCode, 0);
}

TEST(RunHiddenProcess, EnvironmentChangesReachOnlyTheChild) {
  std::string before = platform::GetEnv("GS_LIB");
  int exitCode = -1;
  EXPECT_EQ(RunHiddenProcess("/bin/sh -c \"test \\\"$GS_LIB\\\" = '/lib dir/'\"", &exitCode,
                             {{"GS_LIB", std::string("/lib dir/")}}),
            1);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(
      RunHiddenProcess("/bin/sh -c \"test -z \\\"$HOME\\\"\"", &exitCode, {{"HOME", std::nullopt}}),
      1);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(platform::GetEnv("GS_LIB"), before);
}

}  // namespace
}  // namespace scrivex
