#include "image/post_process.h"

#include <gtest/gtest.h>

#include "image/tiff_test_support.h"
#include "postscript/progress.h"

namespace scrivex {
namespace {

using namespace tiff_test;

struct CallbackLog {
  static inline std::vector<std::string> paths;
  static inline std::string message;
  static inline int answer = 1;
  static int Record(const char* path, const char* text, int value) {
    paths.push_back(path);
    message = text;
    EXPECT_EQ(value, 0);
    return answer;
  }
};

struct PostProcessTest : ::testing::Test {
  ScratchDir dir;
  void TearDown() override { SetProgressCallback(nullptr); }
  std::string P(const std::string& name) const { return dir.File(name); }
  void Touch(const std::string& name) const { WriteBytes(P(name), "x"); }
  void Rgb(const std::string& name, int pages = 1) const {
    WriteTestTiff(P(name), std::vector<TiffPage>(pages, MakePage(16, 8, 24)));
  }
};

TEST_F(PostProcessTest, PageFilesAreTheOutputAndItsNumberedPagesOnly) {
  for (const char* name : {"out_0002.tif", "out.tif", "outline.tif", "out_0001.tif", "out_.tif",
                           "out_0001a.tif", "out_12345.TIF", "out_0001.png"}) {
    Touch(name);
  }
  fs::create_directories(dir.path / "out_dir.tif");
  std::vector<std::string> list = {"kept"};
  EXPECT_EQ(FindMatchingFiles(P("out*.tif"), &list), 8);
  EXPECT_EQ(list, (std::vector<std::string>{"kept", P("out.tif"), P("out_.tif"), P("out_0001.tif"),
                                            P("out_0001a.tif"), P("out_0002.tif"),
                                            P("out_12345.TIF"), P("outline.tif")}));
  // outline.tif matches the wildcard but is no page of out.tif.
  EXPECT_EQ(ListPageFiles(P("out.tif")),
            (std::vector<std::string>{P("out.tif"), P("out_0001.tif"), P("out_0002.tif"),
                                      P("out_12345.TIF")}));
  EXPECT_FALSE(IsPageFileOf(P("Out_0001.tif"), P("out.tif")));
  std::vector<std::string> none;
  EXPECT_EQ(FindMatchingFiles(P("missing-dir/out*.tif"), &none), 0);
}

TEST_F(PostProcessTest, ProducedOrNot) {
  EXPECT_EQ(PostProcessImages(P("out.png"), 24, 0, 0, 300, 300), 0);
  EXPECT_EQ(PostProcessImages(P("out.pdf"), 24, 0, 1, 300, 300), 0);
  Touch("out.pdf");
  EXPECT_EQ(PostProcessImages(P("out.pdf"), 24, 0, 1, 300, 300), 1);
  // Pages that do not start at 1 still count.
  Touch("other_0003.jpg");
  EXPECT_EQ(PostProcessImages(P("other.jpg"), 24, 0, 0, 300, 300), 1);
  Touch("broken.tif");  // unreadable: the recompression's failure
  EXPECT_EQ(PostProcessImages(P("broken.tif"), 24, 0, 1, 200, 200), 0);
}

TEST_F(PostProcessTest, RecompressesTheOutputsTiffPagesOnly) {
  Rgb("outline.tif");
  std::string outline = ReadBytes(P("outline.tif"));
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 0, 300, 300), 0);
  Rgb("out_0001.tif");
  Rgb("out_0002.tif", 2);
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 0, 200, 200), 1);
  EXPECT_EQ(Tags(P("out_0001.tif")), "16x8 8/3 c32773 200x200 dpi");
  EXPECT_EQ(Tags(P("out_0002.tif")), "16x8 8/3 c32773 200x200 dpi|16x8 8/3 c32773 200x200 dpi");
  EXPECT_EQ(ReadBytes(P("outline.tif")), outline);

  // Group 4 bilevel output, and depths beyond 8 and 24 bits, stay as written.
  Rgb("fax.tif");
  std::string before = ReadBytes(P("fax.tif"));
  EXPECT_EQ(PostProcessImages(P("fax.tif"), 1, 4, 1, 200, 200), 1);
  EXPECT_EQ(PostProcessImages(P("fax.tif"), 12, 1, 1, 200, 200), 1);
  EXPECT_EQ(ReadBytes(P("fax.tif")), before);
  EXPECT_TRUE(NeedsTiffRecompression(1, 88881));
}

TEST_F(PostProcessTest, ProgressCallbackSeesTheProbeAndCanStop) {
  Rgb("out.tif");
  std::string before = ReadBytes(P("out.tif"));
  SetProgressCallback(&CallbackLog::Record);
  CallbackLog::paths.clear();
  CallbackLog::answer = 0;
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 1, 200, 200), 1);
  EXPECT_EQ(ReadBytes(P("out.tif")), before);
  EXPECT_EQ(CallbackLog::message, "Processing image files...");
  CallbackLog::answer = 7;
  EXPECT_EQ(PostProcessImages(P("out.tif"), 24, 32773, 1, 200, 200), 1);
  EXPECT_NE(Tags(P("out.tif")).find(" c32773 "), std::string::npos);

  // Numbered pages: the probe is the first page's name; nothing produced, no call.
  Touch("page_0001.png");
  EXPECT_EQ(PostProcessImages(P("page.png"), 24, 0, 0, 200, 200), 1);
  EXPECT_EQ(PostProcessImages(P("none.png"), 24, 0, 0, 200, 200), 0);
  EXPECT_EQ(CallbackLog::paths,
            (std::vector<std::string>{P("out.tif"), P("out.tif"), P("page_0001.png")}));
}

}  // namespace
}  // namespace scrivex
