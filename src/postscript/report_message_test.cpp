#include "postscript/report_message.h"

#include <gtest/gtest.h>

#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

using testing_util::StderrOf;

TEST(ReportMessage, WrapsAtColumn78CutsLongTextAndFatalStartsAFreshLine) {
  SetMessageProgramName("prog");
  std::string text = StderrOf([] {
    ReportMessage(kFreshLine, "%s", "");  // start from column 0
    for (int i = 1; i <= 30; ++i) ReportMessage(0, "[%d]", i);
    ReportMessage(0, "Wrote %d pages, %ld bytes\n", 30, 1234L);
  });
  // [1]..[9] take 27 columns, [10]..[22] 52 more: [22] would pass 78.
  std::string expected;
  for (int i = 1; i <= 21; ++i) expected += "[" + std::to_string(i) + "]";
  expected += "\n";
  for (int i = 22; i <= 30; ++i) expected += "[" + std::to_string(i) + "]";
  EXPECT_EQ(text, expected + "Wrote 30 pages, 1234 bytes\n");

  EXPECT_EQ(StderrOf([] {
              ReportMessage(kFreshLine, "%s", std::string(1000, 'y').c_str());
              EXPECT_EQ(MessageColumn(), 255);
              EXPECT_THROW(ReportMessage(kFatalError, "I/O error writing page %d\n", 4),
                           SelectorFatal);
            }),
            std::string(255, 'y') + "\nprog: I/O error writing page 4\n");
  EXPECT_EQ(MessageColumn(), 0);
}

}  // namespace
}  // namespace scrivex
