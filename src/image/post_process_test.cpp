#include "image/post_process.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image/tiff_test_support.h"

namespace scrivex {
namespace {

using namespace tiff_test;

TEST(PostProcess, PageFilesAreTheOutputAndItsNumberedPagesOnly) {
  ScratchDir dir;
  for (const char* name : {"out_0002.tif", "out.tif", "outline.tif", "out_0001.tif", "out_.tif",
                           "out_0001a.tif", "out_12345.TIF", "out_0001.png"}) {
    dir.Write(name, "x");
  }
  std::filesystem::create_directories(dir.Path("out_dir.tif"));
  std::vector<std::string> list = {"kept"};
  EXPECT_EQ(FindMatchingFiles(dir.Path("out*.tif"), &list), 8);
  EXPECT_EQ(list, (std::vector<std::string>{"kept", dir.Path("out.tif"), dir.Path("out_.tif"),
                                            dir.Path("out_0001.tif"), dir.Path("out_0001a.tif"),
                                            dir.Path("out_0002.tif"), dir.Path("out_12345.TIF"),
                                            dir.Path("outline.tif")}));
  // outline.tif matches the wildcard but is no page of out.tif.
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
  dir.Write("broken.tif", "x");  // unreadable: the recompression's failure
  EXPECT_EQ(PostProcessImages(dir.Path("broken.tif"), 24, 32773, 1, 200, 200), 0);
  // Group 4 bilevel output and depths beyond 8 and 24 bits stay as written.
  EXPECT_FALSE(NeedsTiffRecompression(1, 4) || NeedsTiffRecompression(12, 1));
  EXPECT_TRUE(NeedsTiffRecompression(1, 88881) && NeedsTiffRecompression(24, 32773));
}

}  // namespace
}  // namespace scrivex
