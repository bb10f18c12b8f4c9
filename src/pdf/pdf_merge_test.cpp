#include "pdf/pdf_merge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "pdf/pdf_test_support.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace scrivex::testing;

std::vector<TestPage> Pages(std::initializer_list<int> sizes) {
  std::vector<TestPage> pages;
  for (int s : sizes) pages.push_back(TestPage{s, {}, 0});
  return pages;
}

class MergePdfPartsTest : public ::testing::Test {
 protected:
  std::string Part(const std::string& name, const std::vector<TestPage>& pages) {
    std::string path = dir_ / name;
    MakeTestPdf(path, pages);
    return path;
  }
  ScratchDir dir_;
};

TEST_F(MergePdfPartsTest, JoinsPartsInListOrder) {
  std::vector<std::string> parts = {Part("a.pdf", Pages({101, 102})), Part("b.pdf", Pages({201})),
                                    Part("c.pdf", Pages({301, 302, 303}))};
  const std::string out = dir_ / "out.pdf";
  ASSERT_EQ(MergePdfParts(parts, out, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out), ElementsAre(101, 102, 201, 301, 302, 303));
  // Only the temporary-free result is left beside the parts.
  EXPECT_EQ(dir_.EntryCount(), 4u);
}

TEST_F(MergePdfPartsTest, KeepsPageContentAndInheritedAttributes) {
  // A part whose pages inherit MediaBox and Rotate from the page tree.
  const std::string inherited = dir_ / "inherited.pdf";
  {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /Resources << >> >>");
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "0 0 m 10 10 l S\n"));
    pdf.addPage(pdf.makeIndirectObject(page), false);
    QPDFObjectHandle tree = pdf.getRoot().getKey("/Pages");
    tree.replaceKey("/MediaBox", QPDFObjectHandle::parse("[0 0 111 222]"));
    tree.replaceKey("/Rotate", QPDFObjectHandle::newInteger(90));
    QPDFWriter writer(pdf, inherited.c_str());
    writer.write();
  }
  const std::string out = dir_ / "out.pdf";
  ASSERT_EQ(MergePdfParts({Part("a.pdf", Pages({101})), inherited}, out, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out), ElementsAre(101, 111));
  EXPECT_THAT(PageRotations(out), ElementsAre(0, 90));
  auto pdf = ReadPdf(out);
  std::string content;
  QPDFObjectHandle second = pdf->getAllPages()[1];
  for (auto& stream : second.getPageContents()) {
    auto data = stream.getStreamData();
    content.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  }
  EXPECT_EQ(content, "0 0 m 10 10 l S\n");
}

TEST_F(MergePdfPartsTest, TakesTheHighestVersionOfItsParts) {
  const std::string newer = dir_ / "newer.pdf";
  MakeTestPdf(newer, Pages({201}), [](QPDFWriter& w) { w.forcePDFVersion("1.7"); });
  const std::string out = dir_ / "out.pdf";
  ASSERT_EQ(MergePdfParts({Part("a.pdf", Pages({101})), newer}, out, nullptr), kMergeWritten);
  EXPECT_EQ(ReadPdf(out)->getPDFVersion(), "1.7");
}

TEST_F(MergePdfPartsTest, RenamesEqualFieldNamesApart) {
  std::vector<std::string> parts = {
      Part("a.pdf", {TestPage{101, {{"Total", "one"}}, 0}}), Part("b.pdf", Pages({201})),
      Part("c.pdf", {TestPage{301, {{"Total", "two"}, {"Name", "three"}}, 0}})};
  const std::string out = dir_ / "out.pdf";
  ASSERT_EQ(MergePdfParts(parts, out, nullptr), kMergeWritten);
  auto fields = FieldValues(out);
  EXPECT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields["Form0"], "one");
  EXPECT_EQ(fields["Form1"], "two");
  EXPECT_EQ(fields["Form2"], "three");
  // Every field still sits on its page as a widget.
  auto pdf = ReadPdf(out);
  QPDFAcroFormDocumentHelper forms(*pdf);
  auto pages = QPDFPageDocumentHelper(*pdf).getAllPages();
  EXPECT_EQ(forms.getWidgetAnnotationsForPage(pages[0]).size(), 1u);
  EXPECT_EQ(forms.getWidgetAnnotationsForPage(pages[1]).size(), 0u);
  EXPECT_EQ(forms.getWidgetAnnotationsForPage(pages[2]).size(), 2u);
  EXPECT_FALSE(forms.getNeedAppearances());
}

TEST_F(MergePdfPartsTest, RotatesByMultiplesOfNinetyOnly) {
  std::vector<TestPage> pages = {TestPage{101, {}, 0}, TestPage{102, {}, 90}};
  std::vector<std::string> parts = {Part("a.pdf", pages)};
  const std::string out = dir_ / "out.pdf";
  ConversionOptions options;
  options.rotation = 90;
  ASSERT_EQ(MergePdfParts(parts, out, &options), kMergeWritten);
  EXPECT_THAT(PageRotations(out), ElementsAre(90, 180));
  options.rotation = -90;
  ASSERT_EQ(MergePdfParts(parts, out, &options), kMergeWritten);
  EXPECT_THAT(PageRotations(out), ElementsAre(270, 0));
  options.rotation = 45;
  ASSERT_EQ(MergePdfParts(parts, out, &options), kMergeWritten);
  EXPECT_THAT(PageRotations(out), ElementsAre(0, 90));
  options.rotation = 0;
  ASSERT_EQ(MergePdfParts(parts, out, &options), kMergeWritten);
  EXPECT_THAT(PageRotations(out), ElementsAre(0, 90));
}

TEST_F(MergePdfPartsTest, WritesDocumentInformation) {
  std::vector<std::string> parts = {Part("a.pdf", Pages({101}))};
  const std::string out = dir_ / "out.pdf";
  ASSERT_EQ(MergePdfParts(parts, out, nullptr), kMergeWritten);
  EXPECT_EQ(InfoText(out, "/Producer"), kPdfProducerText);
  EXPECT_EQ(InfoText(out, "/Creator"), kPdfCreatorText);
  EXPECT_EQ(InfoText(out, "/Title"), "<none>");
  EXPECT_EQ(InfoText(out, "/Author"), "<none>");

  ConversionOptions options;
  options.title = "Bilanz \"März\" – Übersicht";
  options.author = "Zoë";
  options.subject = "Ω subject";
  options.keywords = "a, b";
  ASSERT_EQ(MergePdfParts(parts, out, &options), kMergeWritten);
  EXPECT_EQ(InfoText(out, "/Title"), options.title);
  EXPECT_EQ(InfoText(out, "/Author"), options.author);
  EXPECT_EQ(InfoText(out, "/Subject"), options.subject);
  EXPECT_EQ(InfoText(out, "/Keywords"), options.keywords);
}

struct EncryptionCase {
  int keyLength;
  std::string revision;  // "" = not encrypted
  int version;           // /V of the encryption dictionary
  int bits;              // /Length, 40 when absent
  std::string method;    // shown from R 4 on
};

// The encryption dictionary's /V and key length in bits.
std::pair<int, int> KeyParameters(const std::string& path, const std::string& password) {
  auto pdf = ReadPdf(path, password);
  QPDFObjectHandle encrypt = pdf->getTrailer().getKey("/Encrypt");
  QPDFObjectHandle length = encrypt.getKey("/Length");
  return {encrypt.getKey("/V").getIntValueAsInt(),
          length.isInteger() ? length.getIntValueAsInt() : 40};
}

TEST_F(MergePdfPartsTest, EncryptsForKeyLengthsZeroToTwo) {
  std::vector<std::string> parts = {Part("a.pdf", Pages({101, 102}))};
  const std::string out = dir_ / "out.pdf";
  const EncryptionCase cases[] = {{-1, "", 0, 0, ""},
                                  {0, "R = 2", 1, 40, ""},
                                  {1, "R = 3", 2, 128, ""},
                                  {2, "R = 4", 4, 128, "AESv2"}};
  for (const EncryptionCase& c : cases) {
    SCOPED_TRACE(c.keyLength);
    ConversionOptions options;
    options.userPassword = "user";
    options.ownerPassword = "owner";
    options.encryptionKeyLength = c.keyLength;
    options.permissions = kDenyPrint | kDenyCopy;
    ASSERT_EQ(MergePdfParts(parts, out, &options), kMergeWritten);
    const std::string shown =
        CommandOutput("qpdf --show-encryption --password=owner '" + out + "'", dir_.path());
    if (c.revision.empty()) {
      EXPECT_THAT(shown, HasSubstr("File is not encrypted"));
      EXPECT_THAT(PageSizes(out), ElementsAre(101, 102));
      continue;
    }
    EXPECT_THAT(shown, HasSubstr(c.revision + "\n"));
    if (!c.method.empty()) {
      EXPECT_THAT(shown, HasSubstr("stream encryption method: " + c.method));
    }
    EXPECT_EQ(KeyParameters(out, "owner"), std::make_pair(c.version, c.bits));
    EXPECT_THAT(shown, HasSubstr("print low resolution: not allowed"));
    EXPECT_THAT(shown, HasSubstr("extract for any purpose: not allowed"));
    EXPECT_THAT(shown, HasSubstr("modify annotations: allowed"));
    // The open password is needed and opens it.
    EXPECT_ANY_THROW(PageSizes(out));
    EXPECT_THAT(PageSizes(out, "user"), ElementsAre(101, 102));
  }
}

TEST_F(MergePdfPartsTest, MapsRestrictionFlagsOntoPermissions) {
  const std::string out = dir_ / "out.pdf";
  ConversionOptions options;
  options.encryptionKeyLength = 2;
  options.permissions = kDenyPrintHighRes | kDenyAssemble | kDenyFillForms | kDenyModify;
  ASSERT_EQ(MergePdfParts({Part("a.pdf", Pages({101}))}, out, &options), kMergeWritten);
  const std::string shown = CommandOutput("qpdf --show-encryption '" + out + "'", dir_.path());
  EXPECT_THAT(shown, HasSubstr("print low resolution: allowed"));
  EXPECT_THAT(shown, HasSubstr("print high resolution: not allowed"));
  EXPECT_THAT(shown, HasSubstr("modify document assembly: not allowed"));
  EXPECT_THAT(shown, HasSubstr("modify forms: not allowed"));
  EXPECT_THAT(shown, HasSubstr("modify other: not allowed"));
  EXPECT_THAT(shown, HasSubstr("extract for any purpose: allowed"));
  EXPECT_THAT(shown, HasSubstr("modify annotations: allowed"));
}

TEST_F(MergePdfPartsTest, EncodesPasswordsAsReadersTypeThem) {
  const std::string out = dir_ / "out.pdf";
  ConversionOptions options;
  options.encryptionKeyLength = 1;
  options.userPassword = "Größe";
  ASSERT_EQ(MergePdfParts({Part("a.pdf", Pages({101}))}, out, &options), kMergeWritten);
  EXPECT_THAT(PageSizes(out,
                        "Gr\xF6\xDF"
                        "e"),
              ElementsAre(101));

  // The same password opens such a part again.
  const std::string again = dir_ / "again.pdf";
  ASSERT_EQ(MergePdfParts({out}, again, &options), kMergeWritten);
  EXPECT_THAT(PageSizes(again,
                        "Gr\xF6\xDF"
                        "e"),
              ElementsAre(101));
}

TEST_F(MergePdfPartsTest, SkipsMissingAndUnreadablePartsAndUsesOpenPassword) {
  const std::string locked = dir_ / "locked.pdf";
  MakeTestPdf(locked, Pages({401}), [](QPDFWriter& w) {
    w.setR4EncryptionParametersInsecure("secret", "boss", true, true, true, true, true, true,
                                        qpdf_r3p_full, true, true);
  });
  const std::string garbage = dir_ / "garbage.pdf";
  WriteBytes(garbage, "this is no PDF\n");
  std::vector<std::string> parts = {dir_ / "missing.pdf", Part("a.pdf", Pages({101})), garbage,
                                    locked, dir_.path()};
  const std::string out = dir_ / "out.pdf";
  ASSERT_EQ(MergePdfParts(parts, out, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out), ElementsAre(101));

  ConversionOptions options;
  options.userPassword = "secret";
  ASSERT_EQ(MergePdfParts(parts, out, &options), kMergeWritten);
  EXPECT_THAT(PageSizes(out), ElementsAre(101, 401));
}

TEST_F(MergePdfPartsTest, FailsWithoutTouchingAnExistingOutput) {
  const std::string out = dir_ / "out.pdf";
  WriteBytes(out, "older output");
  // No part gives a page.
  EXPECT_EQ(MergePdfParts({dir_ / "missing.pdf"}, out, nullptr), kMergeCannotCreate);
  EXPECT_EQ(MergePdfParts({}, out, nullptr), kMergeCannotCreate);
  EXPECT_EQ(ReadBytes(out), "older output");
  EXPECT_EQ(dir_.EntryCount(), 1u);
}

TEST_F(MergePdfPartsTest, ReportsAnOutputThatCannotBeCreated) {
  std::vector<std::string> parts = {Part("a.pdf", Pages({101}))};
  EXPECT_EQ(MergePdfParts(parts, dir_ / "no/such/folder/out.pdf", nullptr), kMergeCannotCreate);
  EXPECT_EQ(MergePdfParts(parts, dir_.path(), nullptr), kMergeCannotCreate);
  EXPECT_EQ(MergePdfParts(parts, "", nullptr), kMergeCannotCreate);
  EXPECT_EQ(dir_.EntryCount(), 1u);
}

TEST_F(MergePdfPartsTest, WritesAnOutputWithTheLongestName) {
  const std::string out = dir_ / (std::string(251, 'n') + ".pdf");
  ASSERT_EQ(MergePdfParts({Part("a.pdf", Pages({101}))}, out, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out), ElementsAre(101));
}

TEST_F(MergePdfPartsTest, ReplacesAnExistingOutputAndMayReadFromIt) {
  const std::string out = Part("out.pdf", Pages({501}));
  ASSERT_EQ(MergePdfParts({out, Part("a.pdf", Pages({101}))}, out, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out), ElementsAre(501, 101));
  EXPECT_EQ(dir_.EntryCount(), 2u);
}

}  // namespace
}  // namespace scrivex
