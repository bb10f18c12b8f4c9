#include "driver/run_command.h"

#include <gtest/gtest.h>

#include "driver/temp_files.h"
#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {
namespace {

TEST(RunCommand, ExitCodesDetachingAndNoShell) {
  EXPECT_EQ(RunCommandLine(""), -1);
  EXPECT_EQ(RunCommandLine("\"/no/such/program\" a"), -1);
  EXPECT_EQ(RunCommandLine("sh -c \"exit 7\""), 7);
  EXPECT_EQ(RunCommandLine("sh -c \"exit 7\"|"), 7);  // a trailing bar is dropped
  EXPECT_EQ(RunCommandLine("sleep 3&"), 0);           // detached: back at once
  std::string marker = MakeTempFileName(".marker");
  // No shell: the redirection is an argument of echo, not a file.
  RunCommandLine("echo x > \"" + marker + "\"");
  EXPECT_FALSE(platform::FileExists(marker));
}

TEST(RunCommand, Quoting) {
  EXPECT_EQ(QuoteCommandLine({"/bin/prog", "a b", "c\\"}), "\"/bin/prog\" \"a b\" \"c\\\\\"");
  EXPECT_EQ(QuoteCommandLine({"/bin/prog", "x\" -o y"}), "");
  EXPECT_EQ(QuoteArgument(""), "\"\"");
}

TEST(TempFiles, NamesAreFreshAndCarryTheExtension) {
  std::string a = MakeTempFileName(".ps");
  std::string b = MakeTempFileName(".ps");
  EXPECT_NE(a, b);
  EXPECT_EQ(platform::SplitPath(a).dir, GetTempDirectory());
  EXPECT_EQ(a.substr(a.size() - 7), ".tmp.ps");
  EXPECT_FALSE(platform::FileExists(a));
  EXPECT_FALSE(platform::FileExists(a.substr(0, a.size() - 3)));
}

}  // namespace
}  // namespace scrivex
