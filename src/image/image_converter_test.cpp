#include "image/image_converter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "ghostscript/hidden_process.h"
#include "ghostscript/scoped_env.h"
#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

// Taken before any test points TMPDIR at its own folder.
const fs::path kBaseTemp = fs::temp_directory_path();

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Pages of a DCX file: the offsets after the magic number, up to the first 0.
int DcxPageCount(const fs::path& path) {
  std::string data = Contents(path);
  if (data.size() < 8 || data.compare(0, 4, "\xb1\x68\xde\x3a") != 0) return -1;
  int pages = 0;
  for (size_t at = 4; at + 4 <= data.size() && pages < 1023; at += 4, ++pages) {
    if (data.compare(at, 4, std::string(4, '\0')) == 0) break;
  }
  return pages;
}

class ImageConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        kBaseTemp / ("scrivex-conv-" + std::to_string(std::random_device()()) +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "tmp");
    env_.Set("TMPDIR", (dir_ / "tmp").string());
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }

  bool HaveConverter() const {
    return platform::FileExists(LocateImageConverter(kImageConverterName, false));
  }
  void MakePng(const std::string& name, const char* color) {
    std::string converter = LocateImageConverter(kImageConverterName, true);
    int exitCode = -1;
    ASSERT_EQ(
        RunHiddenProcess("\"" + converter + "\" -size 20x10 xc:" + color + " \"" + P(name) + "\"",
                         &exitCode),
        1);
    ASSERT_EQ(exitCode, 0);
  }

  fs::path dir_;
  ScopedEnv env_;
};

TEST(BuildImageConverterCommandLine, QuotedPagesInOrderThenTheOutput) {
  EXPECT_EQ(
      BuildImageConverterCommandLine("/prog/pictor.dll", {"/t/a 1.png", "/t/b.png"}, "/out/x.dcx"),
      "\"/prog/pictor.dll\" -limit memory 128 -limit map 512 \"/t/a 1.png\" \"/t/b.png\" "
      "\"/out/x.dcx\"");
  EXPECT_EQ(BuildImageConverterCommandLine("/prog/pictor.dll", {"/t/a\".png"}, "/out/x.dcx"), "");
  EXPECT_EQ(BuildImageConverterCommandLine("/prog/pictor.dll", {"/t/a.png"}, "/o\"/x.dcx"), "");
}

TEST(LocateImageConverter, BesideTheProgramOrTheBareName) {
  EXPECT_EQ(LocateImageConverter("no-such-helper.exe", false),
            platform::ProgramDirectory() + "no-such-helper.exe");
  EXPECT_EQ(LocateImageConverter("no-such-helper.exe", true), "no-such-helper.exe");
  std::string converter = LocateImageConverter(kImageConverterName, true);
  if (platform::FileExists(platform::ProgramDirectory() + kImageConverterName)) {
    EXPECT_EQ(converter, platform::ProgramDirectory() + kImageConverterName);
  }
}

TEST_F(ImageConverterTest, JoinsPagesIntoOneDcx) {
  if (!HaveConverter()) GTEST_SKIP() << "no image converter beside the test";
  MakePng("a.png", "white");
  MakePng("b.png", "black");
  MakePng("c.png", "red");
  EXPECT_EQ(RunImageConverter({P("a.png"), P("b.png"), P("c.png")}, P("out.dcx")), 1);
  EXPECT_EQ(DcxPageCount(dir_ / "out.dcx"), 3);
  // Only the output is left beside it: no temporary name.
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) entries += entry.is_regular_file();
  EXPECT_EQ(entries, 4);
}

TEST_F(ImageConverterTest, OutputNameIsTakenLiterally) {
  if (!HaveConverter()) GTEST_SKIP() << "no image converter beside the test";
  MakePng("a.png", "white");
  MakePng("b.png", "black");
  fs::create_directories(dir_ / "set%d[1]");
  EXPECT_EQ(RunImageConverter({P("a.png"), P("b.png")}, P("set%d[1]/pages%d[0].dcx")), 1);
  EXPECT_EQ(DcxPageCount(dir_ / "set%d[1]" / "pages%d[0].dcx"), 2);
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}

TEST_F(ImageConverterTest, FailureKeepsAnExistingOutput) {
  if (!HaveConverter()) GTEST_SKIP() << "no image converter beside the test";
  std::ofstream(dir_ / "out.mng") << "earlier result";
  EXPECT_EQ(RunImageConverter({P("missing.png")}, P("out.mng")), 0);
  EXPECT_EQ(Contents(dir_ / "out.mng"), "earlier result");
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) entries += entry.is_regular_file();
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(RunImageConverter({}, P("out.mng")), 0);
}

// A stand-in printer: writes three PNG pages beside the name it is given, as
// the virtual printer numbers them, and reports 3.
struct FakePrinter {
  static inline std::string input;
  static inline std::string output;
  static int Print(const std::string& in, const std::string& out, const ConversionOptions*) {
    input = in;
    output = out;
    fs::path base = fs::path(out).replace_extension("");
    for (int page = 1; page <= 3; ++page) {
      std::string name = base.string() + "_000" + std::to_string(page) + ".png";
      int exitCode = -1;
      RunHiddenProcess("\"" + LocateImageConverter(kImageConverterName, true) +
                           "\" -size 30x20 xc:gray" + std::to_string(page * 30) + " \"" + name +
                           "\"",
                       &exitCode);
    }
    return 3;
  }
};

TEST_F(ImageConverterTest, DcxFromPrintedPngPages) {
  if (!HaveConverter()) GTEST_SKIP() << "no image converter beside the test";
  SetPrintDocumentFunction(&FakePrinter::Print);
  EXPECT_EQ(ConvertThroughImageConverter(P("in.doc"), P("out.dcx"), nullptr), 1);
  SetPrintDocumentFunction(nullptr);
  EXPECT_EQ(FakePrinter::input, P("in.doc"));
  EXPECT_TRUE(platform::HasExtension(FakePrinter::output, ".png"));
  EXPECT_EQ(DcxPageCount(dir_ / "out.dcx"), 3);
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));  // the printed pages are gone
}

TEST_F(ImageConverterTest, OtherOutputsGetThePrintersResult) {
  SetPrintDocumentFunction(&FakePrinter::Print);
  EXPECT_EQ(ConvertThroughImageConverter(P("in.doc"), P("out.pdf"), nullptr), 3);
  SetPrintDocumentFunction(nullptr);
  EXPECT_EQ(FakePrinter::output, P("out.pdf"));
}

TEST_F(ImageConverterTest, PrintingRoadProducesNothingYet) {
  ConversionOptions options;
  EXPECT_EQ(ConvertThroughImageConverter(P("in.doc"), P("out.png"), &options), 0);
  EXPECT_EQ(ConvertThroughImageConverter(P("in.doc"), P("out.dcx"), nullptr), 0);
  EXPECT_FALSE(platform::FileExists(P("out.dcx")));
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}

}  // namespace
}  // namespace scrivex
