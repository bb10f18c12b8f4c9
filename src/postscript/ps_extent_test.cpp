#include "postscript/ps_extent.h"

#include <gtest/gtest.h>

#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

using testing_util::ScratchDir;

struct Extent {
  int result;
  Box box;
};

Extent Read(const std::string& content) {
  ScratchDir dir;
  Extent e{0, {-1, -1, -1, -1}};
  e.result = ReadBoundingBox(dir.Write("f.eps", content), &e.box);
  return e;
}

void ExpectBox(const Extent& e, float llx, float lly, float urx, float ury) {
  EXPECT_EQ(e.result, 1);
  EXPECT_FLOAT_EQ(e.box.llx, llx);
  EXPECT_FLOAT_EQ(e.box.lly, lly);
  EXPECT_FLOAT_EQ(e.box.urx, urx);
  EXPECT_FLOAT_EQ(e.box.ury, ury);
}

TEST(ReadBoundingBox, PriorityOfTheComments) {
  ExpectBox(Read("%!PS-Adobe-3.0\n%%BoundingBox: 0 0 612 792\n%%EndComments\n"), 0, 0, 612, 792);
  ExpectBox(Read("%!PS\n%%BoundingBox: 0 0 612 792\n%%HiResBoundingBox: 1.5 2 611.25 790\n"), 1.5,
            2, 611.25, 790);
  ExpectBox(Read("%!PS\n%ADO_ImageableArea: 10 20 30 40\n%%BoundingBox: 1 2 3 4\n"), 1, 2, 3, 4);
  ExpectBox(Read("%!PS\n%ADO_ImageableArea: 10 20 30 40\n"), 10, 20, 30, 40);
  ExpectBox(Read("%!PS\n%%BoundingBox: [ 0 0 612.5 792 ]\n"), 0, 0, 612.5, 792);
  // The order of the values is not checked outside (atend).
  ExpectBox(Read("%!PS\n%%BoundingBox: 100 100 0 0\n"), 100, 100, 0, 0);
}

TEST(ReadBoundingBox, DeferredBoxComesFromTheTrailer) {
  ExpectBox(Read("%!PS\n%%BoundingBox: (atend)\n%%EndComments\nx\n%%Trailer\n"
                 "%%BoundingBox: 10 20 300 400\n%%EOF\n"),
            10, 20, 300, 400);
  EXPECT_EQ(Read("%!PS\n%%BoundingBox: (atend)\n%%Trailer\n%%BoundingBox: 0 0 0 0\n").result, 0);
  EXPECT_EQ(Read("%!PS\n%%BoundingBox: (atend)\n%%Trailer\n").result, 0);
  // A deferred HiRes box takes the later %%BoundingBox: lines; the last
  // parsable one decides.
  ExpectBox(Read("%!PS\n%%HiResBoundingBox: (AtEnd)\n%%HiResBoundingBox: 5 5 6 6\n"
                 "%%BoundingBox: 1 1 2 2\n%%BoundingBox: junk\n"),
            1, 1, 2, 2);
  EXPECT_EQ(Read("%!PS\n%%BoundingBox: atend\n%%BoundingBox: 1 1 9 9\n"
                 "%%BoundingBox: 0 0 0 0\n")
                .result,
            0);
}

TEST(ReadBoundingBox, FailuresGiveZero) {
  // Only inside an embedded document.
  EXPECT_EQ(Read("%!PS\n%%BeginDocument: x\n%%BoundingBox: 0 0 1 1\n%%EndDocument\n").result, 0);
  // The only box line is the last line and has no line break.
  EXPECT_EQ(Read("%!PS\n%%BoundingBox: 0 0 612 792").result, 0);
  EXPECT_EQ(Read("%!PS\n%%BoundingBox:\n").result, 0);
  EXPECT_EQ(Read("%!PS\n%%BoundingBox: 0 0 612\n").result, 0);
  EXPECT_EQ(Read("%!PS\n%%BoundingBox: 0 0 612 +792\n").result, 0);
  EXPECT_EQ(Read("").result, 0);
  Box b;
  EXPECT_EQ(ReadBoundingBox("/nonexistent/file.ps", &b), 0);
}

TEST(ReadBoundingBox, BoxAfterAnEmbeddedDocumentCounts) {
  ExpectBox(Read("%!PS\n%%BeginDocument: x\n%%BoundingBox: 0 0 1 1\n%%EndDocument\n"
                 "%%BoundingBox: 0 0 8 9\n"),
            0, 0, 8, 9);
}

struct Info {
  int result;
  float xres, yres, width, height;
  int bits;
};

Info GetInfo(const std::string& content) {
  ScratchDir dir;
  Info i{};
  i.xres = i.yres = i.width = i.height = -1;
  i.bits = -1;
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
}

TEST(GetPostScriptInformation, ProcessColorsBlackGivesOneBit) {
  Info i = GetInfo("%!PS\n%%BoundingBox: 0 0 400 300\n%%DocumentProcessColors:  black cyan\n");
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.bits, 1);
  EXPECT_EQ(i.xres, 0);
  EXPECT_EQ(i.width, 0);
  i = GetInfo("%!PS\n%%BoundingBox: 0 0 400 300\n%%DocumentProcessColors: Cyan Black\n");
  EXPECT_EQ(i.result, 0);
  EXPECT_EQ(i.bits, 0);
}

TEST(GetPostScriptInformation, FailuresGiveZeroAndClearedOutputs) {
  Info i = GetInfo("%!PS\n%ImageData: 800 600 8 3\n");  // no box
  EXPECT_EQ(i.result, 0);
  EXPECT_EQ(i.width, 0);
  EXPECT_EQ(i.bits, 0);
  EXPECT_EQ(GetInfo("%!PS\n%%BoundingBox: 0 0 1 1\n%ImageData: 800 600 8\n").result, 0);
  EXPECT_EQ(GetInfo("%!PS\n%%BoundingBox: 0 0 1 1\n").result, 0);
  // Outputs may be absent.
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
