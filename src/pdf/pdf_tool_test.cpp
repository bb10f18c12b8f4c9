#include "pdf/pdf_tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pdf/pdf_test_support.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace scrivex::testing;

TEST(ParsePdfToolArgumentsTest, ValuesThatLookLikeOptionsAndWrongCommandLines) {
  PdfToolRequest r;
  std::string error;
  ASSERT_TRUE(ParsePdfToolArguments({"-i", "a.pdf", "-t", "-a", "-a", "", "-k", "-k"}, &r, &error))
      << error;
  EXPECT_EQ(r.info.title, "-a");
  EXPECT_EQ(r.info.author, "");
  EXPECT_EQ(r.info.keywords, "-k");
  EXPECT_TRUE(r.pagesFrom.empty());
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-*", "new.pdf"}, "-i"},
      {{"-i", "a.pdf"}, "nothing to do"},
      {{"-i", "a.pdf", "-t"}, "needs a value"},
      {{"-i", "a.pdf", "-i", "b.pdf"}, "twice"},
      {{"-i", "a.pdf", "-*", "1|0|"}, "(-*)"}};
  for (const auto& [args, message] : cases) {
    EXPECT_FALSE(ParsePdfToolArguments(args, &r, &error)) << message;
    EXPECT_THAT(error, HasSubstr(message));
  }
}

class PdfToolTest : public ::testing::Test {
 protected:
  std::string Pdf(const std::string& name, const std::vector<TestPage>& pages) {
    return MakeTestPdf(dir_.Path(name), pages);
  }
  ScratchDir dir_;
  std::string error_;
};

TEST_F(PdfToolTest, InsertsOrAppendsKeepingTheFieldsAndRaisingTheVersion) {
  const std::string existing = Pdf("existing.pdf", {{101, {{"Total", "old"}}}, {102, {}}});
  const std::string fresh = Pdf("new.pdf", {{201, {{"Total", "new"}}}, {202, {}}});
  ASSERT_TRUE(AddPdfPages(existing, fresh, true, &error_)) << error_;
  EXPECT_THAT(PageSizes(existing), ElementsAre(201, 202, 101, 102));
  const std::string tail = MakeTestPdf(dir_.Path("tail.pdf"), Pages({301}),
                                       [](QPDFWriter& w) { w.forcePDFVersion("1.6"); });
  ASSERT_TRUE(AddPdfPages(existing, tail, false, &error_)) << error_;
  EXPECT_THAT(PageSizes(existing), ElementsAre(201, 202, 101, 102, 301));
  EXPECT_EQ(ReadPdf(existing)->getPDFVersion(), "1.6");
  auto fields = FieldValues(existing);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields["Total"], "old");
  fields.erase("Total");  // the added field was given a free name of its own
  EXPECT_EQ(fields.begin()->second, "new");
}

// Damage qpdf could repair, and a file that needs an open password, are
// refused rather than rewritten.
TEST_F(PdfToolTest, RefusesDamagedOrLockedFiles) {
  const std::string fresh = Pdf("new.pdf", Pages({201}));
  const std::string good = ReadBytes(Pdf("good.pdf", Pages({101, 102})));
  std::string badOffset = good;
  badOffset.replace(badOffset.rfind("startxref") + 10, 3, "999");
  std::string badStream = good;
  badStream.replace(badStream.find("endstream"), 9, "endstreXm");
  MakeEncryptedPdf(dir_.Path("locked.pdf"), Pages({101}), "secret");
  for (const std::string& bytes : {badOffset, badStream, ReadBytes(dir_.Path("locked.pdf"))}) {
    const std::string existing = dir_.Write("existing.pdf", bytes);
    EXPECT_FALSE(AddPdfPages(existing, fresh, true, &error_));
    EXPECT_FALSE(error_.empty());
    EXPECT_EQ(error_.find('\n'), std::string::npos);
    EXPECT_FALSE(SetPdfDocumentInformation(existing, existing, {"T", "", "", ""}, &error_));
  }
  EXPECT_EQ(dir_.Files().size(), 4u);  // no temporary file left behind
}

// An empty text keeps the entry; an encrypted file stays encrypted.
TEST_F(PdfToolTest, DocumentInformationKeepsWhatIsNotGivenAndEncryption) {
  const std::string pdf = MakeEncryptedPdf(dir_.Path("doc.pdf"), Pages({101}), "");
  const std::string out = dir_.Path("out.pdf");
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, pdf, {"Old", "Old author", "", ""}, &error_));
  ASSERT_TRUE(AddPdfPages(pdf, Pdf("new.pdf", Pages({201})), false, &error_)) << error_;
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, out, {"T", "", "", ""}, &error_)) << error_;
  EXPECT_EQ(InfoText(out, "/Title") + "," + InfoText(out, "/Author"), "T,Old author");
  EXPECT_EQ(InfoText(pdf, "/Title"), "Old");
  EXPECT_THAT(PageSizes(out), ElementsAre(101, 201));
  EXPECT_TRUE(ReadPdf(pdf)->isEncrypted() && ReadPdf(out)->isEncrypted());
}

}  // namespace
}  // namespace scrivex
