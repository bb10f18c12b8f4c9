#include "image/image_converter.h"

#include <gtest/gtest.h>

#include "common/child_process.h"
#include "platform/test_support.h"
#include "image/tiff_test_support.h"
#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {
namespace {

using namespace tiff_test;

// Pages of a DCX file: the offsets after the magic number, up to the first 0.
int DcxPageCount(const std::string& path) {
  std::string data = ReadBytes(path);
  if (data.size() < 8 || data.compare(0, 4, "\xb1\x68\xde\x3a") != 0) return -1;
  int pages = 0;
  for (size_t at = 4; at + 4 <= data.size() && pages < 1023; at += 4, ++pages) {
    if (data.compare(at, 4, std::string(4, '\0')) == 0) break;
  }
  return pages;
}

bool MakePng(const std::string& path, const std::string& spec) {
  int exitCode = -1;
  return RunHiddenProcess("\"" + LocateImageConverter(kImageConverterName, true) + "\" -size " +
                              spec + " \"" + path + "\"",
                          &exitCode) == 1 &&
         exitCode == 0;
}

struct ImageConverterTest : ::testing::Test {
  ScratchDir dir;
  ScopedEnv env;
  void SetUp() override {
    fs::create_directories(dir.path / "tmp");
    env.Set("TMPDIR", dir.File("tmp"));
  }
  bool HaveConverter() const {
    return platform::FileExists(LocateImageConverter(kImageConverterName, false));
  }
};

TEST(BuildImageConverterCommandLine, QuotedPagesInOrderAndNoQuotesInside) {
  EXPECT_EQ(
      BuildImageConverterCommandLine("/prog/pictor.dll", {"/t/a 1.png", "/t/b.png"}, "/out/x.dcx"),
      "\"/prog/pictor.dll\" -limit memory 128 -limit map 512 \"/t/a 1.png\" \"/t/b.png\" "
      "\"/out/x.dcx\"");
  EXPECT_EQ(BuildImageConverterCommandLine("/prog/pictor.dll", {"/t/a\".png"}, "/out/x.dcx"), "");
  EXPECT_EQ(BuildImageConverterCommandLine("/prog/pictor.dll", {"/t/a.png"}, "/o\"/x.dcx"), "");
  // Missing beside the program: the bare name, for the program search.
  EXPECT_EQ(LocateImageConverter("no-such-helper.exe", true), "no-such-helper.exe");
}

TEST_F(ImageConverterTest, JoinsPagesAndKeepsTheOutputOnFailure) {
  if (!HaveConverter()) GTEST_SKIP() << "no image converter beside the test";
  ASSERT_TRUE(MakePng(dir.File("a.png"), "20x10 xc:white"));
  ASSERT_TRUE(MakePng(dir.File("b.png"), "20x10 xc:black"));
  EXPECT_EQ(RunImageConverter({dir.File("a.png"), dir.File("b.png"), dir.File("a.png")},
                              dir.File("out.dcx")),
            1);
  EXPECT_EQ(DcxPageCount(dir.File("out.dcx")), 3);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.png", "b.png", "out.dcx"}));
  // %d, [n] and the like in the name are no orders to the converter.
  fs::create_directories(dir.path / "set%d[1]");
  EXPECT_EQ(RunImageConverter({dir.File("a.png"), dir.File("b.png")},
                              dir.File("set%d[1]/pages%d[0].dcx")),
            1);
  EXPECT_EQ(DcxPageCount(dir.File("set%d[1]/pages%d[0].dcx")), 2);
  EXPECT_TRUE(fs::is_empty(dir.path / "tmp"));

  WriteBytes(dir.File("out.mng"), "earlier result");
  EXPECT_EQ(RunImageConverter({dir.File("missing.png")}, dir.File("out.mng")), 0);
  EXPECT_EQ(RunImageConverter({}, dir.File("out.mng")), 0);
  EXPECT_EQ(ReadBytes(dir.File("out.mng")), "earlier result");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.png", "b.png", "out.dcx", "out.mng"}));
}

// A stand-in printer: writes three PNG pages beside the name it is given, as
// the virtual printer numbers them, and reports 3.
struct FakePrinter {
  static inline std::string input;
  static inline std::string output;
  static int Print(const std::string& in, const std::string& out, const ConversionOptions*) {
    input = in;
    output = out;
    std::string base = fs::path(out).replace_extension("").string();
    for (int page = 1; page <= 3; ++page) {
      MakePng(base + "_000" + std::to_string(page) + ".png",
              "30x20 xc:gray" + std::to_string(page * 30));
    }
    return 3;
  }
};

TEST_F(ImageConverterTest, PrintingRoad) {
  // Until the printing road is part of the program, nothing is produced.
  ConversionOptions options;
  EXPECT_EQ(ConvertThroughImageConverter(dir.File("in.doc"), dir.File("out.png"), &options), 0);
  EXPECT_EQ(ConvertThroughImageConverter(dir.File("in.doc"), dir.File("out.dcx"), nullptr), 0);
  EXPECT_FALSE(platform::FileExists(dir.File("out.dcx")));

  SetPrintDocumentFunction(&FakePrinter::Print);
  EXPECT_EQ(ConvertThroughImageConverter(dir.File("in.doc"), dir.File("out.pdf"), nullptr), 3);
  EXPECT_EQ(FakePrinter::output, dir.File("out.pdf"));
  if (HaveConverter()) {
    EXPECT_EQ(ConvertThroughImageConverter(dir.File("in.doc"), dir.File("out.dcx"), nullptr), 1);
    EXPECT_EQ(FakePrinter::input, dir.File("in.doc"));
    EXPECT_TRUE(platform::HasExtension(FakePrinter::output, ".png"));
    EXPECT_EQ(DcxPageCount(dir.File("out.dcx")), 3);
  }
  SetPrintDocumentFunction(nullptr);
  EXPECT_TRUE(fs::is_empty(dir.path / "tmp"));  // the printed pages are gone
}

}  // namespace
}  // namespace scrivex
