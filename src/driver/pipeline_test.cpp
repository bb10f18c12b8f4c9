#include "driver/pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/state_root.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

// Records every converter call; writes the target so results are real files.
struct Recorder {
  std::vector<std::string> calls;
  std::vector<std::string> commandLines;
  int result = 1;
  bool writeOutput = true;
  int psFirst = 0, psLast = 0;
  std::string psInput;
  bool selectedExisted = false;

  Converters Make() {
    Converters c;
    c.selectPostScriptPages = [this](const std::string& in, const std::string& out, int f, int l) {
      calls.push_back("select " + std::to_string(f) + "-" + std::to_string(l));
      std::ofstream(out) << "%!PS-Adobe-3.0\n" << in;
      return 1;
    };
    c.convertPsToImage = [this](const std::string& in, const std::string& out, float, float, float,
                                float, int, int, int first, int last, int, int, int) {
      calls.push_back("gs");
      psInput = in;
      psFirst = first;
      psLast = last;
      selectedExisted = platform::FileExists(in);
      if (writeOutput) std::ofstream(out) << "new";
      return result;
    };
    c.convertThroughImageConverter = [this](const std::string&, const std::string& out,
                                            const ConversionOptions*) {
      calls.push_back("print " + TargetPrinterName);
      if (writeOutput) std::ofstream(out) << "new";
      return result;
    };
    c.removeBlankTiffPages = [this](const std::string&, const std::string&, const ConversionOptions*) {
      calls.push_back("blank");
      return result;
    };
    c.runCommandLine = [this](const std::string& line) {
      commandLines.push_back(line);
      return 0;
    };
    return c;
  }
};

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("scrivex-pl-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("TMPDIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TMPDIR");
    fs::remove_all(dir_);
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  std::string Touch(const std::string& name, const std::string& text = "old") const {
    std::ofstream(P(name)) << text;
    return P(name);
  }
  std::string Read(const std::string& name) const {
    std::string text;
    platform::ReadWholeFile(P(name), &text);
    return text;
  }
  // Runs ConvertAll and returns what it printed.
  std::string Run(const WorkList& list, const ConversionOptions& o, Recorder* rec, int* result) {
    ::testing::internal::CaptureStdout();
    *result = ConvertAll(list, o, rec->Make());
    return ::testing::internal::GetCapturedStdout();
  }
  size_t FileCount() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

TEST_F(PipelineTest, RoutesByInputAndOutputType) {
  Touch("a.doc");
  Touch("b.PDF");
  Touch("c.eps");
  ConversionOptions o;
  Recorder rec;
  TargetPrinterName = kCreatorPrinterName;
  EXPECT_EQ(ConvertOneFile(P("a.doc"), P("a.pdf"), &o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(P("b.PDF"), P("b.tif"), &o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(P("c.eps"), P("c.png"), &o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(P("missing.doc"), P("x.pdf"), &o, rec.Make()), -1);
  EXPECT_EQ(ConvertOneFile("http://example/x", P("x.pdf"), &o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(P("a.doc"), "", &o, rec.Make()), -1);
  EXPECT_EQ(ConvertOneFile(P("b.PDF"), P("b.EMF"), &o, rec.Make()), 1);
  ConversionOptions blank;
  blank.removeBlankPages = 1;
  EXPECT_EQ(ConvertOneFile(P("missing.tif"), P("y.tif"), &blank, rec.Make()), 1);
  EXPECT_EQ(rec.calls,
            (std::vector<std::string>{"print Brindle Converter and Creator", "gs", "gs",
                                      "print Brindle Converter and Creator", "print Inkwell", "blank"}));
  TargetPrinterName = kCreatorPrinterName;
  EXPECT_EQ(ConvertOneFile(P("a.doc"), P("a.pdf"), &o, Converters{}), 0);  // no converter yet
}

TEST_F(PipelineTest, PageRangesOfPostScriptAreCutFirst) {
  Touch("in.ps", "%!PS");
  Touch("in.pdf");
  ConversionOptions o;
  o.pageRange = "2-3";
  Recorder rec;
  EXPECT_EQ(ConvertOneFile(P("in.ps"), P("out.tif"), &o, rec.Make()), 1);
  EXPECT_EQ(rec.calls[0], "select 2-3");
  EXPECT_TRUE(rec.selectedExisted);
  EXPECT_NE(rec.psInput, P("in.ps"));
  EXPECT_EQ(rec.psFirst, -1);  // the cut file already holds just the range
  EXPECT_FALSE(platform::FileExists(rec.psInput));  // and is gone afterwards
  EXPECT_EQ(ConvertOneFile(P("in.pdf"), P("out.tif"), &o, rec.Make()), 1);
  EXPECT_EQ(rec.psFirst, 2);
  EXPECT_EQ(rec.psLast, 3);

  Converters failing = rec.Make();
  failing.selectPostScriptPages = [](const std::string&, const std::string& out, int, int) {
    std::ofstream(out) << "partial";
    return 0;
  };
  size_t before = FileCount();
  EXPECT_EQ(ConvertOneFile(P("in.ps"), P("out.tif"), &o, failing), -1);
  EXPECT_EQ(FileCount(), before);  // no temporary file left behind
}

TEST_F(PipelineTest, ProgressResultLinesAndExitResult) {
  Touch("a.pdf");
  Touch("b.pdf");
  WorkList list{{P("a.pdf"), P("a.tif")}, {P("b.pdf"), P("b.tif")}};
  Recorder rec;
  int result = 0;
  std::string out = Run(list, ConversionOptions{}, &rec, &result);
  EXPECT_EQ(result, 1);
  EXPECT_NE(out.find("Brindle Inc: 49\n" + P("a.pdf") + " ==> " + P("a.tif") +
                     ", result = Successful\nBrindle Inc: 99\n"),
            std::string::npos);
  EXPECT_NE(out.find("Conversion time = "), std::string::npos);

  rec.result = 2;  // two files produced is not the one success code
  out = Run({{P("a.pdf"), P("c.tif")}}, ConversionOptions{}, &rec, &result);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(out.find("Brindle Inc"), std::string::npos);
  EXPECT_NE(out.find(", result = Failed\n"), std::string::npos);
}

TEST_F(PipelineTest, ExistingOutputModes) {
  Touch("in.pdf");
  ConversionOptions o;
  o.title = "T";
  Recorder rec;
  int result = 0;

  // -p 0: a failed conversion leaves the old output exactly as it was.
  Touch("out.pdf", "old");
  rec.result = 0;
  Run({{P("in.pdf"), P("out.pdf")}}, o, &rec, &result);
  EXPECT_EQ(Read("out.pdf"), "old");
  EXPECT_EQ(FileCount(), 2u);
  rec.result = 1;
  rec.commandLines.clear();
  Run({{P("in.pdf"), P("out.pdf")}}, o, &rec, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Read("out.pdf"), "new");
  EXPECT_EQ(FileCount(), 2u);
  ASSERT_EQ(rec.commandLines.size(), 1u);  // document information, before the move
  EXPECT_NE(rec.commandLines[0].find("\" -t \"T\" -a \"\" -s \"\" -k \"\""), std::string::npos);

  // -p 2: converted aside, appended by the tools program, then removed.
  o.existingOutputMode = 2;
  rec.commandLines.clear();
  std::string out = Run({{P("in.pdf"), P("out.pdf")}}, o, &rec, &result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(rec.commandLines.size(), 2u);
  EXPECT_NE(rec.commandLines[1].find("tools.cfg\" -i \"" + P("out.pdf") + "\" \"-*\" \"" + P("pdf")),
            std::string::npos);
  EXPECT_NE(out.find(" ==> " + P("out.pdf") + ", result = Successful"), std::string::npos);
  EXPECT_EQ(FileCount(), 2u);
  o.existingOutputMode = 1;
  rec.commandLines.clear();
  Run({{P("in.pdf"), P("out.pdf")}}, o, &rec, &result);
  EXPECT_NE(rec.commandLines[1].find("\"1|0|" + P("pdf")), std::string::npos);

  // A merge the tool reports as failed is no success.
  Converters failingTool = rec.Make();
  failingTool.runCommandLine = [](const std::string&) { return 2; };
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ConvertAll({{P("in.pdf"), P("out.pdf")}}, o, failingTool), 0);
  ::testing::internal::GetCapturedStdout();

  // -p 1 with an image output cannot merge: nothing is left behind, no success.
  Touch("out.tif", "old");
  rec.calls.clear();
  ::testing::internal::CaptureStderr();
  Run({{P("in.pdf"), P("out.tif")}}, o, &rec, &result);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Read("out.tif"), "old");
  EXPECT_EQ(FileCount(), 3u);

  // -p 3: a free numbered name, named in the result line.
  o.existingOutputMode = 3;
  out = Run({{P("in.pdf"), P("out.pdf")}}, o, &rec, &result);
  EXPECT_EQ(Read("out000.pdf"), "new");
  EXPECT_NE(out.find(" ==> " + P("out000.pdf") + ", result = Successful"), std::string::npos);
}

TEST_F(PipelineTest, ToolCommandLines) {
  ConversionOptions o;
  Recorder rec;
  Converters c = rec.Make();
  EXPECT_EQ(SetPdfDocumentInfo(P("x.pdf"), &o, c), 0);  // nothing to write
  o.author = "Jo \"x\" -o /etc/passwd";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SetPdfDocumentInfo(P("x.pdf"), &o, c), 0);  // a quote could inject options
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(rec.commandLines.empty());
  o.author = "Jo";
  o.keywords = "k1 k2";
  EXPECT_EQ(SetPdfDocumentInfo(P("x.pdf"), &o, c), 1);
  EXPECT_EQ(rec.commandLines.back(), "\"" + ToolsProgramPath() + "\" -i \"" + P("x.pdf") +
                                         "\" -o \"" + P("x.pdf") +
                                         "\" -t \"\" -a \"Jo\" -s \"\" -k \"k1 k2\"");
  // A text ending in a backslash keeps its closing quote: no argument shifts.
  o.title = "C:\\dir\\";
  SetPdfDocumentInfo(P("x.pdf"), &o, c);
  std::vector<std::string> argv = platform::SplitCommandLine(rec.commandLines.back());
  ASSERT_EQ(argv.size(), 13u);
  EXPECT_EQ(argv[6], "C:\\dir\\");
  EXPECT_EQ(argv[7], "-a");
  EXPECT_EQ(MergeWithExistingPdf(P("n.pdf"), P("e.pdf"), &o, c), 1);  // mode 0: nothing to do
  o.existingOutputMode = 2;
  EXPECT_EQ(MergeWithExistingPdf(P("n.pdf"), P("e.pdf"), &o, c), 0);  // existing file missing
  EXPECT_EQ(MergeWithExistingPdf("", P("e.pdf"), &o, c), 0);
}

}  // namespace
}  // namespace scrivex
