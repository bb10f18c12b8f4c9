// Joining PDFs (the parts of one output; the tools program adding pages and
// document information to an existing file) and the PDF creator's settings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "common/registry.h"
#include "pdf/page_fit.h"
#include "pdf/pdf_document.h"
#include "pdf/pdf_merge.h"
#include "pdf/qpdf/pdf_tool.h"
#include "pdf/qpdf/qpdf_document.h"
#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace test;

// A square page whose size tells it apart, with text fields (name, value).
struct TestPage {
  int size;
  std::vector<std::pair<std::string, std::string>> fields = {};
};

// Text fields are widget annotations merged with their field dictionaries.
// Returns path.
std::string MakeTestPdf(const std::string& path, const std::vector<TestPage>& pages,
                        const std::function<void(QPDFWriter&)>& configure = {}) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFObjectHandle fields = QPDFObjectHandle::newArray();
  for (const TestPage& want : pages) {
    const std::string size = std::to_string(want.size);
    QPDFObjectHandle page = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + size + " " + size + "] >>"));
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "0 0 m 10 10 l S\n"));
    QPDFObjectHandle annots = QPDFObjectHandle::newArray();
    for (const auto& [name, value] : want.fields) {
      QPDFObjectHandle widget = pdf.makeIndirectObject(QPDFObjectHandle::parse(
          "<< /Type /Annot /Subtype /Widget /FT /Tx /Rect [10 20 150 40] /T (" + name + ") /V (" +
          value + ") >>"));
      widget.replaceKey("/P", page);
      annots.appendItem(widget);
      fields.appendItem(widget);
    }
    if (!want.fields.empty()) page.replaceKey("/Annots", annots);
    pdf.addPage(page, false);
  }
  if (fields.getArrayNItems() > 0) {
    QPDFObjectHandle form = QPDFObjectHandle::newDictionary();
    form.replaceKey("/Fields", fields);
    pdf.getRoot().replaceKey("/AcroForm", pdf.makeIndirectObject(form));
  }
  QPDFWriter writer(pdf, path.c_str());
  if (configure) configure(writer);
  writer.write();
  return path;
}

// AES-encrypted with owner password "boss"; an empty user password opens it freely.
std::string MakeEncryptedPdf(const std::string& path, const std::vector<TestPage>& pages,
                             const std::string& userPassword) {
  return MakeTestPdf(path, pages, [&](QPDFWriter& w) {
    w.setR4EncryptionParametersInsecure(userPassword.c_str(), "boss", true, true, true, true, true,
                                        true, qpdf_r3p_full, true, true);
  });
}

std::unique_ptr<QPDF> ReadPdf(const std::string& path, const std::string& password = "") {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
  return pdf;
}

std::vector<int> PageSizes(const std::string& path, const std::string& password = "") {
  std::vector<int> sizes;
  auto pdf = ReadPdf(path, password);
  for (QPDFObjectHandle page : pdf->getAllPages()) {
    sizes.push_back(page.getKey("/MediaBox").getArrayItem(2).getIntValueAsInt());
  }
  return sizes;
}

// Fully qualified field name -> value, for every terminal field.
std::map<std::string, std::string> FieldValues(const std::string& path) {
  auto pdf = ReadPdf(path);
  std::map<std::string, std::string> result;
  for (auto& field : QPDFAcroFormDocumentHelper(*pdf).getFormFields()) {
    result[field.getFullyQualifiedName()] = field.getValueAsString();
  }
  return result;
}

// An entry of the document information as UTF-8.
std::string InfoText(const std::string& path, const std::string& key) {
  auto pdf = ReadPdf(path);
  return pdf->getTrailer().getKey("/Info").getKey(key).getUTF8Value();
}

// A scratch folder per test, and PDFs made in it.
class PdfTest : public ::testing::Test {
 protected:
  std::string Pdf(const std::string& name, const std::vector<TestPage>& pages) {
    return MakeTestPdf(dir_.Path(name), pages);
  }
  ScratchDir dir_;
  const std::string out_ = dir_.Path("out.pdf");
  std::string error_;
};

// Equal field names in two parts are renamed apart; every field stays on its
// page.
TEST_F(PdfTest, JoinsPartsInListOrderWithTheirFields) {
  const std::string newer = MakeTestPdf(dir_.Path("newer.pdf"), {{201, {{"Total", "x"}}}},
                                        [](QPDFWriter& w) { w.forcePDFVersion("1.7"); });
  std::vector<std::string> parts = {
      Pdf("a.pdf", {{101, {{"Total", "one"}}}, {102, {}}}), newer,
      Pdf("c.pdf", {{301, {{"Total", "two"}, {"Name", "three"}}}, {302, {}}})};
  ASSERT_EQ(MergePdfParts(parts, out_, nullptr), kMergeWritten);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 102, 201, 301, 302));
  EXPECT_EQ(dir_.Files().size(), 4u);  // no temporary left beside the parts
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
}

// Each key length with its own restrictions. Readers send passwords in
// PDFDocEncoding, and such a part opens again.
TEST_F(PdfTest, EncryptsForKeyLengthsZeroToTwo) {
  std::vector<std::string> parts = {Pdf("a.pdf", {{101}, {102}})};
  const std::string typed = std::string("Gr\xF6\xDF") + "e";
  // clang-format off
  const struct {
    int keyLength, permissions;
    std::vector<std::string> shown;
  } cases[] = {
      {-1, 0, {"File is not encrypted"}},
      {0, kDenyPrint | kDenyCopy,
       {"R = 2\n", "print low resolution: not allowed", "extract for any purpose: not allowed"}},
      {1, kDenyPrintHighRes | kDenyAssemble | kDenyFillForms | kDenyModify,
       {"R = 3\n", "print low resolution: allowed", "print high resolution: not allowed",
        "modify document assembly: not allowed", "modify forms: not allowed",
        "modify other: not allowed", "extract for any purpose: allowed"}},
      {2, kDenyPrint | kDenyAnnotate,
       {"R = 4\n", "stream encryption method: AESv2", "print low resolution: not allowed",
        "modify annotations: not allowed", "modify forms: allowed"}},
  };
  // clang-format on
  platform::ChildOptions capture;
  capture.captureOutput = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyLength);
    ConversionOptions options;
    options.userPassword = "Größe";
    options.ownerPassword = "owner";
    options.encryptionKeyLength = c.keyLength;
    options.permissions = c.permissions;
    ASSERT_EQ(MergePdfParts(parts, out_, &options), kMergeWritten);
    const std::string shown =
        platform::RunChild({"qpdf", "--show-encryption", "--password=owner", out_}, capture).output;
    for (const std::string& line : c.shown) EXPECT_THAT(shown, HasSubstr(line));
    if (c.keyLength < 0) continue;
    EXPECT_ANY_THROW(PageSizes(out_));
    EXPECT_THAT(PageSizes(out_, typed), ElementsAre(101, 102));
  }
  ConversionOptions options;
  options.userPassword = "Größe";
  ASSERT_EQ(MergePdfParts({out_}, dir_.Path("again.pdf"), &options), kMergeWritten);
  EXPECT_THAT(PageSizes(dir_.Path("again.pdf")), ElementsAre(101, 102));
}

// One plain part keeps its bytes and gets its information in an appended
// update, so a job of any length is joined without loading its pages. A
// rotation or a form takes the full way.
TEST_F(PdfTest, OnePlainPartGetsItsInformationAppended) {
  const std::string part = Pdf("plain.pdf", {{101}, {102}});
  ConversionOptions options;
  options.title = "Tïtle";
  ASSERT_EQ(MergePdfParts({part}, out_, &options), kMergeWritten);
  const std::string bytes = ReadBytes(part);
  EXPECT_EQ(ReadBytes(out_).substr(0, bytes.size()), bytes);
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 102));
  EXPECT_EQ(InfoText(out_, "/Title") + "|" + InfoText(out_, "/Producer"),
            std::string("Tïtle|") + kPdfProducerText);
  platform::ChildOptions quiet;
  quiet.captureOutput = true;
  EXPECT_EQ(platform::RunChild({"qpdf", "--check", out_}, quiet).exitCode, 0);

  options.rotation = 90;
  ASSERT_EQ(MergePdfParts({part}, out_, &options), kMergeWritten);
  EXPECT_NE(ReadBytes(out_).substr(0, bytes.size()), bytes);
  options.rotation = 0;
  ASSERT_EQ(MergePdfParts({Pdf("form.pdf", {{201, {{"Total", "x"}}}})}, out_, &options),
            kMergeWritten);
  EXPECT_EQ(FieldValues(out_).count("Form0"), 1u);
  EXPECT_EQ(dir_.Files().size(), 3u);  // no temporary left beside them
}

// Parts that cannot be opened are left out; without any page nothing is
// written. An output it reads from is replaced once the joined file is complete.
TEST_F(PdfTest, SkipsPartsItCannotOpenAndReplacesAnOutputItReads) {
  const std::string locked = MakeEncryptedPdf(dir_.Path("locked.pdf"), {{401}}, "secret");
  const std::string garbage = dir_.Write("garbage.pdf", "this is no PDF\n");
  EXPECT_EQ(MergePdfParts({dir_.Path("missing.pdf"), garbage}, out_, nullptr), kMergeCannotCreate);
  std::vector<std::string> parts = {dir_.Path("missing.pdf"), Pdf("a.pdf", {{101}}), garbage,
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

// Every option takes the next argument, even one that looks like an option.
TEST(ParsePdfToolArgumentsTest, OptionValuesAndWrongCommandLines) {
  PdfToolRequest r;
  std::string error;
  ASSERT_TRUE(ParsePdfToolArguments({"-i", "a.pdf", "-t", "-a", "-k", "-k"}, &r, &error)) << error;
  EXPECT_EQ(r.info.title + r.info.keywords, "-a-k");
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

// The added pages keep their fields and what they inherit from their page
// tree; the version rises to the added file's.
TEST_F(PdfTest, InsertsOrAppendsKeepingFieldsAndInheritedSizes) {
  const std::string existing = Pdf("existing.pdf", {{101, {{"Total", "old"}}}, {102, {}}});
  const std::string fresh = Pdf("new.pdf", {{201, {{"Total", "new"}}}, {202, {}}});
  ASSERT_TRUE(AddPdfPages(existing, fresh, true, &error_)) << error_;
  EXPECT_THAT(PageSizes(existing), ElementsAre(201, 202, 101, 102));
  const std::string tail = dir_.Path("tail.pdf");
  {
    QPDF pdf;
    pdf.emptyPDF();
    pdf.addPage(pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>")), false);
    pdf.getRoot().getKey("/Pages").replaceKey("/MediaBox", QPDFObjectHandle::parse("[0 0 301 9]"));
    QPDFWriter writer(pdf, tail.c_str());
    writer.forcePDFVersion("1.6");
    writer.write();
  }
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
TEST_F(PdfTest, RefusesDamagedOrLockedFiles) {
  const std::string fresh = Pdf("new.pdf", {{201}});
  const std::string good = ReadBytes(Pdf("good.pdf", {{101}, {102}}));
  std::string badOffset = good;
  badOffset.replace(badOffset.rfind("startxref") + 10, 3, "999");
  std::string badStream = good;
  badStream.replace(badStream.find("endstream"), 9, "endstreXm");
  MakeEncryptedPdf(dir_.Path("locked.pdf"), {{101}}, "secret");
  for (const std::string& bytes : {badOffset, badStream, ReadBytes(dir_.Path("locked.pdf"))}) {
    const std::string existing = dir_.Write("existing.pdf", bytes);
    EXPECT_FALSE(AddPdfPages(existing, fresh, true, &error_));
    EXPECT_FALSE(error_.empty());
    EXPECT_FALSE(SetPdfDocumentInformation(existing, existing, {"T", "", "", ""}, &error_));
  }
  EXPECT_EQ(dir_.Files().size(), 4u);  // no temporary file left behind
}

// An empty text keeps the entry; an encrypted file stays encrypted.
TEST_F(PdfTest, DocumentInformationKeepsWhatIsNotGivenAndEncryption) {
  const std::string pdf = MakeEncryptedPdf(dir_.Path("doc.pdf"), {{101}}, ""), out = out_;
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, pdf, {"Old", "Old author", "", ""}, &error_));
  ASSERT_TRUE(AddPdfPages(pdf, Pdf("new.pdf", {{201}}), false, &error_)) << error_;
  ASSERT_TRUE(SetPdfDocumentInformation(pdf, out, {"T", "", "", ""}, &error_)) << error_;
  EXPECT_EQ(InfoText(out, "/Title") + "," + InfoText(out, "/Author"), "T,Old author");
  EXPECT_EQ(InfoText(pdf, "/Title"), "Old");
  EXPECT_THAT(PageSizes(out), ElementsAre(101, 201));
  EXPECT_TRUE(ReadPdf(pdf)->isEncrypted() && ReadPdf(out)->isEncrypted());

  // Protected pages joined to a plain file, with information in the same
  // step: the joined file is protected as they were, and holds the texts.
  const std::string plain = Pdf("plain.pdf", {{301}});
  ASSERT_TRUE(UpdatePdf(plain, pdf, false, {"Joined", "", "", ""}, "", &error_)) << error_;
  EXPECT_THAT(PageSizes(plain), ElementsAre(301, 101, 201));
  EXPECT_TRUE(ReadPdf(plain)->isEncrypted());
  EXPECT_EQ(InfoText(plain, "/Title"), "Joined");
}

// Printing with shrink to fit: the chosen pages on the paper, a big page
// scaled down, a small one only centred; no paper keeps the pages as they are.
TEST_F(PdfTest, LaysChosenPagesOntoThePaper) {
  const std::string in = Pdf("in.pdf", {{100}, {1000}, {300}});
  ASSERT_TRUE(WritePagesOnPaper(in, 1, 2, 612, 792, out_, &error_)) << error_;
  auto pdf = ReadPdf(out_);
  ASSERT_EQ(pdf->getAllPages().size(), 2u);
  std::vector<std::string> placements;
  for (QPDFObjectHandle page : pdf->getAllPages()) {
    EXPECT_EQ(page.getKey("/MediaBox").getArrayItem(3).getNumericValue(), 792);
    auto data = page.getKey("/Contents").getStreamData();
    placements.emplace_back(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  }
  EXPECT_THAT(placements[0], HasSubstr("0.612 0 0 0.612 0 90 cm"));
  EXPECT_THAT(placements[1], HasSubstr("1 0 0 1 156 246 cm"));
  EXPECT_FALSE(WritePagesOnPaper(in, 2, 3, 612, 792, out_, &error_));
  ASSERT_TRUE(WritePagesOnPaper(in, 0, 2, 0, 0, out_, &error_)) << error_;
  EXPECT_THAT(PageSizes(out_), ElementsAre(100, 1000, 300));
}

// Ranges as the office's export takes them: lists, open ends, blanks; pages
// past the end left out, in the document's order and each once; a range that
// names nothing writes nothing and leaves the target alone (its message is
// checked in the module test).
TEST_F(PdfTest, KeepsThePagesARangeNames) {
  EXPECT_THAT(PagesInRange("1,3-5", 6), ElementsAre(1, 3, 4, 5));
  EXPECT_THAT(PagesInRange(" 5-, 2 ,2", 6), ElementsAre(2, 5, 6));
  EXPECT_THAT(PagesInRange("-2,9", 4), ElementsAre(1, 2));
  EXPECT_THAT(PagesInRange("4-9", 3), ElementsAre());
  for (const char* bad : {"", "0", "3-2", "a", "1-2-3", "-", "1;2"}) {
    EXPECT_THAT(PagesInRange(bad, 6), ElementsAre()) << bad;
  }

  const std::string in = Pdf("in.pdf", {{101}, {102}, {103}});
  ASSERT_TRUE(WritePagesInRange(in, "3,1", out_, &error_)) << error_;
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 103));
  ASSERT_TRUE(WritePagesInRange(in, "", out_, &error_)) << error_;
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 102, 103));
  EXPECT_FALSE(WritePagesInRange(in, "4-5", out_, &error_));
  EXPECT_THAT(PageSizes(out_), ElementsAre(101, 102, 103));
}

}  // namespace
}  // namespace scrivex
