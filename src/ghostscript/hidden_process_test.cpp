#include "ghostscript/hidden_process.h"

#include <gtest/gtest.h>

namespace scrivex {
namespace {

// Environment changes for the child are checked through Ghostscript's GS_LIB
// in pdf2img_test.cpp.
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

}  // namespace
}  // namespace scrivex
