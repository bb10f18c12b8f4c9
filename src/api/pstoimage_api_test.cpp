// Calls the exported functions of libscrivex through its installed header.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/test_support.h"
#include "scrivex/pstoimage.h"

namespace {

using namespace scrivex::test;

// What the progress callback was called with, and what it answers.
std::vector<std::string> calls;
int answer = 1;
int Record(const char* path, const char* message, int value) {
  calls.push_back(path);
  EXPECT_STREQ(message, "Processing image files...");
  EXPECT_EQ(value, 0);
  return answer;
}

class PSToImageTest : public ::testing::Test {
 protected:
  void SetUp() override { calls.clear(); }
  void TearDown() override { PSToImageSetProgressCBFunc(nullptr); }
  std::string P(const std::string& name) const { return dir_.Path(name); }
  int Convert(const std::string& in, const std::string& out, int compression = 0) {
    return PSToImageConverter(in.c_str(), out.c_str(), 0, 0, 100, 100, compression, 1, -1, -1, 100,
                              24, 0);
  }

  ScratchDir dir_;
};

TEST_F(PSToImageTest, ExtentAndInformationAndMissingArguments) {
  std::string path = dir_.Write("img.eps",
                                "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 400 300\n"
                                "%ImageData: 800 600 8 3 0 1 1 \"beginimage\"\n%%EOF\n");
  PSToImageBox box = {-1, -1, -1, -1};
  EXPECT_EQ(PSToImageGetPSExtent(path.c_str(), &box), 1);
  EXPECT_EQ((std::vector<float>{box.llx, box.lly, box.urx, box.ury}),
            (std::vector<float>{0, 0, 400, 300}));
  float xres = -1, yres = -1, width = -1, height = -1;
  int bits = -1;
  EXPECT_EQ(PSToImageGetInformation(path.c_str(), &xres, &yres, &width, &height, &bits), 1);
  EXPECT_EQ((std::vector<float>{xres, yres, width, height, float(bits)}),
            (std::vector<float>{144, 144, 800, 600, 24}));
  // Missing arguments are refused, never dereferenced; outputs then read 0.
  EXPECT_EQ(PSToImageGetPSExtent(path.c_str(), nullptr) + PSToImageGetPSExtent(nullptr, &box), 0);
  EXPECT_EQ(PSToImageGetInformation(nullptr, &xres, nullptr, nullptr, nullptr, &bits), 0);
  EXPECT_EQ(xres + bits, 0);
  EXPECT_EQ(PSToImageConverter(nullptr, "x.tif", 0, 0, 300, 300, 0, 1, -1, -1, 100, 24, 0), -1);
  EXPECT_EQ(PSToImageConverter("x.ps", nullptr, 0, 0, 300, 300, 0, 1, -1, -1, 100, 24, 0), -1);
}

TEST_F(PSToImageTest, ProgressCallbackStopsThePostProcessing) {
  if (!std::filesystem::exists("/usr/bin/gs")) GTEST_SKIP() << "no Ghostscript";
  std::string input = dir_.Write("doc.ps",
                                 "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 72 72\n%%EndComments\n"
                                 "0 0 moveto 30 0 rlineto 0 30 rlineto closepath fill showpage\n");
  PSToImageSetProgressCBFunc(&Record);
  answer = 0;
  ASSERT_EQ(Convert(input, P("held.tif"), 32773), 1);
  EXPECT_EQ(calls, (std::vector<std::string>{P("held.tif")}));

  // Without the callback the same page is re-encoded, so the files differ.
  PSToImageSetProgressCBFunc(nullptr);
  ASSERT_EQ(Convert(input, P("done.tif"), 32773), 1);
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_NE(ReadBytes(P("held.tif")), ReadBytes(P("done.tif")));

  // A callback that answers anything but 0 lets the work go on; nothing produced: no call.
  PSToImageSetProgressCBFunc(&Record);
  answer = 2;
  ASSERT_EQ(Convert(input, P("page.png")), 1);
  EXPECT_EQ(Convert(P("missing.ps"), P("none.png")), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{P("held.tif"), P("page_0001.png")}));
}

// The files a conversion wrote, by index, as the caller's buffer takes them.
TEST_F(PSToImageTest, WrittenFilesByIndex) {
  if (!std::filesystem::exists("/usr/bin/gs")) GTEST_SKIP() << "no Ghostscript";
  std::string input = dir_.Write("two.ps", "%!PS\nshowpage showpage\n");
  ASSERT_EQ(Convert(input, P("two.png")), 1);
  auto written = [] {
    std::vector<std::string> files;
    char path[4096];
    for (int i = 0; PSToImageGetWrittenFile(i, path, sizeof path) >= 0; ++i) files.push_back(path);
    return files;
  };
  EXPECT_EQ(written(), (std::vector<std::string>{P("two_0001.png"), P("two_0002.png")}));
  char small[8];
  const int length = static_cast<int>(P("two_0001.png").size());
  EXPECT_EQ(PSToImageGetWrittenFile(0, small, sizeof small), -1) << "too small: nothing copied";
  std::vector<char> exact(length + 1);
  EXPECT_EQ(PSToImageGetWrittenFile(0, exact.data(), length + 1), length);
  EXPECT_EQ(PSToImageGetWrittenFile(0, exact.data(), length), -1) << "no room for the terminator";
  EXPECT_EQ(PSToImageGetWrittenFile(-1, exact.data(), length + 1), -1);
  EXPECT_EQ(PSToImageGetWrittenFile(0, nullptr, 100), -1);
  ASSERT_EQ(Convert(input, P("one.tif")), 1);
  EXPECT_EQ(written(), (std::vector<std::string>{P("one.tif")}));
  EXPECT_EQ(Convert(P("missing.ps"), P("none.png")), 0);
  EXPECT_TRUE(written().empty()) << "a failed conversion wrote nothing";
}

}  // namespace
