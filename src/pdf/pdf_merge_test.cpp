#include "pdf/pdf_merge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qpdf/QPDFPageDocumentHelper.hh>

#include "pdf/pdf_test_support.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace scrivex::testing;

class MergePdfPartsTest : public ::testing::Test {
 protected:
  std::string Pdf(const std::string& name, const std::vector<TestPage>& pages) {
    return MakeTestPdf(dir_.Path(name), pages);
  }
  ScratchDir dir_;
  const std::string out_ = dir_.Path("out.pdf");
};

// Equal field names in two parts are renamed apart; every field stays on its
// page, and a part that asks viewers to draw its fields keeps asking.
TEST_F(MergePdfPartsTest, JoinsPartsInListOrderWithTheirFields) {
  const std::string drawn = dir_.Path("drawn.pdf");
  {
    auto pdf = ReadPdf(Pdf("b.pdf", {{201, {{"Total", "x"}}}}));
    QPDFAcroFormDocumentHelper(*pdf).setNeedAppearances(true);
    QPDFWriter writer(*pdf, drawn.c_str());
    writer.forcePDFVersion("1.7");
    writer.write();
  }
  std::vector<std::string> parts = {
      Pdf("a.pdf", {{101, {{"Total", "one"}}}, {102, {}}}), drawn,
      Pdf("c.pdf", {{301, {{"Total", "two"}, {"Name", "three"}}}, {302, {}}})};
  ASSERT_EQ(MergePdfParts(parts, out_, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 102, 201, 301, 302));
  EXPECT_EQ(dir_.Files().size(), 5u);  // no temporary left beside the parts
  EXPECT_EQ(FieldValues(out_),
            (std::map<std::string, std::string>{
                {"Form0", "one"}, {"Form1", "x"}, {"Form2", "two"}, {"Form3", "three"}}));
  auto pdf = ReadPdf(out_);
  EXPECT_EQ(pdf->getPDFVersion(), "1.7");  // the highest of the parts
  QPDFAcroFormDocumentHelper forms(*pdf);
  std::vector<size_t> widgets;
  for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages()) {
    widgets.push_back(forms.getWidgetAnnotationsForPage(page).size());
  }
  EXPECT_THAT(widgets, ElementsAre(1, 0, 1, 2, 0));
  EXPECT_TRUE(forms.getNeedAppearances());
}

// The second page inherits its size and rotation from the page tree.
TEST_F(MergePdfPartsTest, RotatesInheritedPagesAndWritesDocumentInformation) {
  const std::string part = dir_.Path("inherited.pdf");
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
  ConversionOptions options;
  options.title = "Bilanz \"März\" – Übersicht";
  for (const auto& [rotation, expected] : std::vector<std::pair<int, std::vector<int>>>{
           {0, {0, 90}}, {90, {90, 180}}, {-90, {270, 0}}, {45, {0, 90}}}) {
    options.rotation = rotation;
    ASSERT_EQ(MergePdfParts({part}, out_, &options), kMergeWritten);
    std::vector<int> rotations;
    auto pdf = ReadPdf(out_);
    for (QPDFObjectHandle page : pdf->getAllPages()) {
      QPDFObjectHandle r = page.getKey("/Rotate");
      rotations.push_back(r.isInteger() ? r.getIntValueAsInt() : 0);
    }
    EXPECT_EQ(rotations, expected) << rotation;
  }
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 111));
  EXPECT_EQ(InfoText(out_, "/Title"), options.title);
  EXPECT_EQ(InfoText(out_, "/Subject"), "<none>");
  EXPECT_EQ(InfoText(out_, "/Producer"), kPdfProducerText);
}

// Each key length with its own restrictions. Readers send passwords in
// PDFDocEncoding, and such a part opens again.
TEST_F(MergePdfPartsTest, EncryptsForKeyLengthsZeroToTwo) {
  std::vector<std::string> parts = {Pdf("a.pdf", Pages({101, 102}))};
  const std::string typed = std::string("Gr\xF6\xDF") + "e";
  // clang-format off
  const struct {
    int keyLength, permissions;
    std::string revision;  // "" = not encrypted
    int version, bits;     // /V and the key length
    std::vector<std::string> shown;
  } cases[] = {
      {-1, 0, "", 0, 0, {"File is not encrypted"}},
      {0, kDenyPrint | kDenyCopy, "R = 2", 1, 40,
       {"print low resolution: not allowed", "extract for any purpose: not allowed"}},
      {1, kDenyPrintHighRes | kDenyAssemble | kDenyFillForms | kDenyModify, "R = 3", 2, 128,
       {"print low resolution: allowed", "print high resolution: not allowed",
        "modify document assembly: not allowed", "modify forms: not allowed",
        "modify other: not allowed", "extract for any purpose: allowed"}},
      {2, kDenyPrint | kDenyAnnotate, "R = 4", 4, 128,
       {"stream encryption method: AESv2", "print low resolution: not allowed",
        "modify annotations: not allowed", "modify forms: allowed"}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyLength);
    ConversionOptions options;
    options.userPassword = "Größe";
    options.ownerPassword = "owner";
    options.encryptionKeyLength = c.keyLength;
    options.permissions = c.permissions;
    ASSERT_EQ(MergePdfParts(parts, out_, &options), kMergeWritten);
    const std::string shown = ShowEncryption(out_, "owner");
    for (const std::string& line : c.shown) EXPECT_THAT(shown, HasSubstr(line));
    if (c.revision.empty()) continue;
    EXPECT_THAT(shown, HasSubstr(c.revision + "\n"));
    auto pdf = ReadPdf(out_, "owner");
    QPDFObjectHandle encrypt = pdf->getTrailer().getKey("/Encrypt");
    QPDFObjectHandle bits = encrypt.getKey("/Length");  // 40 when absent
    EXPECT_EQ(encrypt.getKey("/V").getIntValueAsInt(), c.version);
    EXPECT_EQ(bits.isInteger() ? bits.getIntValueAsInt() : 40, c.bits);
    EXPECT_ANY_THROW(PageSizes(out_));
    EXPECT_THAT(PageSizes(out_, typed), ElementsAre(101, 102));
  }
  ConversionOptions options;
  options.userPassword = "Größe";
  ASSERT_EQ(MergePdfParts({out_}, dir_.Path("again.pdf"), &options), kMergeWritten);
  EXPECT_THAT(PageSizes(dir_.Path("again.pdf")), ElementsAre(101, 102));
}

// Parts that cannot be opened are left out; without any page nothing is
// written. An output it reads from is replaced once the joined file is complete.
TEST_F(MergePdfPartsTest, SkipsPartsItCannotOpenAndReplacesAnOutputItReads) {
  const std::string locked = MakeEncryptedPdf(dir_.Path("locked.pdf"), Pages({401}), "secret");
  const std::string garbage = dir_.Write("garbage.pdf", "this is no PDF\n");
  EXPECT_EQ(MergePdfParts({dir_.Path("missing.pdf"), garbage}, out_, nullptr), kMergeCannotCreate);
  EXPECT_EQ(MergePdfParts({}, out_, nullptr), kMergeCannotCreate);
  std::vector<std::string> parts = {dir_.Path("missing.pdf"), Pdf("a.pdf", Pages({101})), garbage,
                                    locked, dir_.Path()};
  ASSERT_EQ(MergePdfParts(parts, out_, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101));
  ConversionOptions options;
  options.userPassword = "secret";
  parts[0] = out_;
  ASSERT_EQ(MergePdfParts(parts, out_, &options), kMergeWritten);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 101, 401));
  EXPECT_EQ(dir_.Files().size(), 4u);
}

}  // namespace
}  // namespace scrivex
