#include "postscript/page_selector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>

#include "platform/test_support.h"
#include "postscript/page_range.h"
#include "postscript/ps_extent.h"
#include "postscript/report_message.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using test::ReadBytes;
using test::ScratchDir;

// What `f` writes on standard error.
template <class F>
std::string StderrOf(F&& f) {
  ::testing::internal::CaptureStderr();
  f();
  return ::testing::internal::GetCapturedStderr();
}

// A DSC document: header, prolog, setup, `pages` pages labelled "(Lp)" with
// body "body p", and a trailer.
std::string MakeDocument(int pages, const std::string& extraProlog = "") {
  std::ostringstream s;
  s << "%!PS-Adobe-3.0\n%%Title: test\n%%Pages: " << pages << "\n%%EndComments\n";
  s << "%%BeginProlog\n/prolog-line true def\n" << extraProlog << "%%EndProlog\n";
  s << "%%BeginSetup\nsetup-line\n%%EndSetup\n";
  for (int p = 1; p <= pages; ++p) {
    s << "%%Page: (L" << p << ") " << p << "\nbody " << p << "\nshowpage\n";
  }
  s << "%%Trailer\n%%Pages: " << pages << "\n%%EOF\n";
  return s.str();
}

// The "body N" lines of an output, as the page numbers N, in order.
std::vector<int> BodyPages(const std::string& text) {
  std::vector<int> pages;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("body ", 0) == 0) pages.push_back(std::stoi(line.substr(5)));
  }
  return pages;
}

struct RunResult {
  int status;
  std::string output, messages;
};

// Runs "psselect <args...> in.ps out.ps" on `document`.
RunResult Select(const ScratchDir& dir, const std::string& document, std::vector<std::string> args) {
  args.insert(args.begin(), "psselect");
  args.push_back(dir.Write("in.ps", document));
  args.push_back(dir.Path("out.ps"));
  RunResult r{};
  r.messages = StderrOf([&] { r.status = SelectPages(args); });
  r.output = ReadBytes(dir.Path("out.ps"));
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
}

TEST(SelectPages, PageOrderFromRangesAndFlags) {
  ScratchDir dir;
  const std::pair<std::vector<std::string>, std::vector<int>> cases[] = {
      {{"-r", "-e"}, {6, 4, 2}},
      {{"-e", "-o"}, {1, 2, 3, 4, 5, 6}},
      {{"-o"}, {1, 3, 5}},
      {{"-eo"}, {2, 4, 6}},
      {{"_3-_1"}, {4, 5, 6}},
      {{"-p4", "-p1-2"}, {4, 1, 2}},  // several -p options run in text order
      // Pages beyond the count are skipped; only "k-" never turns around.
      {{"7-"}, {}},
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

// Documents whose structure the page scan must take as it is, and the output
// expected from the options.
TEST(SelectPages, StructureIsCopiedAsFound) {
  const std::string head = "%!PS-Adobe-3.0\n%%EndComments\n";
  const std::string inner =
      "%%BeginDocument: inner.eps\n%%BeginProlog\n%%Page: x 1\nbody 100\n%%EndSetup\n"
      "%%Trailer\n%%EOF\n%%EndDocument\n";
  const std::string stray = head + "%%Page: 1 1\nbody 1\n%%EndDocument\n%%Page: 2 2\nbody 2\n%%Trailer\n";
  const std::string tail = "%%Page: 1 1\nbody 1\n%%Trailer\n%%Pages: 2\n%%Page: 2 2\nbody 2\n";
  const std::string binary("bin\0ary\r\ndata\n", 14);
  const std::string page1 = head + "%%Page: 1 1\n", x = std::string(5000, 'x'), page7 = "%%Page: 7 7\nb\n";
  const struct {
    std::string document, pages, output;
  } cases[] = {
      // An embedded document's pages are not pages of the document.
      {head + "%%Page: a 1\nbody 1\n" + inner + "%%Page: b 2\nbody 2\n", "2,1",
       head + "%%Page: b 1\nbody 2\n%%Page: a 2\nbody 1\n" + inner},
      // After a stray %%EndDocument no page starts: all the rest is page 1.
      {stray, "2", head},
      // The trailer ends the scan: its %%Pages: line and what follows stay as they are.
      {"%!PS-Adobe-3.0\n%%Pages: (atend)\n%%EndComments\n" + tail, "1-",
       "%!PS-Adobe-3.0\n%%Pages: 1 0\n%%EndComments\n" + tail},
      {head + "%%Page:\t(a (b) c) 1\n" + binary + "%%Page: x\nbody 2\n", "2,1",
       head + "%%Page: x 1\nbody 2\n%%Page: (a (b) c) 2\n" + binary},
      // Lines are read in 511-byte pieces; a piece that starts with "%%Page:" is a page line.
      {page1 + x + "\n%%Page: 2 2\n%" + x + "%%Page: 9 9\n", "2", head + "%%Page: 2 1\n%" + x + "%%Page: 9 9\n"},
      {page1 + x.substr(0, 511) + page7, "2", head + "%%Page: 7 1\nb\n"},
      {page1 + x.substr(0, 510) + "\n" + page7, "2", head + "%%Page: 7 1\nb\n"},
      {page1 + x.substr(0, 512) + page7, "2", head},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    EXPECT_EQ(Select(dir, c.document, {"-q", c.pages}).output, c.output) << c.document.substr(0, 120);
  }
}

TEST(SelectPages, FatalErrorsReturnOneWithTheirMessageAndLeaveNoOutput) {
  ScratchDir dir;
  const std::string in = dir.Write("in.ps", MakeDocument(3));
  const std::string out = dir.Path("out.ps");
  const std::string range = "psselect: invalid page range\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"psselect", "-p1-2-3", in, out}, range},
      {{"psselect", "1", dir.Path("missing.ps"), out},
       "psselect: can't open input file " + dir.Path("missing.ps") + "\n"},
      {{"psselect", "1", in, dir.Path("no/dir/o.ps")},
       "psselect: can't open output file " + dir.Path("no/dir/o.ps") + "\n"},
      {{"psselect", "-x", in, out},
       "psselect release 1 patchlevel 17\n"
       "Usage: psselect [-q] [-e] [-o] [-r] [-p<pages>] [infile [outfile]]\n"},
  };
  for (const auto& [args, message] : cases) {
    int status = 0;
    EXPECT_EQ(StderrOf([&] { status = SelectPages(args); }), message);
    EXPECT_EQ(status, 1) << message;
    EXPECT_THAT(dir.Files(), ElementsAre("in.ps"));
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
  EXPECT_THAT(dir.Files(), ElementsAre("in.ps"));
  // The process goes on: the next selection works.
  dir.Write("good.ps", MakeDocument(5));
  StderrOf([&] { result = SelectPostScriptPages(dir.Path("good.ps"), out, 2, 4); });
  EXPECT_EQ(result, 1);
  EXPECT_THAT(BodyPages(ReadBytes(out)), ElementsAre(2, 3, 4));
}

// A file far larger than memory budgets, made sparse so it costs no disk.
long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(LargeFiles, ScannedAsStreamsWithOffsetsBeyond2GiB) {
  // Holes read fastest from a memory file system.
  std::error_code ec;
  ScratchDir dir(std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "");
  long before = PeakRssKb();
  const std::string head =
      "%!PS-Adobe-3.0\n%%HiResBoundingBox: (atend)\n%%Pages: 2\n%%EndComments\n"
      "%%Page: 1 1\nbody 1\n%%BeginBinary: 1\n";
  std::string doc = dir.Write("big.ps", head);
  std::filesystem::resize_file(doc, head.size() + 2100ull * 1024 * 1024);  // past 32-bit offsets
  std::ofstream(doc, std::ios::binary | std::ios::app)
      << "\n%%EndBinary\n%%Page: 2 2\nbody 2\n%%Trailer\n%%BoundingBox: 1 2 30 40\n%%EOF\n";
  int status = -1;
  StderrOf([&] { status = SelectPages({"psselect", "-q", "-p2", doc, dir.Path("out.ps")}); });
  ASSERT_EQ(status, 0);
  std::string out = ReadBytes(dir.Path("out.ps"));
  EXPECT_THAT(BodyPages(out), ElementsAre(2));
  EXPECT_LT(out.size(), 1000u);
  Box box{};
  EXPECT_EQ(ReadBoundingBox(doc, &box), 1);
  EXPECT_EQ(box.urx, 30);
  EXPECT_LT(PeakRssKb() - before, 100 * 1024);
}

// "first:last" per range, "+" when it runs to the end; "bad" when refused.
std::string RangesOf(std::string_view text) {
  std::vector<PageRange> ranges;
  if (!AddPageRanges(text, &ranges)) return "bad";
  std::string out;
  for (auto& r : ranges) {
    out += (out.empty() ? "" : " ") + std::to_string(r.first) + ":" + std::to_string(r.last) +
           (r.toEnd ? "+" : "");
  }
  return out;
}

// Ranges the selector tests do not already run through a document.
TEST(PageRanges, ParseAndResolve) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"-5", "1:5"},      {"7:", "7:-1+"},  {"_1", "-1:-1"},  {"4-_", "4:-1+"},
      {"3-_1", "3:-1"},   {"1-3,5,_,_2-", "1:3 5:5 0:0 -2:-1+"},
      {"99999999999999999999", "2147483647:2147483647"},
      {"", "bad"},        {"3,", "bad"},    {"1,,2", "bad"},  {"1-2x", "bad"},
      {"--1", "bad"},     {" 1", "bad"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(RangesOf(text), want) << "'" << text << "'";
  // Pages from the end resolve to at least 1.
  EXPECT_EQ(ResolvePage(-3, 10), 8);
  EXPECT_EQ(ResolvePage(-20, 10), 1);
}

TEST(ReportMessage, WrapsAtColumn78CutsLongTextAndFatalStartsAFreshLine) {
  SetMessageProgramName("prog");
  std::string text = StderrOf([] {
    ReportMessage(kFreshLine, "%s", "");  // start from column 0
    for (int i = 1; i <= 30; ++i) ReportMessage(0, "[%d]", i);
    ReportMessage(0, "Wrote %d pages, %ld bytes\n", 30, 1234L);
  });
  // [1]..[9] take 27 columns, [10]..[22] 52 more: [22] would pass 78.
  EXPECT_EQ(text, "[1][2][3][4][5][6][7][8][9][10][11][12][13][14][15][16][17][18][19][20][21]\n"
                  "[22][23][24][25][26][27][28][29][30]Wrote 30 pages, 1234 bytes\n");

  EXPECT_EQ(StderrOf([] {
              ReportMessage(kFreshLine, "%s", std::string(1000, 'y').c_str());
              EXPECT_EQ(MessageColumn(), 255);
              EXPECT_THROW(ReportMessage(kFatalError, "I/O error writing page %d\n", 4),
                           SelectorFatal);
            }),
            std::string(255, 'y') + "\nprog: I/O error writing page 4\n");
  EXPECT_EQ(MessageColumn(), 0);
}

}  // namespace
}  // namespace scrivex
