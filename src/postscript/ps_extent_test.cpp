#include "postscript/ps_extent.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/test_support.h"
#include "postscript/postscript_kind.h"

namespace scrivex {
namespace {

using test::ScratchDir;

TEST(ReadBoundingBox, PriorityDeferredBoxesAndFailures) {
  const std::string begin = "%%BeginDocument: x\n", end = "%%EndDocument\n";
  // Lines after "%!PS" and the box they give; no box: none is usable.
  const std::pair<std::string, std::vector<float>> cases[] = {
      {"%%BoundingBox: 0 0 612 792\n%%HiResBoundingBox: 1.5 2 611.25 790\n", {1.5, 2, 611.25, 790}},
      {"%ADO_ImageableArea: 10 20 30 40\n%%BoundingBox: 1 2 3 4\n", {1, 2, 3, 4}},
      {"%ADO_ImageableArea: 10 20 30 40\n", {10, 20, 30, 40}},
      {"%%BoundingBox: [ { ( -1.5 .25 612.5 792. ]\n", {-1.5, 0.25, 612.5, 792}},
      {"%%BoundingBox: 100 100 0 0\n", {100, 100, 0, 0}},  // order unchecked
      {"%%BoundingBox: (atend)\nx\n%%Trailer\n%%BoundingBox: 10 20 300 400\n", {10, 20, 300, 400}},
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
      {"%%BoundingBox: 0 0 612 7e2\n", {}},
      {"%%BoundingBox: 0 0 1 1\n" + begin, {}},  // the depth carries over to the next search
      {"x\r%%BoundingBox: 1 2 3 4\r", {1, 2, 3, 4}},
      {std::string(255, 'x') + "%%BoundingBox: 1 1 5 5\n", {1, 1, 5, 5}},  // read in 255-byte pieces
  };
  ScratchDir dir;
  for (const auto& [lines, want] : cases) {
    Box b{-1, -1, -1, -1};
    int result = ReadBoundingBox(dir.Write("f.eps", "%!PS\n" + lines), &b);
    EXPECT_EQ(result, want.empty() ? 0 : 1) << lines;
    if (result == 1) {
      EXPECT_EQ((std::vector<float>{b.llx, b.lly, b.urx, b.ury}), want) << lines;
    }
  }
  Box b;
  EXPECT_EQ(ReadBoundingBox(dir.Write("empty", ""), &b), 0);
  EXPECT_EQ(ReadBoundingBox(dir.Path("missing.ps"), &b), 0);
}

TEST(GetPostScriptInformation, ImageDataAgainstTheBox) {
  // The resolution divides by urx and ury, not by the box's width and height; a zero urx leaves
  // the x resolution at 0; fractional depths are truncated, huge ones saturate.
  const struct {
    std::string lines;  // after a "%!PS" line
    int result;
    std::vector<float> xyWh;
    int bits;
  } cases[] = {
      {"%%BoundingBox: 100 100 400 300\n%ImageData: 800 600 1 1\n", 1, {144, 144, 800, 600}, 1},
      {"%%BoundingBox: 0 0 0 300\n%ImageData: 800 600 2.5 3\n", 1, {0, 144, 800, 600}, 7},
      {"%%BoundingBox: 0 0 1 1\n%ImageData: 8 6 100000 100000\n", 1, {576, 432, 8, 6}, INT_MAX},
      {"%%BoundingBox: 0 0 4 3\n%%DocumentProcessColors:  black cyan\n", 1, {0, 0, 0, 0}, 1},
      {"%%BoundingBox: 0 0 4 3\n%%DocumentProcessColors: Cyan Black\n", 0, {0, 0, 0, 0}, 0},
      {"%ImageData: 800 600 8 3\n", 0, {0, 0, 0, 0}, 0},  // no box
      {"%%BoundingBox: 0 0 1 1\n%ImageData: 800 600 8\n", 0, {0, 0, 0, 0}, 0},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    float x = -1, y = -1, w = -1, h = -1;
    int bits = -1;
    std::string path = dir.Write("f.eps", "%!PS\n" + c.lines);
    EXPECT_EQ(GetPostScriptInformation(path, &x, &y, &w, &h, &bits), c.result) << c.lines;
    EXPECT_EQ((std::vector<float>{x, y, w, h}), c.xyWh) << c.lines;
    EXPECT_EQ(bits, c.bits) << c.lines;
    EXPECT_EQ(GetPostScriptInformation(path, nullptr, nullptr, nullptr, nullptr, nullptr), c.result);
  }
}

TEST(DetectPostScriptKind, TellsPostScriptFromEpsAnywhereInTheFile) {
  // The magic may follow a DOS EPS header or junk, and straddle the 64 KiB read blocks; the
  // fourteen characters after it decide, whatever they are.
  const std::string junk(65536 - 4, '%');
  const std::pair<std::string, int> cases[] = {
      {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n", 2},
      {"%!PS-Adobe-3.0\n%%Pages: 1\n", 1},
      {"%PDF-1.4\n1 0 obj << >> endobj\n%%EOF\n", 0},
      {"", 0},
      {junk + "%!PS-Adobe-3.0 \t EPSF-3.0\n", 2},
      {junk + "%!PS-Adob", 0},
      {"%!PS-Adobe-2.0EPSF-1.2", 2},
      {"%!PS-Adobe-3.0 EPSF", 1},
      {"%!PS-Adobe-3.1x EPSF-3.0", 1},
      {std::string("\0\0%%!PS-Adobe-3.0 EPSF-3.0", 27), 2},
  };
  ScratchDir dir;
  for (const auto& [content, kind] : cases) {
    EXPECT_EQ(DetectPostScriptKind(dir.Write("f", content)), kind) << content.substr(0, 40);
  }
  EXPECT_EQ(DetectPostScriptKind(dir.Path("missing.ps")), -1);
}

}  // namespace
}  // namespace scrivex
