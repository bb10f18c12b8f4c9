// The program's side of the PDF work: the module beside the program is
// opened and checked, and the calls reach it. (The work itself is tested in
// qpdf/pdf_test.cpp.)
#include "pdf/pdf_module.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

TEST(PdfModule, OnlyTheModuleOfThisBuildIsOpened) {
  std::string why;
  platform::SharedLibrary library;
  EXPECT_EQ(OpenPdfModule("/nonexistent/scrivex-pdf.so", &library, &why), nullptr);
  EXPECT_NE(why.find("/nonexistent/scrivex-pdf.so"), std::string::npos) << why;
  // A library, but not the module.
  EXPECT_EQ(OpenPdfModule("libm.so.6", &library, &why), nullptr);
  EXPECT_NE(why.find(kPdfModuleEntry), std::string::npos) << why;

  const std::string file = platform::ProgramDirectory() + kPdfModuleFile;
  const PdfModule* module = OpenPdfModule(file, &library, &why);
  ASSERT_NE(module, nullptr) << why;
  EXPECT_NE(module->countPages, nullptr);
  EXPECT_NE(module->mergeParts, nullptr);
}

// Each call reaches the module's work, with its results and reasons.
TEST(PdfModule, CallsReachTheModule) {
  test::ScratchDir dir;
  const std::string two = dir.Path("two.pdf"), one = dir.Path("one.pdf");
  for (const auto& [path, pages] : {std::pair{two, "showpage showpage"}, {one, "showpage"}}) {
    platform::RunChild({"gs", "-q", "-sDEVICE=pdfwrite", "-dDEVICEWIDTHPOINTS=100",
                        "-dDEVICEHEIGHTPOINTS=50", "-dFIXEDMEDIA", "-o", path, "-c", pages});
  }
  std::string why;
  double area = 0;
  EXPECT_EQ(CountPdfPages(two, false, &why, &area), 2) << why;
  EXPECT_DOUBLE_EQ(area, 2 * 100 * 50);
  EXPECT_EQ(CountPdfPages(dir.Write("not.pdf", "plain text"), false, &why), -1);
  EXPECT_FALSE(why.empty());

  EXPECT_TRUE(IsSingleEmptyPagePdf(one));
  EXPECT_FALSE(IsSingleEmptyPagePdf(two));

  EXPECT_FALSE(WritePagesInRange(two, "3-4", dir.Path("none.pdf"), &why));
  EXPECT_NE(why.find("names no page"), std::string::npos) << why;
  ASSERT_TRUE(WritePagesInRange(two, "2", dir.Path("second.pdf"), &why)) << why;
  EXPECT_EQ(CountPdfPages(dir.Path("second.pdf"), false, &why), 1);

  std::vector<std::string> split;
  ASSERT_TRUE(SplitPdfPages(
      two, [&](int n) { return dir.Path("p" + std::to_string(n) + ".pdf"); }, &split, &why))
      << why;
  EXPECT_EQ(split, (std::vector<std::string>{dir.Path("p1.pdf"), dir.Path("p2.pdf")}));

  EXPECT_EQ(MergePdfParts({two, one}, dir.Path("joined.pdf"), nullptr), kMergeWritten);
  EXPECT_EQ(CountPdfPages(dir.Path("joined.pdf"), false, &why), 3);

  ASSERT_TRUE(WritePagesOnPaper(one, 0, 0, 200, 300, dir.Path("paper.pdf"), &why)) << why;
  EXPECT_EQ(CountPdfPages(dir.Path("paper.pdf"), false, &why, &area), 1);
  EXPECT_DOUBLE_EQ(area, 200 * 300);
}

}  // namespace
}  // namespace scrivex
