#include "postscript/ps_extent.h"

#include <gtest/gtest.h>

#include <climits>

#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

using testing_util::ScratchDir;

TEST(ReadBoundingBox, PriorityDeferredBoxesAndFailures) {
  const std::string begin = "%%BeginDocument: x\n", end = "%%EndDocument\n";
  const struct {
    std::string lines;       // after a "%!PS" line
    std::vector<float> box;  // empty: no usable box
  } cases[] = {
      {"%%BoundingBox: 0 0 612 792\n%%HiResBoundingBox: 1.5 2 611.25 790\n", {1.5, 2, 611.25, 790}},
      {"%ADO_ImageableArea: 10 20 30 40\n%%BoundingBox: 1 2 3 4\n", {1, 2, 3, 4}},
      {"%ADO_ImageableArea: 10 20 30 40\n", {10, 20, 30, 40}},
      {"%%BoundingBox: [ { ( -1.5 .25 612.5 792. ]\n", {-1.5, 0.25, 612.5, 792}},
      {"%%BoundingBox: 100 100 0 0\n", {100, 100, 0, 0}},  // order unchecked
      {"%%BoundingBox: (atend)\nx\n%%Trailer\n%%BoundingBox: 10 20 300 400\n", {10, 20, 300, 400}},
      {"%%BoundingBox: (atend)\n%%Trailer\n%%BoundingBox: 0 0 0 0\n", {}},
      {"%%BoundingBox: (atend)\n%%Trailer\n", {}},
      // A deferred HiRes box takes the later %%BoundingBox: lines; the last parsable one decides.
      {"%%HiResBoundingBox: (AtEnd)\n%%HiResBoundingBox: 5 5 6 6\n%%BoundingBox: 1 1 2 2\n"
       "%%BoundingBox: junk\n",
       {1, 1, 2, 2}},
      {"%%BoundingBox: atend\n%%BoundingBox: 1 1 9 9\n%%BoundingBox: 0 0 0 0\n", {}},
      {begin + "%%BoundingBox: 0 0 1 1\n" + end, {}},
      {begin + begin + end + "%%BoundingBox: 0 0 1 1\n" + end + "%%BoundingBox: 0 0 8 9\n",
       {0, 0, 8, 9}},
      {end + end + "%%BoundingBox: 0 0 1 1\n", {0, 0, 1, 1}},  // the depth stays at 0
      {"%%BoundingBox: 0 0 612 792", {}},                      // no line break after it
      {"%%BoundingBox: 0 0 612\n", {}},
      {"%%BoundingBox: 0 0 612 +792\n", {}},
      {"%%BoundingBox: 0 0 612 7e2\n", {}},
      {"%%BoundingBox: [0 0 612 792]\n", {}},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    Box b{-1, -1, -1, -1};
    int result = ReadBoundingBox(dir.Write("f.eps", "%!PS\n" + c.lines), &b);
    EXPECT_EQ(result, c.box.empty() ? 0 : 1) << c.lines;
    if (result == 1) {
      EXPECT_EQ((std::vector<float>{b.llx, b.lly, b.urx, b.ury}), c.box) << c.lines;
    }
  }
  Box b;
  EXPECT_EQ(ReadBoundingBox(dir.Write("empty", ""), &b), 0);
  EXPECT_EQ(ReadBoundingBox(dir.Path("missing.ps"), &b), 0);
}

struct Info {
  int result;
  float xres, yres, width, height;
  int bits;
};

Info GetInfo(const std::string& content) {
  ScratchDir dir;
  Info i{0, -1, -1, -1, -1, -1};
  i.result = GetPostScriptInformation(dir.Write("f.eps", content), &i.xres, &i.yres, &i.width,
                                      &i.height, &i.bits);
  return i;
}

TEST(GetPostScriptInformation, ImageDataGivesResolutionSizeAndDepth) {
  Info i = GetInfo(
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 400 300\n%%EndComments\n"
      "%ImageData: 800 600 8 3 1 800 1 \"beginimage\"\n");
  EXPECT_EQ(i.result, 1);
  EXPECT_FLOAT_EQ(i.xres, 144);
  EXPECT_FLOAT_EQ(i.yres, 144);
  EXPECT_FLOAT_EQ(i.width, 800);
  EXPECT_FLOAT_EQ(i.height, 600);
  EXPECT_EQ(i.bits, 24);
  // The resolution divides by urx and ury, not by the box's width and height.
  i = GetInfo("%!PS\n%%BoundingBox: 100 100 400 300\n%ImageData: 800 600 1 1\n");
  EXPECT_FLOAT_EQ(i.xres, 144);
  EXPECT_EQ(i.bits, 1);
  // A zero urx leaves the x resolution at 0; fractions are truncated.
  i = GetInfo("%!PS\n%%BoundingBox: 0 0 0 300\n%ImageData: 800 600 2.5 3\n");
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.xres, 0);
  EXPECT_FLOAT_EQ(i.yres, 144);
  EXPECT_EQ(i.bits, 7);
  // A Black process color alone gives one bit.
  i = GetInfo("%!PS\n%%BoundingBox: 0 0 400 300\n%%DocumentProcessColors:  black cyan\n");
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.bits, 1);
  EXPECT_EQ(i.width, 0);
  EXPECT_EQ(GetInfo("%!PS\n%%BoundingBox: 0 0 4 3\n%%DocumentProcessColors: Cyan Black\n").result,
            0);
}

TEST(GetPostScriptInformation, FailuresGiveZeroAndClearedOutputs) {
  Info i = GetInfo("%!PS\n%ImageData: 800 600 8 3\n");  // no box
  EXPECT_EQ(i.result, 0);
  EXPECT_EQ(i.width, 0);
  EXPECT_EQ(i.bits, 0);
  EXPECT_EQ(GetInfo("%!PS\n%%BoundingBox: 0 0 1 1\n%ImageData: 800 600 8\n").result, 0);
  // Outputs may be absent; a huge depth saturates or fails, never overflows.
  ScratchDir dir;
  std::string path = dir.Write("f", "%!PS\n%%BoundingBox: 0 0 1 1\n%ImageData: 8 6 1e9 1e9\n");
  EXPECT_EQ(GetPostScriptInformation(path, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  path = dir.Write("g", "%!PS\n%%BoundingBox: 0 0 1 1\n%ImageData: 8 6 100000 100000\n");
  int bits = 0;
  EXPECT_EQ(GetPostScriptInformation(path, nullptr, nullptr, nullptr, nullptr, &bits), 1);
  EXPECT_EQ(bits, INT_MAX);
}

}  // namespace
}  // namespace scrivex
