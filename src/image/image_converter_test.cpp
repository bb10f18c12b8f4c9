#include "image/image_converter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/child_process.h"
#include "image/print_route.h"
#include "platform/files.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Pages of a DCX file: the offsets after the magic number, up to the first 0.
int DcxPageCount(const std::string& path) {
  std::string data = ReadBytes(path);
  if (data.compare(0, 4, "\xb1\x68\xde\x3a") != 0) return -1;
  size_t pages = 0;
  while (data.size() >= 8 + 4 * pages && data.compare(4 + 4 * pages, 4, std::string(4, '\0'))) {
    ++pages;
  }
  return static_cast<int>(pages);
}

void MakePng(const std::string& path, const std::string& colour) {
  int exitCode = -1;
  RunHiddenProcess(
      {LocateImageConverter(kImageConverterName, true), "-size", "20x10", colour, path}, &exitCode);
  ASSERT_EQ(exitCode, 0) << path;
}

struct ImageConverterTest : ::testing::Test {
  ScratchDir dir;
  ScopedEnv env;
  void SetUp() override {
    fs::create_directories(dir.Path("tmp"));
    env.Set("TMPDIR", dir.Path("tmp"));
    if (!platform::FileExists(LocateImageConverter(kImageConverterName, false))) {
      GTEST_SKIP() << "no image converter beside the test";
    }
  }
};

TEST_F(ImageConverterTest, JoinsPagesAndReadsNoOrdersInNames) {
  MakePng(dir.Path("a.png"), "xc:white");
  MakePng(dir.Path("b.png"), "xc:black");
  EXPECT_EQ(RunImageConverter({dir.Path("a.png"), dir.Path("b.png"), dir.Path("a.png")},
                              dir.Path("out.dcx")),
            1);
  EXPECT_EQ(DcxPageCount(dir.Path("out.dcx")), 3);
  // %d, [n] and "format:" in the names are no orders to the converter.
  fs::create_directories(dir.Path("set%d[1]"));
  const std::string odd = dir.Path("set%d[1]/gif:p%d[0]");
  EXPECT_EQ(RunImageConverter({dir.Path("a.png"), dir.Path("b.png")}, odd + ".dcx"), 1);
  EXPECT_EQ(DcxPageCount(odd + ".dcx"), 2);
  EXPECT_EQ(ConvertImagePage(dir.Path("b.png"), odd + ".gif"), 1);
  EXPECT_EQ(ReadBytes(odd + ".gif").substr(0, 3), "GIF");

  EXPECT_EQ(RunImageConverter({dir.Path("missing.png")}, dir.Path("out.mng")), 0);
  EXPECT_EQ(RunImageConverter({}, dir.Path("out.mng")), 0);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.png", "b.png", "out.dcx"}));
  // Missing beside the program: the bare name, for the program search.
  EXPECT_EQ(LocateImageConverter("no-such-helper.exe", true), "no-such-helper.exe");
}

// A stand-in printer: three PNG pages beside the name it is given, numbered
// as the virtual printer numbers them.
int PrintThreePages(const std::string&, const std::string& out, const ConversionOptions*) {
  std::string base = fs::path(out).replace_extension("").string();
  for (const char* page : {"_0001.png", "_0002.png", "_0003.png"}) MakePng(base + page, "xc:gray");
  return 3;
}

TEST_F(ImageConverterTest, PrintingRoute) {
  // Until the printing route is part of the program, nothing is produced.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ConvertThroughImageConverter(dir.Path("in.doc"), dir.Path("out.dcx"), nullptr), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");

  SetPrintDocumentFunction(&PrintThreePages);
  EXPECT_EQ(ConvertThroughImageConverter(dir.Path("in.doc"), dir.Path("out.png"), nullptr), 3);
  EXPECT_EQ(ConvertThroughImageConverter(dir.Path("in.doc"), dir.Path("out.dcx"), nullptr), 1);
  SetPrintDocumentFunction(nullptr);
  EXPECT_EQ(DcxPageCount(dir.Path("out.dcx")), 3);
  EXPECT_TRUE(fs::is_empty(dir.Path("tmp")));  // the printed pages are gone
  EXPECT_EQ(dir.Files(),
            (std::vector<std::string>{"out.dcx", "out_0001.png", "out_0002.png", "out_0003.png"}));
}

}  // namespace
}  // namespace scrivex
