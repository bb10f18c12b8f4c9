// A file far larger than memory budgets, made sparse so it costs no disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "postscript/page_selector.h"
#include "postscript/ps_extent.h"
#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

// Peak resident memory of this process in KiB, 0 when unknown.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key) {
    if (key == "VmHWM:" && status >> kb) return kb;
  }
  return 0;
}

TEST(LargeFiles, ScannedAsStreamsWithOffsetsBeyond2GiB) {
  // Holes read fastest from a memory file system.
  std::error_code ec;
  testing_util::ScratchDir dir(std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "");
  long before = PeakRssKb();
  const std::string head =
      "%!PS-Adobe-3.0\n%%HiResBoundingBox: (atend)\n%%Pages: 2\n%%EndComments\n"
      "%%Page: 1 1\nbody 1\n%%BeginBinary: 1\n";
  std::string doc = dir.Write("big.ps", head);
  std::filesystem::resize_file(doc, head.size() + 2100ull * 1024 * 1024);  // past 32-bit offsets
  std::ofstream(doc, std::ios::binary | std::ios::app)
      << "\n%%EndBinary\n%%Page: 2 2\nbody 2\n%%Trailer\n%%BoundingBox: 1 2 30 40\n%%EOF\n";
  int status = -1;
  testing_util::StderrOf([&] {
    status = SelectPages({"psselect", "-q", "-p2", doc, dir.Path("out.ps")});
  });
  ASSERT_EQ(status, 0);
  std::string out = testing_util::ReadAll(dir.Path("out.ps"));
  EXPECT_THAT(testing_util::BodyPages(out), ::testing::ElementsAre(2));
  EXPECT_LT(out.size(), 1000u);

  Box box{};
  EXPECT_EQ(ReadBoundingBox(doc, &box), 1);
  EXPECT_EQ(box.urx, 30);
  if (before > 0) {
    EXPECT_LT(PeakRssKb() - before, 100 * 1024);
  }
}

}  // namespace
}  // namespace scrivex
