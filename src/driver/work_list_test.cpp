#include "driver/work_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/files.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

class WorkListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("scrivex-wl-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  std::string Touch(const std::string& name, const std::string& text = "x") const {
    std::ofstream(P(name), std::ios::binary) << text;
    return P(name);
  }
  static std::vector<std::string> Inputs(const WorkList& list) {
    std::vector<std::string> out;
    for (const auto& item : list) out.push_back(item.inputPath);
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir_;
};

TEST_F(WorkListTest, UrlTests) {
  EXPECT_EQ(IsUrl("HTTP://x/y"), 1);
  EXPECT_EQ(IsUrl("www.example.com/page.html"), 1);
  EXPECT_EQ(IsUrl("/docs/asphalt.doc"), 1);  // the "asp" marker
  EXPECT_EQ(IsUrl("/docs/report.company.doc"), 1);
  EXPECT_EQ(IsUrl("/docs/page.HTM"), 1);
  EXPECT_EQ(IsUrl("/docs/a.doc"), 0);
  EXPECT_TRUE(HasUrlPrefix("WWW.example.com"));
  EXPECT_FALSE(HasUrlPrefix("/www.example.com"));
}

TEST_F(WorkListTest, ListFiles) {
  std::string lst = Touch("jobs.lst", "a.doc\r\nb.doc\n\nc.doc\n");
  WorkList list;
  EXPECT_EQ(ReadListFile(lst, "/o/out.pdf", &list), 2);  // stops at the empty line
  EXPECT_EQ(list[0].inputPath, "a.doc");
  EXPECT_EQ(list[1].inputPath, "b.doc");
  EXPECT_EQ(list[1].outputPath, "/o/out.pdf");

  std::string longLine(300, 'x');
  lst = Touch("long.ver", longLine + "\n  spaced.doc \rrest");
  list.clear();
  EXPECT_EQ(ReadListFile(lst, "", &list), 4);
  EXPECT_EQ(list[0].inputPath.size(), 255u);
  EXPECT_EQ(list[1].inputPath.size(), 45u);
  EXPECT_EQ(list[2].inputPath, "  spaced.doc ");  // taken as written; a lone CR ends a line
  EXPECT_EQ(list[3].inputPath, "rest");          // a last line without a line break counts
  list.clear();
  EXPECT_EQ(ReadListFile(Touch("crlf.lst", "a\r\n\r\nb\r\n"), "", &list), 1);  // CR LF = LF
  list.clear();
  EXPECT_EQ(ReadListFile(Touch("crcrlf.lst", "a\r\r\nb\n"), "", &list), 2);
  EXPECT_EQ(list[0].inputPath, "a");  // cut at its CR
  list.clear();
  EXPECT_EQ(ReadListFile(P("missing.lst"), "", &list), 0);
}

TEST_F(WorkListTest, ListModeRulesForTheOutput) {
  std::string lst = Touch("jobs.lst", "a.doc\n");
  std::string out = Touch("out.pdf");
  std::string output = out;
  int mode = 0;
  WorkList list;
  BuildWorkList(lst, &output, &mode, &list);
  EXPECT_FALSE(platform::FileExists(out));  // -p 0 starts afresh
  EXPECT_EQ(mode, 2);
  Touch("out.pdf");
  Touch("out000.pdf");
  mode = 3;
  list.clear();
  BuildWorkList(lst, &output, &mode, &list);
  EXPECT_EQ(output, P("out001.pdf"));
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(list[0].outputPath, P("out001.pdf"));
  mode = 1;
  output = out;
  list.clear();
  BuildWorkList(lst, &output, &mode, &list);
  EXPECT_EQ(mode, 1);
  EXPECT_TRUE(platform::FileExists(out));
}

TEST_F(WorkListTest, DirectoriesPatternsAndSingleInputs) {
  Touch("a.doc");
  Touch("B.DOC");
  Touch("c.txt");
  Touch(".hidden");
  fs::create_directories(dir_ / "sub.doc");
  std::string output;
  int mode = 0;
  WorkList list;
  BuildWorkList(dir_.string(), &output, &mode, &list);
  EXPECT_EQ(Inputs(list), (std::vector<std::string>{P(".hidden"), P("B.DOC"), P("a.doc"), P("c.txt")}));
  list.clear();
  BuildWorkList(P("*.doc"), &output, &mode, &list);
  EXPECT_EQ(Inputs(list), (std::vector<std::string>{P("B.DOC"), P("a.doc")}));
  list.clear();
  BuildWorkList(P("a?.doc"), &output, &mode, &list);  // "?" alone is no pattern
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].inputPath, P("a?.doc"));
  list.clear();
  BuildWorkList(P("none*.doc"), &output, &mode, &list);
  EXPECT_TRUE(list.empty());
}

TEST_F(WorkListTest, OutputNames) {
  WorkList one{{"/in/a.doc", ""}};
  AssignOutputNames("/out/x.tif", &one);
  EXPECT_EQ(one[0].outputPath, "/out/x.tif");
  WorkList oneEmpty{{"/in/a.doc", ""}};
  AssignOutputNames("", &oneEmpty);
  EXPECT_EQ(oneEmpty[0].outputPath, "");

  WorkList star{{"/in/a.doc", ""}};
  AssignOutputNames("/out/*.tif", &star);
  EXPECT_EQ(star[0].outputPath, "/out/a.tif");

  WorkList many{{"/in/a.doc", ""}, {"/in/b.rtf", ""}, {"/in/c.doc", "/keep.pdf"}};
  AssignOutputNames("/out/result.pdf", &many);
  EXPECT_EQ(many[0].outputPath, "/out/a.pdf");
  EXPECT_EQ(many[1].outputPath, "/out/b.pdf");
  EXPECT_EQ(many[2].outputPath, "/keep.pdf");

  fs::create_directories(dir_ / "res.d");
  WorkList toDir{{"/in/a.doc", ""}, {"/in/b.doc", ""}};
  AssignOutputNames(P("res.d"), &toDir);
  EXPECT_EQ(toDir[0].outputPath, P("res.d/a.d"));
  WorkList toDirSlash{{"/in/a.doc", ""}, {"/in/b.doc", ""}};
  AssignOutputNames(P("res.d") + "/", &toDirSlash);
  EXPECT_EQ(toDirSlash[1].outputPath, P("res.d/b.pdf"));
  WorkList noOutput{{"/in/a.doc", ""}, {"/in2/b.doc", ""}};
  AssignOutputNames("", &noOutput);
  EXPECT_EQ(noOutput[1].outputPath, "/in2/b.pdf");
}

TEST_F(WorkListTest, FreeNumberedNames) {
  Touch("a.pdf");
  EXPECT_EQ(MakeFreeNumberedName(P("a.pdf")), P("a000.pdf"));
  Touch("a000.pdf");
  EXPECT_EQ(MakeFreeNumberedName(P("a.pdf")), P("a001.pdf"));
  for (int k = 1; k <= 4096; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "a%03d.pdf", k);
    Touch(name);
  }
  // Past the last three-digit names the count goes on rather than reuse one.
  EXPECT_EQ(MakeFreeNumberedName(P("a.pdf")), P("a4097.pdf"));
}

TEST_F(WorkListTest, SinglePageRename) {
  Touch("outline.tif", "keep");
  Touch("out_0001.tif", "page");
  EXPECT_EQ(RenameSinglePageOutput(P("out.tif")), 1);
  EXPECT_TRUE(platform::FileExists(P("out.tif")));
  EXPECT_FALSE(platform::FileExists(P("out_0001.tif")));
  EXPECT_TRUE(platform::FileExists(P("outline.tif")));

  Touch("two_0001.png");
  Touch("two_0002.png");
  EXPECT_EQ(RenameSinglePageOutput(P("two.png")), 0);  // pages keep their numbers
  EXPECT_TRUE(platform::FileExists(P("two_0002.png")));
  EXPECT_EQ(RenameSinglePageOutput(P("none.png")), 0);
  EXPECT_EQ(RenameSinglePageOutput(""), 0);
}

}  // namespace
}  // namespace scrivex
