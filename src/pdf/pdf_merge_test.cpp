#include "pdf/pdf_merge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pdf/pdf_test_support.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using namespace scrivex::testing;

std::vector<int> PageRotations(const std::string& path) {
  std::vector<int> result;
  auto pdf = ReadPdf(path);
  for (QPDFObjectHandle page : pdf->getAllPages()) {
    QPDFObjectHandle r = page.getKey("/Rotate");
    result.push_back(r.isInteger() ? r.getIntValueAsInt() : 0);
  }
  return result;
}

class MergePdfPartsTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  const std::string out_ = dir_ / "out.pdf";
};

// Equal field names in two parts are renamed apart; every field stays on its page.
TEST_F(MergePdfPartsTest, JoinsPartsInListOrderWithTheirFields) {
  const std::string newer = dir_ / "b.pdf";
  MakeTestPdf(newer, Pages({201}), [](QPDFWriter& w) { w.forcePDFVersion("1.7"); });
  std::vector<std::string> parts = {
      dir_.Pdf("a.pdf", {{101, {{"Total", "one"}}, 0}, {102, {}, 0}}), newer,
      dir_.Pdf("c.pdf", {{301, {{"Total", "two"}, {"Name", "three"}}, 0}, {302, {}, 0}})};
  ASSERT_EQ(MergePdfParts(parts, out_, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 102, 201, 301, 302));
  EXPECT_EQ(dir_.EntryCount(), 4u);  // no temporary left beside the parts
  EXPECT_EQ(FieldValues(out_), (std::map<std::string, std::string>{
                                   {"Form0", "one"}, {"Form1", "two"}, {"Form2", "three"}}));
  auto pdf = ReadPdf(out_);
  EXPECT_EQ(pdf->getPDFVersion(), "1.7");  // the highest of the parts
  QPDFAcroFormDocumentHelper forms(*pdf);
  std::vector<size_t> widgets;
  for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages()) {
    widgets.push_back(forms.getWidgetAnnotationsForPage(page).size());
  }
  EXPECT_THAT(widgets, ElementsAre(1, 0, 0, 2, 0));
  EXPECT_FALSE(forms.getNeedAppearances());
}

// A part that asks viewers to draw its fields keeps asking once joined.
TEST_F(MergePdfPartsTest, KeepsAskingViewersToDrawFields) {
  const std::string drawn = dir_ / "drawn.pdf";
  {
    auto pdf = ReadPdf(dir_.Pdf("b.pdf", {{201, {{"Total", "x"}}, 0}}));
    QPDFAcroFormDocumentHelper(*pdf).setNeedAppearances(true);
    QPDFWriter(*pdf, drawn.c_str()).write();
  }
  ASSERT_EQ(MergePdfParts({dir_.Pdf("a.pdf", {{101, {{"Total", "y"}}, 0}}), drawn}, out_, nullptr),
            kMergeWritten);
  auto pdf = ReadPdf(out_);
  EXPECT_TRUE(QPDFAcroFormDocumentHelper(*pdf).getNeedAppearances());
  EXPECT_EQ(FieldValues(out_).size(), 2u);
}

// The second page inherits its size, rotation and nothing else from the page tree.
TEST_F(MergePdfPartsTest, RotatesInheritedPagesByMultiplesOfNinetyOnly) {
  const std::string part = dir_ / "inherited.pdf";
  {
    QPDF pdf;
    pdf.emptyPDF();
    pdf.addPage(pdf.makeIndirectObject(
                    QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 101 101] /Rotate 0 >>")),
                false);
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /Resources << >> >>");
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "1 1 m 20 20 l S\n"));
    pdf.addPage(pdf.makeIndirectObject(page), false);
    QPDFObjectHandle tree = pdf.getRoot().getKey("/Pages");
    tree.replaceKey("/MediaBox", QPDFObjectHandle::parse("[0 0 111 222]"));
    tree.replaceKey("/Rotate", QPDFObjectHandle::newInteger(90));
    QPDFWriter(pdf, part.c_str()).write();
  }
  const std::pair<int, std::vector<int>> cases[] = {
      {0, {0, 90}}, {90, {90, 180}}, {-90, {270, 0}}, {45, {0, 90}}};
  for (const auto& [rotation, expected] : cases) {
    ConversionOptions options;
    options.rotation = rotation;
    ASSERT_EQ(MergePdfParts({part}, out_, &options), kMergeWritten);
    EXPECT_THAT(PageRotations(out_), ElementsAreArray(expected)) << rotation;
  }
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 111));
  auto pdf = ReadPdf(out_);
  QPDFObjectHandle second = pdf->getAllPages()[1];
  auto data = second.getPageContents().at(0).getStreamData();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()),
            "1 1 m 20 20 l S\n");
}

TEST_F(MergePdfPartsTest, WritesDocumentInformation) {
  ConversionOptions options;
  options.title = "Bilanz \"März\" – Übersicht";
  options.author = "Zoë";
  ASSERT_EQ(MergePdfParts({dir_.Pdf("a.pdf", Pages({101}))}, out_, &options), kMergeWritten);
  EXPECT_EQ(InfoText(out_, "/Title"), options.title);
  EXPECT_EQ(InfoText(out_, "/Author"), options.author);
  EXPECT_EQ(InfoText(out_, "/Subject"), "<none>");
  EXPECT_EQ(InfoText(out_, "/Producer"), kPdfProducerText);
}

TEST_F(MergePdfPartsTest, EncryptsForKeyLengthsZeroToTwo) {
  std::vector<std::string> parts = {dir_.Pdf("a.pdf", Pages({101, 102}))};
  struct {
    int keyLength;
    std::string revision;                // "" = not encrypted
    std::pair<int, int> versionAndBits;  // /V and key length
    std::string method;
  } const cases[] = {{-1, "", {0, 0}, ""},
                     {0, "R = 2", {1, 40}, ""},
                     {1, "R = 3", {2, 128}, ""},
                     {2, "R = 4", {4, 128}, "AESv2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyLength);
    ConversionOptions options;
    options.userPassword = "user";
    options.ownerPassword = "owner";
    options.encryptionKeyLength = c.keyLength;
    options.permissions = kDenyPrint | kDenyCopy;
    ASSERT_EQ(MergePdfParts(parts, out_, &options), kMergeWritten);
    const std::string shown =
        dir_.CommandOutput("qpdf --show-encryption --password=owner '" + out_ + "'");
    if (c.revision.empty()) {
      EXPECT_THAT(shown, HasSubstr("File is not encrypted"));
      EXPECT_THAT(PageSizes(out_), ElementsAre(101, 102));
      continue;
    }
    EXPECT_THAT(shown, HasSubstr(c.revision + "\n"));
    if (!c.method.empty()) {
      EXPECT_THAT(shown, HasSubstr("stream encryption method: " + c.method));
    }
    auto pdf = ReadPdf(out_, "owner");
    QPDFObjectHandle encrypt = pdf->getTrailer().getKey("/Encrypt");
    QPDFObjectHandle bits = encrypt.getKey("/Length");  // 40 when absent
    EXPECT_EQ(std::make_pair(encrypt.getKey("/V").getIntValueAsInt(),
                             bits.isInteger() ? bits.getIntValueAsInt() : 40),
              c.versionAndBits);
    EXPECT_THAT(shown, HasSubstr("print low resolution: not allowed"));
    EXPECT_THAT(shown, HasSubstr("extract for any purpose: not allowed"));
    EXPECT_ANY_THROW(PageSizes(out_));
    EXPECT_THAT(PageSizes(out_, "user"), ElementsAre(101, 102));
  }
}

TEST_F(MergePdfPartsTest, MapsRestrictionFlagsOntoPermissions) {
  ConversionOptions options;
  options.encryptionKeyLength = 2;
  options.permissions = kDenyPrintHighRes | kDenyAssemble | kDenyFillForms | kDenyModify;
  ASSERT_EQ(MergePdfParts({dir_.Pdf("a.pdf", Pages({101}))}, out_, &options), kMergeWritten);
  const std::string shown = dir_.CommandOutput("qpdf --show-encryption '" + out_ + "'");
  for (const char* line : {"print low resolution: allowed", "print high resolution: not allowed",
                           "modify document assembly: not allowed", "modify forms: not allowed",
                           "modify other: not allowed", "extract for any purpose: allowed"}) {
    EXPECT_THAT(shown, HasSubstr(line));
  }
}

// Readers send passwords in PDFDocEncoding, and such a part opens again.
TEST_F(MergePdfPartsTest, EncodesPasswordsAsReadersTypeThem) {
  ConversionOptions options;
  options.encryptionKeyLength = 1;
  options.userPassword = "Größe";
  const std::string typed = std::string("Gr\xF6\xDF") + "e";
  ASSERT_EQ(MergePdfParts({dir_.Pdf("a.pdf", Pages({101}))}, out_, &options), kMergeWritten);
  EXPECT_THAT(PageSizes(out_, typed), ElementsAre(101));
  ASSERT_EQ(MergePdfParts({out_}, dir_ / "again.pdf", &options), kMergeWritten);
  EXPECT_THAT(PageSizes(dir_ / "again.pdf", typed), ElementsAre(101));
}

TEST_F(MergePdfPartsTest, SkipsMissingAndUnreadablePartsAndUsesOpenPassword) {
  const std::string locked = dir_ / "locked.pdf";
  MakeEncryptedPdf(locked, Pages({401}), "secret");
  const std::string garbage = dir_ / "garbage.pdf";
  WriteBytes(garbage, "this is no PDF\n");
  std::vector<std::string> parts = {dir_ / "missing.pdf", dir_.Pdf("a.pdf", Pages({101})), garbage,
                                    locked, dir_.path()};
  ASSERT_EQ(MergePdfParts(parts, out_, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101));
  ConversionOptions options;
  options.userPassword = "secret";
  ASSERT_EQ(MergePdfParts(parts, out_, &options), kMergeWritten);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 401));
}

// A failed merge leaves an existing output as it was and no files behind.
TEST_F(MergePdfPartsTest, FailsWithoutTouchingAnExistingOutput) {
  WriteBytes(out_, "older output");
  EXPECT_EQ(MergePdfParts({dir_ / "missing.pdf"}, out_, nullptr), kMergeCannotCreate);
  EXPECT_EQ(MergePdfParts({}, out_, nullptr), kMergeCannotCreate);
  EXPECT_EQ(ReadBytes(out_), "older output");
  std::vector<std::string> parts = {dir_.Pdf("a.pdf", Pages({101}))};
  EXPECT_EQ(MergePdfParts(parts, dir_ / "no/such/folder/out.pdf", nullptr), kMergeCannotCreate);
  EXPECT_EQ(MergePdfParts(parts, dir_.path(), nullptr), kMergeCannotCreate);
  EXPECT_EQ(dir_.EntryCount(), 2u);
}

TEST_F(MergePdfPartsTest, ReplacesAnOutputItReadsFromAndTakesTheLongestName) {
  const std::string out = dir_.Pdf("out.pdf", Pages({501}));
  ASSERT_EQ(MergePdfParts({out, dir_.Pdf("a.pdf", Pages({101}))}, out, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out), ElementsAre(501, 101));
  EXPECT_EQ(dir_.EntryCount(), 2u);
  // Temporary names beside such an output must stay within the name limit.
  const std::string longest = dir_ / (std::string(251, 'n') + ".pdf");
  ASSERT_EQ(MergePdfParts({out}, longest, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(longest), ElementsAre(501, 101));
}

}  // namespace
}  // namespace scrivex
