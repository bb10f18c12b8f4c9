#include "common/progress_report.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/child_process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

// A helper's progress lines read back as they were sent; other lines are no
// progress, and the helper's messages keep only its own words.
TEST(ProgressLines, ReadBackAndOnlyOurs) {
  for (const ProgressUpdate& update :
       {ProgressUpdate{"rendering", 2, 3}, ProgressUpdate{"opening in the office", 0, 0},
        ProgressUpdate{}}) {
    ProgressUpdate read{"x", 9, 9};
    ASSERT_TRUE(ReadProgressLine(ProgressLineText(update), &read)) << update.stage;
    EXPECT_EQ(read, update);
  }
  ProgressUpdate read;
  ASSERT_TRUE(ReadProgressLine(ProgressLineText({"two\nlines", 1, 0}), &read));
  EXPECT_EQ(read.stage, "two lines");
  for (const char* line : {"print-helper: failed", "scrivex-progress: x y z",
                           "scrivex-progress: -1 2 a", "scrivex-progress: 1", ""}) {
    EXPECT_FALSE(ReadProgressLine(line, &read)) << line;
  }

  test::ScopedEnv env;
  env.Set(kProgressVariable, "no");
  EXPECT_FALSE(ProgressLinesWhenAsked());
  env.Set(kProgressVariable, "lines");
  const ProgressSink sink = ProgressLinesWhenAsked();
  ASSERT_TRUE(sink);
  ::testing::internal::CaptureStderr();
  sink({"rendering", 4, 5});
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "scrivex-progress: 4 5 rendering\n");

  // Relayed from a child as it runs; its failure's reason is its own words.
  std::vector<ProgressUpdate> seen;
  std::string why;
  HiddenProcessOptions options;
  options.why = &why;
  options.onOutputLine = [&](const std::string& line) {
    ProgressUpdate update;
    if (!ReadProgressLine(line, &update)) return false;
    seen.push_back(update);
    return true;
  };
  int exitCode = 0;
  EXPECT_EQ(RunHiddenProcess({"/bin/sh", "-c",
                              "echo 'scrivex-progress: 0 0 opening in the office' >&2; echo boom; "
                              "echo 'scrivex-progress: 1 2 rendering'; exit 3"},
                             &exitCode, options),
            1);
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(seen,
            (std::vector<ProgressUpdate>{{"opening in the office", 0, 0}, {"rendering", 1, 2}}));
  EXPECT_EQ(why, "sh failed with exit status 3: boom");
}

}  // namespace
}  // namespace scrivex
