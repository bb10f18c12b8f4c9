// Finishing outputs: their page files and the image converter.
#include "image/image_converter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/failure_reason.h"
#include "image/post_process.h"
#include "image/tiff_test_support.h"
#include "platform/files.h"

namespace scrivex {
namespace {

using namespace tiff_test;
namespace fs = std::filesystem;

// Pages of a DCX file: the offsets after the magic number, up to the first 0.
int DcxPageCount(const std::string& path) {
  std::string data = ReadBytes(path);
  if (data.compare(0, 4, "\xb1\x68\xde\x3a") != 0) return -1;
  size_t pages = 0;
  while (data.size() >= 8 + 4 * pages && data.compare(4 + 4 * pages, 4, std::string(4, '\0'))) {
    ++pages;
  }
  return static_cast<int>(pages);
}

struct ImageConverterTest : ::testing::Test {
  ScratchDir dir;
  ScopedEnv env;
  void SetUp() override {
    env.Set("TMPDIR", dir.Path());
    if (!platform::FileExists(LocateImageConverter(kImageConverterName, false))) {
      GTEST_SKIP() << "no image converter beside the test";
    }
  }
};

TEST_F(ImageConverterTest, JoinsPagesAndReadsNoOrdersInNames) {
  dir.Write("a.pgm", std::string("P5 2 1 255\n\0\xff", 13));  // portable greymaps
  dir.Write("b.pgm", std::string("P5 2 1 255\n\xff\0", 13));
  // %d, [n] and "format:" in the names are no orders to the converter.
  fs::create_directories(dir.Path("set%d[1]"));
  const std::string odd = dir.Path("set%d[1]/gif:p%d[0]");
  EXPECT_EQ(RunImageConverter({dir.Path("a.pgm"), dir.Path("b.pgm")}, odd + ".dcx"), 1);
  EXPECT_EQ(DcxPageCount(odd + ".dcx"), 2);
  EXPECT_TRUE(ConvertImagePage(dir.Path("b.pgm"), odd + ".gif"));
  EXPECT_EQ(ReadBytes(odd + ".gif").substr(0, 3), "GIF");
  EXPECT_EQ(RunImageConverter({}, dir.Path("out.mng")), 0);
  // Missing beside the program: the bare name, for the program search.
  EXPECT_EQ(LocateImageConverter("no-such-helper.exe", true), "no-such-helper.exe");
}

TEST(PostProcess, PageFilesAreTheOutputAndItsNumberedPagesOnly) {
  ScratchDir dir;
  for (const char* name : {"out_0002.tif", "out.tif", "outline.tif", "out_0001.tif", "out_.tif",
                           "out_0001a.tif", "out_12345.TIF", "out_0001.png"}) {
    dir.Write(name, "x");
  }
  fs::create_directories(dir.Path("out_dir.tif"));
  std::vector<std::string> list = {"kept"};  // appended to, files only
  EXPECT_EQ(FindMatchingFiles(dir.Path("out*.tif"), &list), 8);
  // outline.tif matches the wildcard but is no page of out.tif; pages by name.
  EXPECT_EQ(ListPageFiles(dir.Path("out.tif")),
            (std::vector<std::string>{dir.Path("out.tif"), dir.Path("out_0001.tif"),
                                      dir.Path("out_0002.tif"), dir.Path("out_12345.TIF")}));
  EXPECT_FALSE(IsPageFileOf(dir.Path("Out_0001.tif"), dir.Path("out.tif")));
  EXPECT_EQ(FindMatchingFiles(dir.Path("missing-dir/out*.tif"), &list), 8);
}

TEST(PostProcess, ProducedOrNot) {
  ScratchDir dir;
  EXPECT_EQ(PostProcessImages(dir.Path("out.png"), 24, 0, 0, 300, 300), 0);
  EXPECT_EQ(PostProcessImages(dir.Path("out.pdf"), 24, 0, 1, 300, 300), 0);
  dir.Write("out.pdf", "x");
  EXPECT_EQ(PostProcessImages(dir.Path("out.pdf"), 24, 0, 1, 300, 300), 1);
  dir.Write("other_0003.jpg", "x");  // pages that do not start at 1 still count
  EXPECT_EQ(PostProcessImages(dir.Path("other.jpg"), 24, 0, 0, 300, 300), 1);
  WriteTestTiff(dir.Path("out_0002.tif"), {MakePage(16, 8, 24), MakePage(16, 8, 24)});
  EXPECT_EQ(PostProcessImages(dir.Path("out.tif"), 24, 32773, 0, 200, 200), 1);
  EXPECT_EQ(Tags(dir.Path("out_0002.tif")),
            "16x8 24 c32773 200x200 dpi|16x8 24 c32773 200x200 dpi");
  dir.Write("broken.tif", "x");  // unreadable: the recompression fails and says why
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(PostProcessImages(dir.Path("broken.tif"), 24, 32773, 1, 200, 200), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
  // Group 4 bilevel output and depths beyond 8 and 24 bits stay as written.
  EXPECT_FALSE(NeedsTiffRecompression(1, 4) || NeedsTiffRecompression(12, 1));
  EXPECT_TRUE(NeedsTiffRecompression(1, 88881) && NeedsTiffRecompression(24, 32773));
}

}  // namespace
}  // namespace scrivex
