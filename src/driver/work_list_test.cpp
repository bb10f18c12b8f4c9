#include "driver/work_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/test_support.h"

namespace scrivex {
namespace {

using Names = std::vector<std::string>;

Names Inputs(const WorkList& list) {
  Names out;
  for (const auto& item : list) out.push_back(item.inputPath);
  std::sort(out.begin(), out.end());
  return out;
}

Names Outputs(const std::string& output, WorkList list) {
  AssignOutputNames(output, &list);
  Names out;
  for (const auto& item : list) out.push_back(item.outputPath);
  return out;
}

TEST(WorkList, UrlTests) {
  for (const char* url : {"HTTP://x/y", "www.example.com/page.html", "/docs/asphalt.doc",
                          "/docs/report.company.doc", "/docs/page.HTM"}) {
    EXPECT_EQ(IsUrl(url), 1) << url;
  }
  EXPECT_EQ(IsUrl("/docs/a.doc"), 0);
  EXPECT_TRUE(HasUrlPrefix("WWW.example.com"));
  EXPECT_FALSE(HasUrlPrefix("/www.example.com"));
}

// Stopping at the first empty line and CR LF endings are checked end to end.
TEST(WorkList, ListFileLines) {
  test::ScratchDir dir;
  WorkList list;
  EXPECT_EQ(ReadListFile(dir.Write("a.lst", std::string(300, 'x') + "\n  spaced.doc \rrest"), "/o.pdf", &list), 4);
  EXPECT_EQ(list[0].inputPath.size(), 255u);
  EXPECT_EQ(list[1].inputPath.size(), 45u);
  EXPECT_EQ(list[2].inputPath, "  spaced.doc ");  // taken as written; a lone CR ends a line
  EXPECT_EQ(list[3].inputPath, "rest");          // a last line without a line break counts
  EXPECT_EQ(list[3].outputPath, "/o.pdf");
  list.clear();
  EXPECT_EQ(ReadListFile(dir.Write("b.lst", "a\r\r\nb\n"), "", &list), 2);
  EXPECT_EQ(list[0].inputPath, "a");
  EXPECT_EQ(ReadListFile(dir.Path("missing.lst"), "", &list), 0);
}

TEST(WorkList, ListModeRulesForTheOutput) {
  test::ScratchDir dir;
  std::string lst = dir.Write("jobs.lst", "a.doc\n"), output = dir.Write("out.pdf", "x");
  int mode = 0;
  WorkList list;
  BuildWorkList(lst, &output, &mode, &list);
  // -p 0: the first entry to convert replaces the output, the rest append;
  // until then the output stays.
  EXPECT_EQ(test::ReadBytes(output), "x");
  EXPECT_EQ(mode, 2);
  EXPECT_TRUE(list.back().replacesOutput);
  dir.Write("out000.pdf", "x");
  mode = 3;
  BuildWorkList(lst, &output, &mode, &list);
  EXPECT_EQ(output, dir.Path("out001.pdf"));
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(list.back().outputPath, dir.Path("out001.pdf"));
  EXPECT_FALSE(list.back().replacesOutput);
  mode = 1;
  output = dir.Path("out.pdf");
  BuildWorkList(lst, &output, &mode, &list);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(test::ReadBytes(output), "x");
}

TEST(WorkList, DirectoriesAndPatterns) {
  test::ScratchDir dir;
  for (const char* name : {"a.doc", "B.DOC", "c.txt", ".hidden"}) dir.Write(name, "x");
  std::filesystem::create_directories(dir.Path("sub.doc"));
  std::string output;
  int mode = 0;
  auto build = [&](const std::string& input) {
    WorkList list;
    BuildWorkList(input, &output, &mode, &list);
    return Inputs(list);
  };
  EXPECT_EQ(build(dir.Path()),
            (Names{dir.Path(".hidden"), dir.Path("B.DOC"), dir.Path("a.doc"), dir.Path("c.txt")}));
  EXPECT_EQ(build(dir.Path("*.doc")), (Names{dir.Path("B.DOC"), dir.Path("a.doc")}));
  EXPECT_EQ(build(dir.Path("a?.doc")), Names{dir.Path("a?.doc")});  // "?" alone is no pattern
}

TEST(WorkList, OutputNames) {
  test::ScratchDir dir;
  std::filesystem::create_directories(dir.Path("res.d"));
  const WorkList one{{"/in/a.doc", ""}}, two{{"/in/a.doc", ""}, {"/in2/b.rtf", ""}};
  EXPECT_EQ(Outputs("/out/x.tif", one), Names{"/out/x.tif"});
  EXPECT_EQ(Outputs("", one), Names{""});
  EXPECT_EQ(Outputs("/out/*.tif", one), Names{"/out/a.tif"});
  EXPECT_EQ(Outputs("/out/result.pdf", two), (Names{"/out/a.pdf", "/out/b.pdf"}));
  EXPECT_EQ(Outputs(dir.Path("res.d"), two), (Names{dir.Path("res.d/a.d"), dir.Path("res.d/b.d")}));
  EXPECT_EQ(Outputs(dir.Path("res.d/"), two), (Names{dir.Path("res.d/a.pdf"), dir.Path("res.d/b.pdf")}));
  EXPECT_EQ(Outputs("", two), (Names{"/in/a.pdf", "/in2/b.pdf"}));
  EXPECT_EQ(Outputs("/out/r.pdf", {{"/in/c.doc", "/keep.pdf"}, {"/in/d.doc", ""}}),
            (Names{"/keep.pdf", "/out/d.pdf"}));
}

TEST(WorkList, FreeNumberedNames) {
  test::ScratchDir dir;
  for (int k = 0; k <= 4096; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "a%03d.pdf", k);
    dir.Write(name, "x");
  }
  // Past the last three-digit names the count goes on rather than reuse one.
  EXPECT_EQ(MakeFreeNumberedName(dir.Path("a.pdf")), dir.Path("a4097.pdf"));
}

TEST(WorkList, SinglePageRename) {
  test::ScratchDir dir;
  dir.Write("outline.tif", "keep");
  dir.Write("out_0001.tif", "page");
  EXPECT_EQ(RenameSinglePageOutput(dir.Path("out.tif")), 1);
  EXPECT_EQ(dir.Files(), (Names{"out.tif", "outline.tif"}));
  dir.Write("two_0001.png", "1");
  dir.Write("two_0002.png", "2");
  EXPECT_EQ(RenameSinglePageOutput(dir.Path("two.png")), 0);  // pages keep their numbers
  EXPECT_EQ(RenameSinglePageOutput(dir.Path("none.png")), 0);
  EXPECT_EQ(RenameSinglePageOutput(""), 0);
  EXPECT_EQ(dir.Files(), (Names{"out.tif", "outline.tif", "two_0001.png", "two_0002.png"}));
}

}  // namespace
}  // namespace scrivex
