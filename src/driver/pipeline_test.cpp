#include "driver/pipeline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/failure_reason.h"
#include "driver/json_report.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Args = std::vector<std::string>;

// Records every converter call; the Ghostscript double writes "new" to its
// target so that results are real files.
struct Recorder {
  std::vector<std::string> calls;
  std::vector<Args> tools;  // argument vectors of the PDF tools program
  int result = 1, toolExit = 0, psFirst = 0;
  std::string psInput;
  bool psInputExisted = false;

  Converters Make() {
    Converters c;
    c.selectPostScriptPages = [this](const std::string&, const std::string& out, int f, int l) {
      calls.push_back("select " + std::to_string(f) + "-" + std::to_string(l));
      test::WriteBytes(out, "%!PS");
      return 1;
    };
    c.convertPsToImage = [this](const ImageRequest& r, std::string* why,
                                std::vector<std::string>* written) {
      calls.push_back("gs " + r.output);
      psInput = r.input;
      psFirst = r.firstPage;
      psInputExisted = platform::FileExists(r.input);
      test::WriteBytes(r.output, "new");
      if (result != 1) NoteFailure(why, "gs failed on " + r.input);
      *written = {r.output};
      return result;
    };
    c.convertThroughImageConverter = [this](const std::string& input, const std::string& output,
                                            const ConversionOptions&, const std::string& printer,
                                            std::string* why, std::vector<std::string>* written,
                                            const ProgressSink&) {
      calls.push_back("print " + printer);
      if (result != 1) NoteFailure(why, "printing failed on " + input);
      *written = {output};
      return result;
    };
    c.removeBlankTiffPages = [this](const auto&...) {
      calls.push_back("blank");
      return result;
    };
    c.runCommandLine = [this](const Args& argv, std::string*) {
      tools.push_back(argv);
      return toolExit;
    };
    return c;
  }
};

// A scratch folder that is also the temporary folder, so every file the
// pipeline leaves behind shows in Files().
struct Folder : test::ScratchDir {
  Folder() { env.Set("TMPDIR", Path()); }
  test::ScopedEnv env;
};

// ConvertAll's result and what it printed.
std::pair<int, std::string> ConvertAllOf(const WorkList& list, const ConversionOptions& o,
                                         const Converters& c, const Reporting& reporting = {}) {
  ::testing::internal::CaptureStdout();
  int result = ConvertAll(list, o, kCreatorPrinterName, c, reporting);
  return {result, ::testing::internal::GetCapturedStdout()};
}

TEST(Pipeline, RoutesByInputAndOutputType) {
  Folder dir;
  for (const char* name : {"a.doc", "b.PDF", "c.eps"}) dir.Write(name, "x");
  Job o, blank, inkwell;
  inkwell.printer = kInkwellPrinterName;
  blank.options.removeBlankPages = 1;
  Recorder rec;
  EXPECT_EQ(ConvertOneFile(dir.Path("a.doc"), dir.Path("a.pdf"), o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(dir.Path("b.PDF"), dir.Path("b.tif"), o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(dir.Path("c.eps"), dir.Path("c.png"), o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(dir.Path("missing.doc"), dir.Path("x.pdf"), o, rec.Make()), -1);
  EXPECT_EQ(ConvertOneFile("http://example/x", dir.Path("x.pdf"), o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(dir.Path("a.doc"), "", o, rec.Make()), -1);
  EXPECT_EQ(ConvertOneFile(dir.Path("b.PDF"), dir.Path("b.EMF"), o, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(dir.Path("missing.tif"), dir.Path("y.tif"), blank, rec.Make()), 1);
  EXPECT_EQ(ConvertOneFile(dir.Path("a.doc"), dir.Path("e.pdf"), inkwell, rec.Make()), 1);
  // A metafile output prints to Inkwell without changing the job's printer.
  EXPECT_EQ(ConvertOneFile(dir.Path("a.doc"), dir.Path("f.pdf"), o, rec.Make()), 1);
  EXPECT_THAT(
      rec.calls,
      ElementsAre("print Brindle Converter and Creator", "gs " + dir.Path("b.tif"),
                  "gs " + dir.Path("c.png"), "print Brindle Converter and Creator", "print Inkwell",
                  "blank", "print Inkwell", "print Brindle Converter and Creator"));
  EXPECT_EQ(o.failure, "no such file");
  EXPECT_EQ(ConvertOneFile(dir.Path("a.doc"), dir.Path("a.pdf"), o, Converters{}), 0);
}

TEST(Pipeline, PageRangesOfPostScriptAreCutFirst) {
  Folder dir;
  std::string ps = dir.Write("in.ps", "%!PS"), pdf = dir.Write("in.pdf", "%PDF");
  Job o;
  o.options.pageRange = "2-3";
  Recorder rec;
  EXPECT_EQ(ConvertOneFile(ps, dir.Path("out.tif"), o, rec.Make()), 1);
  EXPECT_EQ(rec.calls[0], "select 2-3");
  EXPECT_TRUE(rec.psInputExisted);
  EXPECT_EQ(rec.psFirst, -1);  // the cut file already holds just the range
  EXPECT_FALSE(platform::FileExists(rec.psInput));
  EXPECT_EQ(ConvertOneFile(pdf, dir.Path("out.tif"), o, rec.Make()), 1);
  EXPECT_EQ(rec.psFirst, 2);

  Converters failing = rec.Make();
  failing.selectPostScriptPages = [](const std::string&, const std::string& out, int, int) {
    test::WriteBytes(out, "partial");
    return 0;
  };
  EXPECT_EQ(ConvertOneFile(ps, dir.Path("out.tif"), o, failing), -1);
  EXPECT_THAT(dir.Files(), ElementsAre("in.pdf", "in.ps", "out.tif"));
}

// Progress lines and several files' results are checked end to end.
TEST(Pipeline, ResultLineAndExitCode) {
  Folder dir;
  Recorder rec;
  rec.result = 2;  // two files produced is not the one success code
  auto [result, out] = ConvertAllOf({{dir.Write("a.pdf", "x"), dir.Path("a.tif")}}, {}, rec.Make());
  EXPECT_EQ(result, 2);
  EXPECT_THAT(out, StartsWith(dir.Path("a.pdf") + " ==> " + dir.Path("a.tif") +
                              ", result = Failed\nConversion time = "));

  // Each file fails with its own reason, printed before its result line.
  rec.result = 0;
  const WorkList two{{dir.Write("b.doc", "x"), dir.Path("b.pdf")},
                     {dir.Write("c.doc", "x"), dir.Path("c.pdf")}};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ConvertAllOf(two, {}, rec.Make()).first, 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            dir.Path("b.doc") + ": printing failed on " + dir.Path("b.doc") + "\n" +
                dir.Path("c.doc") + ": printing failed on " + dir.Path("c.doc") + "\n");
}

// The progress line names each file of a batch, reaches both roads
// converters, and is erased before the file's result line; a run nobody
// watches hands the converters no sink.
TEST(Pipeline, TheProgressLineFollowsEachFileAndGivesWayToItsLines) {
  Folder dir;
  Recorder rec;
  Converters c = rec.Make();
  bool watched = false;
  c.convertPsToImage = [&, ps = c.convertPsToImage](const ImageRequest& r, std::string* why,
                                                    std::vector<std::string>* written) {
    watched = static_cast<bool>(r.progress);
    ReportPage(r.progress, "rendering", 2, 3);
    return ps(r, why, written);
  };
  c.convertThroughImageConverter = [&](const std::string&, const std::string& output,
                                       const ConversionOptions&, const std::string&, std::string*,
                                       std::vector<std::string>* written,
                                       const ProgressSink& progress) {
    ReportStage(progress, "printing");
    test::WriteBytes(output, "new");
    *written = {output};
    return 1;
  };
  const WorkList two{{dir.Write("a.pdf", "x"), dir.Path("a.tif")},
                     {dir.Write("b\x1b.doc", "x"), dir.Path("b.pdf")}};
  // The fake terminal writes into standard output, so the order shows there.
  ProgressLine line({[](const std::string& text) { std::fputs(text.c_str(), stdout); },
                     [] { return 0; }, [] { return 0LL; }});
  const std::string out = ConvertAllOf(two, {}, c, {.onFile = {}, .progress = &line}).second;
  EXPECT_TRUE(watched);
  EXPECT_THAT(out,
              StartsWith("Brindle Inc: 49\n\r[1/2] a.pdf: rendering page 2 of 3\x1b[K\r\x1b[K" +
                         dir.Path("a.pdf") + " ==> " + dir.Path("a.tif") +
                         ", result = Successful\nBrindle Inc: 99\n\r[2/2] b?.doc: printing\x1b[K"
                         "\r\x1b[K" +
                         dir.Path("b\x1b.doc") + " ==> "));

  ConvertAllOf({two[0]}, {}, c);
  EXPECT_FALSE(watched);
}

// -p 0 over an existing output: the converter writes a hidden file beside it,
// which replaces the output only when the conversion succeeded.
TEST(Pipeline, ExistingOutputIsReplacedOnlyOnSuccess) {
  Folder dir;
  WorkList list{{dir.Write("in.pdf", "x"), dir.Write("out.pdf", "old")}};
  ConversionOptions o;
  o.title = "The \"Best\" Report C:\\dir\\";
  o.author = "-o /etc/passwd";
  o.keywords = "k";
  Recorder rec;
  rec.result = 0;
  EXPECT_EQ(ConvertAllOf(list, o, rec.Make()).first, 0);
  EXPECT_TRUE(rec.tools.empty());
  std::string side = rec.calls.back().substr(3);
  EXPECT_EQ(side.rfind(dir.Path() + platform::kStagingPrefix, 0), 0u) << side;
  EXPECT_EQ(platform::SplitPath(side).ext, ".pdf");

  rec.result = 1;
  EXPECT_EQ(ConvertAllOf(list, o, rec.Make()).first, 1);
  EXPECT_EQ(test::ReadBytes(dir.Path("out.pdf")), "new");
  EXPECT_THAT(dir.Files(), ElementsAre("in.pdf", "out.pdf"));
  // The document information goes into the new file before it takes the output's place.
  side = rec.calls.back().substr(3);
  EXPECT_THAT(rec.tools, ElementsAre(Args{ToolsProgramPath(), "-i", side, "-o", side, "-t", o.title,
                                          "-a", o.author, "-s", "", "-k", "k"}));
}

TEST(Pipeline, InsertingAndAppendingGoThroughTheToolsProgram) {
  Folder dir;
  WorkList list{{dir.Write("in.pdf", "x"), dir.Write("out.pdf", "old")}};
  ConversionOptions o;
  Recorder rec;
  for (int mode : {1, 2}) {
    o.existingOutputMode = mode;
    rec.tools.clear();
    auto [result, out] = ConvertAllOf(list, o, rec.Make());
    EXPECT_EQ(result, 1);
    EXPECT_THAT(out, HasSubstr(" ==> " + dir.Path("out.pdf") + ", result = Successful"));
    ASSERT_EQ(rec.tools.size(), 1u);  // no document information asked for
    std::string converted = rec.calls.back().substr(3);
    EXPECT_EQ(rec.tools[0], (Args{ToolsProgramPath(), "-i", dir.Path("out.pdf"), "-*",
                                  (mode == 1 ? "1|0|" : "") + converted}));
    EXPECT_THAT(dir.Files(), ElementsAre("in.pdf", "out.pdf"));  // the converted file is gone
  }
  // A merge that left no file, or that the tool reports as failed, is no success.
  Job merge;
  merge.options = o;
  EXPECT_EQ(MergeWithExistingPdf(dir.Path("in.pdf"), dir.Path("missing.pdf"), merge, rec.Make()),
            0);
  rec.toolExit = 2;
  EXPECT_EQ(ConvertAllOf(list, o, rec.Make()).first, 0);

  // Only PDF pages can be inserted: an image output is refused untouched.
  list[0].outputPath = dir.Write("out.tif", "old");
  rec.calls.clear();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ConvertAllOf(list, o, rec.Make()).first, 0);
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("only PDF output"));
  EXPECT_TRUE(rec.calls.empty());
}

// Each input's record names the files written under their final names: an
// output replaced through a file beside it, a merge into an existing PDF, a
// failure with the reason printed for it.
TEST(Pipeline, RecordsNameTheFilesWritten) {
  Folder dir;
  const std::string in = dir.Write("in.pdf", "x");
  WorkList list{{in, dir.Write("out.pdf", "old")}, {in, dir.Path("new.pdf")}};
  Recorder rec;
  Converters c = rec.Make();
  c.countPages = [](const std::string& path) { return path.ends_with("new.pdf") ? 3 : 2; };
  std::vector<FileRecord> records;
  Reporting reporting{.onFile = [&](const FileRecord& r) { records.push_back(r); }};
  EXPECT_EQ(ConvertAllOf(list, {}, c, reporting).first, 1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].converted);
  EXPECT_THAT(records[0].files, ElementsAre(dir.Path("out.pdf")));
  EXPECT_EQ(records[0].pages, 2);
  EXPECT_THAT(records[1].files, ElementsAre(dir.Path("new.pdf")));
  EXPECT_EQ(records[1].pages, 3);

  ConversionOptions append;
  append.existingOutputMode = kAppendToOutput;
  records.clear();
  ConvertAllOf({{in, dir.Path("out.pdf")}}, append, c, reporting);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_THAT(records[0].files, ElementsAre(dir.Path("out.pdf")));

  rec.result = 0;
  records.clear();
  ::testing::internal::CaptureStderr();
  ConvertAllOf({{in, dir.Path("failed.pdf")}}, {}, c, reporting);
  const std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_FALSE(records[0].converted);
  EXPECT_TRUE(records[0].files.empty());
  EXPECT_EQ(records[0].pages, 0);
  EXPECT_EQ(records[0].reason, "gs failed on " + in);
  EXPECT_EQ(err, in + ": " + records[0].reason + "\n");
}

TEST(Pipeline, RecordsAsJsonLines) {
  // Fields in order: input, output, converted, files, pages, reason, seconds.
  const FileRecord done{
      "a \"quoted\"\nname.pdf", "out.tif", true, {"out_0001.tif", "bad\xff.tif"}, 2, "", 1.23456};
  EXPECT_EQ(FileRecordJson(done),
            "{\"input\":\"a \\\"quoted\\\"\\nname.pdf\",\"output\":\"out.tif\","
            "\"result\":\"Successful\",\"files\":[\"out_0001.tif\",\"bad\xef\xbf\xbd.tif\"],"
            "\"pages\":2,\"seconds\":1.235}");
  EXPECT_EQ(FileRecordJson({"a", "b", false, {}, 0, "no such file", 0}),
            "{\"input\":\"a\",\"output\":\"b\",\"result\":\"Failed\",\"files\":[],"
            "\"pages\":0,\"reason\":\"no such file\",\"seconds\":0.0}");
}

}  // namespace
}  // namespace scrivex
