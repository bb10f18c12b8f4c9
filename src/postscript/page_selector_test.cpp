#include "postscript/page_selector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;
using testing_util::BodyPages;
using testing_util::MakeDocument;
using testing_util::ReadAll;
using testing_util::ScratchDir;
using testing_util::StderrOf;

struct RunResult {
  int status;
  std::string output;
  std::string messages;
};

// Runs "psselect <options...> in.ps out.ps" on `document`.
RunResult Select(const ScratchDir& dir, const std::string& document,
                 std::vector<std::string> options) {
  std::vector<std::string> args = {"psselect"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(dir.Write("in.ps", document));
  args.push_back(dir.Path("out.ps"));
  RunResult r{};
  r.messages = StderrOf([&] { r.status = SelectPages(args); });
  r.output = ReadAll(dir.Path("out.ps"));
  std::filesystem::remove(dir.Path("out.ps"));
  return r;
}

TEST(SelectPages, SelectionIsRenumberedAndRepeatable) {
  ScratchDir dir;
  // With the PStoPS procset an empty page gets the transform.
  std::string doc =
      MakeDocument(10, "%%BeginProcSet: PStoPS 1 15\n/PStoPSxform 1 def\n%%EndProcSet\n");
  RunResult r = Select(dir, doc, {"-p2,_,3-4"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.output,
            "%!PS-Adobe-3.0\n%%Title: test\n%%Pages: 4 0\n%%EndComments\n"
            "%%BeginProlog\n/prolog-line true def\n%%BeginProcSet: PStoPS 1 15\n"
            "/PStoPSxform 1 def\n%%EndProcSet\n%%EndProlog\n"
            "%%BeginSetup\nsetup-line\n%%EndSetup\n"
            "%%Page: (L2) 1\nbody 2\nshowpage\n"
            "%%Page: * 2\nPStoPSxform concat\nshowpage\n"
            "%%Page: (L3) 3\nbody 3\nshowpage\n"
            "%%Page: (L4) 4\nbody 4\nshowpage\n"
            "%%Trailer\n%%Pages: 10\n%%EOF\n");
  EXPECT_EQ(r.messages,
            "[2][*][3][4]Wrote 4 pages, " + std::to_string(r.output.size()) + " bytes\n");
  RunResult again = Select(dir, doc, {"-p2,_,3-4"});
  EXPECT_EQ(again.output, r.output);
  EXPECT_EQ(again.messages, r.messages);
  // Without the procset the empty page is a bare showpage.
  EXPECT_THAT(Select(dir, MakeDocument(2), {"-q", "_"}).output,
              HasSubstr("%%Page: * 1\nshowpage\n%%Trailer"));
}

TEST(SelectPages, PageOrderFromRangesAndFlags) {
  ScratchDir dir;
  const std::pair<std::vector<std::string>, std::vector<int>> cases[] = {
      {{"-r", "-p1-3,5"}, {5, 3, 2, 1}},
      {{"-r", "-e"}, {6, 4, 2}},
      {{"-e", "-o"}, {1, 2, 3, 4, 5, 6}},
      {{"-o"}, {1, 3, 5}},
      {{"-eo"}, {2, 4, 6}},
      {{"_3-_1"}, {4, 5, 6}},
      {{"5-3"}, {5, 4, 3}},
      {{"-p4", "-p1-2"}, {4, 1, 2}},  // several -p options run in text order
      // Pages beyond the count are skipped; "k-" never turns around.
      {{"7-"}, {}},
      {{"-r", "-p4-"}, {6, 5, 4}},
      {{"8-5"}, {6, 5}},
  };
  for (const auto& [flags, want] : cases) {
    std::vector<std::string> options = {"-q"};
    options.insert(options.end(), flags.begin(), flags.end());
    RunResult r = Select(dir, MakeDocument(6), options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(BodyPages(r.output), want) << ::testing::PrintToString(flags);
    EXPECT_EQ(r.messages, "");
  }
  EXPECT_THAT(Select(dir, MakeDocument(6), {"-q", "7-"}).output, HasSubstr("%%Pages: 0 0\n"));
}

TEST(SelectPages, EmbeddedDocumentsContributeNoPages) {
  ScratchDir dir;
  const std::string inner =
      "%%BeginDocument: inner.eps\n%%BeginProlog\n%%Page: x 1\nbody 100\n%%EndSetup\n"
      "%%Trailer\n%%EOF\n%%EndDocument\n";
  const std::string head =
      "%!PS-Adobe-3.0\n%%Pages: 2\n%%EndComments\n%%BeginProlog\n%%EndProlog\n";
  RunResult r = Select(
      dir, head + "%%Page: a 1\nbody 1\n" + inner + "%%Page: b 2\nbody 2\n%%Trailer\n%%EOF\n",
      {"-q", "-r"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.output,
            "%!PS-Adobe-3.0\n%%Pages: 2 0\n%%EndComments\n%%BeginProlog\n%%EndProlog\n"
            "%%Page: b 1\nbody 2\n%%Page: a 2\nbody 1\n" +
                inner + "%%Trailer\n%%EOF\n");
}

TEST(SelectPages, StrayEndDocumentStopsPageRecognitionAndTrailerEndsTheScan) {
  ScratchDir dir;
  std::string doc =
      "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\nbody 1\n%%EndDocument\n"
      "%%Page: 2 2\nbody 2\n%%Trailer\nafter\n";
  // Everything after the stray line, the second page and trailer included, is page 1.
  EXPECT_EQ(Select(dir, doc, {"-q", "-p2"}).output, "%!PS-Adobe-3.0\n%%EndComments\n");
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-p1"}).output), ElementsAre(1, 2));
  // The trailer's %%Pages: line and anything after it are copied unchanged.
  const std::string tail = "%%Page: 1 1\nbody 1\n%%Trailer\n%%Pages: 2\n%%Page: 2 2\nbody 2\n";
  EXPECT_EQ(Select(dir, "%!PS-Adobe-3.0\n%%Pages: (atend)\n%%EndComments\n" + tail, {"-q", "-p1-"})
                .output,
            "%!PS-Adobe-3.0\n%%Pages: 1 0\n%%EndComments\n" + tail);
}

TEST(SelectPages, LinesOver511BytesAreReadInPieces) {
  ScratchDir dir;
  const std::string head = "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\n";
  const std::string longLine(5000, 'x');
  EXPECT_EQ(
      Select(dir, head + longLine + "\n%%Page: 2 2\n%" + longLine + "%%Page: 9 9\n", {"-q", "2"})
          .output,
      "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 2 1\n%" + longLine + "%%Page: 9 9\n");
  // A piece that starts with "%%Page:" is a page line, wherever the line began.
  auto pagesAfter = [&](const std::string& line) {
    return BodyPages(Select(dir, head + line + "%%Page: 7 7\nbody 2\n", {"-q", "2"}).output);
  };
  EXPECT_THAT(pagesAfter(std::string(511, 'x')), ElementsAre(2));
  EXPECT_THAT(pagesAfter(std::string(512, 'x')), ElementsAre());
  EXPECT_THAT(pagesAfter(std::string(510, 'x') + "\n"), ElementsAre(2));
}

TEST(SelectPages, BinaryBytesAndNestedLabelsSurvive) {
  ScratchDir dir;
  const std::string body("bin\0ary\r\ndata\n", 14);
  RunResult r = Select(
      dir, "%!PS-Adobe-3.0\n%%EndComments\n%%Page:\t(a (b) c) 1\n" + body + "%%Page: x\nbody 2\n",
      {"-q", "2,1"});
  EXPECT_EQ(r.output,
            "%!PS-Adobe-3.0\n%%EndComments\n%%Page: x 1\nbody 2\n%%Page: (a (b) c) 2\n" + body);
}

TEST(SelectPages, FatalErrorsReturnOneWithTheirMessageAndLeaveNoOutput) {
  ScratchDir dir;
  const std::string in = dir.Write("in.ps", MakeDocument(3));
  const std::string bad = dir.Write("bad.ps", "%!PS-Adobe-3.0\n%%Page: (open 1\nbody 1\n");
  const std::string out = dir.Path("out.ps");
  const std::string range = "psselect: invalid page range\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-p1-2-3", in, out}, range},
      {{"a", in, out}, range},
      {{"-q", "1", bad, out}, "psselect: Bad page label while seeking page 0\n"},
      {{"1", dir.Path("missing.ps"), out},
       "psselect: can't open input file " + dir.Path("missing.ps") + "\n"},
      {{"1", in, dir.Path("no/dir/o.ps")},
       "psselect: can't open output file " + dir.Path("no/dir/o.ps") + "\n"},
      {{"-x", in, out},
       "psselect release 1 patchlevel 17\n"
       "Usage: psselect [-q] [-e] [-o] [-r] [-p<pages>] [infile [outfile]]\n"},
  };
  for (const auto& [options, message] : cases) {
    std::vector<std::string> args = {"psselect"};
    args.insert(args.end(), options.begin(), options.end());
    int status = 0;
    EXPECT_EQ(StderrOf([&] { status = SelectPages(args); }), message);
    EXPECT_EQ(status, 1) << message;
    EXPECT_THAT(dir.Names(), UnorderedElementsAre("in.ps", "bad.ps"));
  }
}

TEST(SelectPostScriptPages, FatalErrorEndsOnlyTheSelection) {
  ScratchDir dir;
  std::string in = dir.Write("in.ps", "%!PS-Adobe-3.0\n%%Page: (bad\nx\n");
  std::string out = dir.Path("sel.ps");
  int result = -1;
  EXPECT_EQ(StderrOf([&] { result = SelectPostScriptPages(in, out, 1, 1); }),
            "scrivex.exe: Bad page label while seeking page 0\n");
  EXPECT_EQ(result, 0);
  EXPECT_THAT(dir.Names(), ElementsAre("in.ps"));

  // An existing output survives a failed selection untouched.
  dir.Write("sel.ps", "keep me");
  EXPECT_EQ(StderrOf([&] { result = SelectPostScriptPages(dir.Path("missing.ps"), out, 1, 1); }),
            "scrivex.exe: can't open input file " + dir.Path("missing.ps") + "\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadAll(out), "keep me");
  EXPECT_EQ(dir.Names().size(), 2u);

  // The process goes on: the next selection works.
  dir.Write("good.ps", MakeDocument(5));
  std::string messages =
      StderrOf([&] { result = SelectPostScriptPages(dir.Path("good.ps"), out, 2, 4); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(messages,
            "[2][3][4]Wrote 3 pages, " + std::to_string(ReadAll(out).size()) + " bytes\n");
  EXPECT_THAT(BodyPages(ReadAll(out)), ElementsAre(2, 3, 4));
}

}  // namespace
}  // namespace scrivex
