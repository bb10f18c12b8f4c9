#include "printer/completion_mapping.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/test_support.h"

namespace scrivex {
namespace {

struct Case {
  std::vector<std::string> announced;  // by the driver before the wait
  int busyPolls;                       // polls that still see a job in the queue
  int expectedPolls;
};

TEST(WaitForDriver, AnnouncedFilesAndTheQueueRule) {
  test::ScratchDir dir;  // a state root of its own: its own block
  EXPECT_EQ(WaitForDriver(), 0) << "no mapping";
  EXPECT_FALSE(AnnounceFiles({"/out/a.pdf"})) << "no block to announce in";
  ASSERT_EQ(CreateCompletionMapping(), 1);
  const Case cases[] = {
      {{"/out/a.pdf"}, 0, 0},
      {{"/out/a_0001.tif", "/out/a_0002.tif", "/out/a_0003.tif"}, 0, 0},
      {{}, 0, kIdlePollsBeforeGivingUp},
      // The idle count starts again after each poll that saw a job.
      {{}, 5, 5 + kIdlePollsBeforeGivingUp},
  };
  for (const Case& c : cases) {
    int polls = 0;
    SetDriverPollForTesting(1, [&](std::vector<uint32_t>* jobs) {
      if (++polls <= c.busyPolls) jobs->push_back(7);
      return 1;
    });
    if (!c.announced.empty()) {
      ASSERT_TRUE(AnnounceFiles(c.announced));
    }
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(WaitForDriver(), static_cast<int>(c.announced.size()));
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(polls, c.expectedPolls);
    for (size_t i = 0; i < c.announced.size(); ++i) {
      EXPECT_NE(out.find("Page " + std::to_string(i + 1) + ": " + c.announced[i] + "\n"),
                std::string::npos)
          << out;
    }
    if (c.expectedPolls) {
      EXPECT_NE(out.find("Waiting here (" + std::to_string(c.expectedPolls - 1) + ")...\n"),
                std::string::npos);
    }
  }
  // The wait leaves the block zeroed for the next print.
  EXPECT_TRUE(AnnounceFiles({"/out/b.pdf"}));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(WaitForDriver(), 1);
  ::testing::internal::GetCapturedStdout();
  EXPECT_FALSE(AnnounceFiles({std::string(kCompletionMappingBytes, 'x')}));
  SetDriverPollForTesting(0, nullptr);
  CloseCompletionMapping();
  // A list without its terminator ends at the block's end.
  const unsigned char unterminated[] = {'a', 0, 'x', 'y', 'z'};
  EXPECT_EQ(ReadAnnouncedPaths(unterminated, 5), (std::vector<std::string>{"a", "xyz"}));
  EXPECT_FALSE(AnnounceFiles({"/out/a.pdf"})) << "the block goes with its creator";
}

}  // namespace
}  // namespace scrivex
