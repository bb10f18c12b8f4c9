#include "postscript/page_selector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing_util::BodyPages;
using testing_util::MakeDocument;
using testing_util::ReadAll;
using testing_util::ScratchDir;

struct RunResult {
  int status;
  std::string output;
  std::string messages;
};

// Runs the selector as "psselect <options...> <input> <output>".
RunResult Select(const ScratchDir& dir, const std::string& document,
                 std::vector<std::string> options) {
  std::string in = dir.Write("in.ps", document);
  std::string out = dir.Path("out.ps");
  std::vector<std::string> args = {"psselect"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(in);
  args.push_back(out);
  ::testing::internal::CaptureStderr();
  int status = SelectPages(args);
  std::string messages = ::testing::internal::GetCapturedStderr();
  RunResult r{status, ReadAll(out), messages};
  std::filesystem::remove(out);
  return r;
}

TEST(SelectPages, RangeOfTenPagesRenumbersAndCorrectsCount) {
  ScratchDir dir;
  RunResult r = Select(dir, MakeDocument(10), {"-p2-4"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.output,
            "%!PS-Adobe-3.0\n%%Title: test\n%%Pages: 3 0\n%%EndComments\n"
            "%%BeginProlog\n/prolog-line true def\n%%EndProlog\n"
            "%%BeginSetup\nsetup-line\n%%EndSetup\n"
            "%%Page: (L2) 1\nbody 2\nshowpage\n"
            "%%Page: (L3) 2\nbody 3\nshowpage\n"
            "%%Page: (L4) 3\nbody 4\nshowpage\n"
            "%%Trailer\n%%Pages: 10\n%%EOF\n");
  EXPECT_EQ(r.messages, "[2][3][4]Wrote 3 pages, " + std::to_string(r.output.size()) + " bytes\n");
}

TEST(SelectPages, PagesBeyondTheCountAreSkipped) {
  ScratchDir dir;
  RunResult r = Select(dir, MakeDocument(2), {"-q", "3-"});
  ASSERT_EQ(r.status, 0);
  EXPECT_THAT(r.output, HasSubstr("%%Pages: 0 0\n"));
  EXPECT_TRUE(BodyPages(r.output).empty());
  EXPECT_EQ(r.messages, "");
  r = Select(dir, MakeDocument(3), {"-q", "-p2-100000000"});
  EXPECT_THAT(BodyPages(r.output), ElementsAre(2, 3));
  EXPECT_TRUE(BodyPages(Select(dir, MakeDocument(2), {"-q", "-r", "-p3-"}).output).empty());
  EXPECT_THAT(BodyPages(Select(dir, MakeDocument(4), {"-q", "-r", "-p2-"}).output),
              ElementsAre(4, 3, 2));
  EXPECT_THAT(BodyPages(Select(dir, MakeDocument(4), {"-q", "6-3"}).output), ElementsAre(4, 3));
}

TEST(SelectPages, ReverseEvenOddAndNegativePages) {
  ScratchDir dir;
  std::string doc = MakeDocument(6);
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-r"}).output), ElementsAre(6, 5, 4, 3, 2, 1));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-r", "-p1-3,5"}).output), ElementsAre(5, 3, 2, 1));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-e", "-o"}).output),
              ElementsAre(1, 2, 3, 4, 5, 6));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-e", "-p1-4"}).output), ElementsAre(2, 4));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-o"}).output), ElementsAre(1, 3, 5));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-eo"}).output), ElementsAre(2, 4, 6));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "_3-_1"}).output), ElementsAre(4, 5, 6));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-p_1"}).output), ElementsAre(6));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "5-3"}).output), ElementsAre(5, 4, 3));
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-p-5", "-p6"}).output).size(), 6u);
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-p_20-2"}).output), ElementsAre(1, 2));
  // Ranges of several -p options run in text order.
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-p4", "-p1-2"}).output), ElementsAre(4, 1, 2));
}

TEST(SelectPages, EmptyPageWithAndWithoutProcset) {
  ScratchDir dir;
  RunResult r = Select(dir, MakeDocument(2), {"-p1,_,2"});
  ASSERT_EQ(r.status, 0);
  EXPECT_THAT(r.output, HasSubstr("%%Page: (L1) 1\nbody 1\nshowpage\n"
                                  "%%Page: * 2\nshowpage\n"
                                  "%%Page: (L2) 3\nbody 2\n"));
  EXPECT_THAT(r.messages, HasSubstr("[1][*][2]Wrote 3 pages"));

  r = Select(dir,
             MakeDocument(2, "%%BeginProcSet: PStoPS 1 15\n/PStoPSxform 1 def\n%%EndProcSet\n"),
             {"-q", "_"});
  EXPECT_THAT(r.output, HasSubstr("%%Pages: 1 0\n"));
  EXPECT_THAT(r.output, HasSubstr("%%Page: * 1\nPStoPSxform concat\nshowpage\n%%Trailer"));
}

TEST(SelectPages, EmbeddedDocumentsContributeNoPages) {
  ScratchDir dir;
  std::string doc =
      "%!PS-Adobe-3.0\n%%Pages: 2\n%%EndComments\n%%BeginProlog\n%%EndProlog\n"
      "%%Page: a 1\nbody 1\n"
      "%%BeginDocument: inner.eps\n%%BeginProlog\n%%Page: x 1\nbody 100\n%%EndSetup\n"
      "%%Trailer\n%%EOF\n%%EndDocument\n"
      "%%Page: b 2\nbody 2\n%%Trailer\n%%EOF\n";
  RunResult r = Select(dir, doc, {"-q", "-r"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.output,
            "%!PS-Adobe-3.0\n%%Pages: 2 0\n%%EndComments\n%%BeginProlog\n%%EndProlog\n"
            "%%Page: b 1\nbody 2\n"
            "%%Page: a 2\nbody 1\n"
            "%%BeginDocument: inner.eps\n%%BeginProlog\n%%Page: x 1\nbody 100\n%%EndSetup\n"
            "%%Trailer\n%%EOF\n%%EndDocument\n"
            "%%Trailer\n%%EOF\n");
}

TEST(SelectPages, UnmatchedEndDocumentStopsPageRecognition) {
  ScratchDir dir;
  std::string doc =
      "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\nbody 1\n%%EndDocument\n"
      "%%Page: 2 2\nbody 2\n%%Trailer\nafter\n";
  RunResult r = Select(dir, doc, {"-q", "-p2"});
  ASSERT_EQ(r.status, 0);
  // One page only; everything after it, the second %%Page: and the trailer
  // included, belongs to page 1, so page 2 is beyond the end.
  EXPECT_TRUE(BodyPages(r.output).empty());
  EXPECT_EQ(r.output, "%!PS-Adobe-3.0\n%%EndComments\n");
  EXPECT_THAT(BodyPages(Select(dir, doc, {"-q", "-p1"}).output), ElementsAre(1, 2));
}

TEST(SelectPages, TrailerEndsTheScan) {
  ScratchDir dir;
  std::string doc =
      "%!PS-Adobe-3.0\n%%Pages: (atend)\n%%EndComments\n%%Page: 1 1\nbody 1\n"
      "%%Trailer\n%%Pages: 2\n%%Page: 2 2\nbody 2\n";
  RunResult r = Select(dir, doc, {"-q", "-p1-"});
  ASSERT_EQ(r.status, 0);
  // The trailer's %%Pages: line and anything after it are copied unchanged.
  EXPECT_EQ(r.output,
            "%!PS-Adobe-3.0\n%%Pages: 1 0\n%%EndComments\n%%Page: 1 1\nbody 1\n"
            "%%Trailer\n%%Pages: 2\n%%Page: 2 2\nbody 2\n");
}

TEST(SelectPages, SecondRunGivesTheSameOutput) {
  ScratchDir dir;
  std::string doc = MakeDocument(7, "%%BeginProcSet: PStoPS\n%%EndProcSet\n");
  RunResult a = Select(dir, doc, {"-r", "-p_,2-5"});
  RunResult b = Select(dir, doc, {"-r", "-p_,2-5"});
  ASSERT_EQ(a.status, 0);
  EXPECT_EQ(a.output, b.output);
  EXPECT_EQ(a.messages,
            "[5][4][3][2][*]Wrote 5 pages, " + std::to_string(a.output.size()) + " bytes\n");
  EXPECT_EQ(a.messages, b.messages);
}

TEST(SelectPages, LongLinesAreCopiedWhole) {
  ScratchDir dir;
  std::string longLine(5000, 'x');
  std::string doc = "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\n" + longLine + "\n" +
                    "%%Page: 2 2\n%" + longLine + "%%Page: 9 9\n" + "\n%%Trailer\n";
  RunResult r = Select(dir, doc, {"-q", "2"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 2 1\n%" + longLine +
                          "%%Page: 9 9\n\n%%Trailer\n");
}

TEST(SelectPages, LinesAreReadInPiecesOf511Bytes) {
  ScratchDir dir;
  // A piece that starts with "%%Page:" counts as a page line, wherever the
  // line began.
  auto doc = [](size_t fill) {
    return "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\n" + std::string(fill, 'x') +
           "%%Page: 7 7\nbody 2\n";
  };
  EXPECT_THAT(BodyPages(Select(dir, doc(511), {"-q", "2"}).output), ElementsAre(2));
  EXPECT_TRUE(BodyPages(Select(dir, doc(510), {"-q", "2"}).output).empty());
  EXPECT_TRUE(BodyPages(Select(dir, doc(512), {"-q", "2"}).output).empty());
  // A 510-byte line and its line feed make one piece.
  std::string exact = "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\n" + std::string(510, 'y') +
                      "\n%%Page: 2 2\nbody 2\n";
  EXPECT_THAT(BodyPages(Select(dir, exact, {"-q", "2"}).output), ElementsAre(2));
}

TEST(SelectPages, NulBytesAndCarriageReturnsSurvive) {
  ScratchDir dir;
  std::string body("bin\0ary\r\ndata\n", 14);
  std::string doc = "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n" + body + "%%EOF\n";
  RunResult r = Select(dir, doc, {"-q", "1"});
  EXPECT_EQ(r.output,
            "%!PS-Adobe-3.0\n%%Pages: 1 0\n%%EndComments\n%%Page: 1 1\n" + body + "%%EOF\n");
}

TEST(SelectPages, LabelsKeepNestedParentheses) {
  ScratchDir dir;
  std::string doc =
      "%!PS-Adobe-3.0\n%%EndComments\n%%Page:\t(a (b) c) 1\nbody 1\n%%Page: x\nbody 2\n";
  RunResult r = Select(dir, doc, {"-q", "2,1"});
  EXPECT_THAT(r.output, HasSubstr("%%Page: x 1\nbody 2\n%%Page: (a (b) c) 2\nbody 1\n"));
}

TEST(SelectPages, FatalErrorsReturnOneWithTheirMessage) {
  ScratchDir dir;
  std::string doc = MakeDocument(3);
  struct Case {
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {{"-p1-2-3"}, "psselect: invalid page range\n"},
      {{"a"}, "psselect: invalid page range\n"},
      {{"-p"}, "psselect: invalid page range\n"},
  };
  for (const Case& c : cases) {
    RunResult r = Select(dir, doc, c.options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.messages, c.message);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.ps")));
  }
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPages({"psselect", "1", dir.Path("missing.ps"), dir.Path("o.ps")}), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "psselect: can't open input file " + dir.Path("missing.ps") + "\n");
  std::string in = dir.Write("in.ps", doc);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPages({"psselect", "1", in, dir.Path("no/such/dir/o.ps")}), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "psselect: can't open output file " + dir.Path("no/such/dir/o.ps") + "\n");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPages({"psselect", "-p1", in, dir.Path("o.ps"), "surplus"}), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "psselect release 1 patchlevel 17\n"
            "Usage: psselect [-q] [-e] [-o] [-r] [-p<pages>] [infile [outfile]]\n");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("o.ps")));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPages({"prog", "-x"}), 1);
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("prog release 1 patchlevel 17"));
}

TEST(SelectPages, BadPageLabelIsFatalAndLeavesNoOutput) {
  ScratchDir dir;
  std::string doc = "%!PS-Adobe-3.0\n%%EndComments\n%%Page: (open 1\nbody 1\n";
  RunResult r = Select(dir, doc, {"-q", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.messages, "psselect: Bad page label while seeking page 0\n");
  EXPECT_THAT(dir.Names(), ElementsAre("in.ps"));
}

TEST(SelectPostScriptPages, WritesTheRangeAndReportsSuccess) {
  ScratchDir dir;
  std::string in = dir.Write("in.ps", MakeDocument(5));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPostScriptPages(in, dir.Path("sel.ps"), 2, 3), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[2][3]Wrote 2 pages, " +
                std::to_string(std::filesystem::file_size(dir.Path("sel.ps"))) + " bytes\n");
  EXPECT_THAT(BodyPages(ReadAll(dir.Path("sel.ps"))), ElementsAre(2, 3));
}

TEST(SelectPostScriptPages, FatalErrorEndsOnlyTheSelection) {
  ScratchDir dir;
  std::string in = dir.Write("in.ps", "%!PS-Adobe-3.0\n%%Page: (bad\nx\n");
  std::string out = dir.Path("sel.ps");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPostScriptPages(in, out, 1, 1), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "scrivex.exe: Bad page label while seeking page 0\n");
  EXPECT_THAT(dir.Names(), ElementsAre("in.ps"));

  // An existing output survives a failed selection untouched.
  dir.Write("sel.ps", "keep me");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPostScriptPages(dir.Path("missing.ps"), out, 1, 1), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "scrivex.exe: can't open input file " + dir.Path("missing.ps") + "\n");
  EXPECT_EQ(ReadAll(out), "keep me");
  EXPECT_EQ(dir.Names().size(), 2u);

  // The process goes on: the next selection works.
  dir.Write("good.ps", MakeDocument(2));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SelectPostScriptPages(dir.Path("good.ps"), out, 2, 2), 1);
  ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(BodyPages(ReadAll(out)), ElementsAre(2));
}

}  // namespace
}  // namespace scrivex
