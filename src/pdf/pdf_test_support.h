// Test helpers: small PDFs made with qpdf (pages of chosen sizes, text form
// fields) and readers for what the tests check.
#ifndef SCRIVEX_PDF_PDF_TEST_SUPPORT_H_
#define SCRIVEX_PDF_PDF_TEST_SUPPORT_H_

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <random>
#include <string>
#include <vector>

namespace scrivex::testing {

struct TestField {
  std::string name;
  std::string value;
};

struct TestPage {
  int size = 200;  // square page, points: tells pages apart
  std::vector<TestField> fields;
  int rotate = 0;
};

inline QPDFObjectHandle Helvetica() {
  return QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
}

// Writes a PDF of `pages`; text fields become widget annotations merged with
// their field dictionaries, listed in the document's form.
inline void MakeTestPdf(const std::string& path, const std::vector<TestPage>& pages,
                        const std::function<void(QPDFWriter&)>& configure = {}) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFObjectHandle font = pdf.makeIndirectObject(Helvetica());
  QPDFObjectHandle fields = QPDFObjectHandle::newArray();
  for (const TestPage& spec : pages) {
    const std::string size = std::to_string(spec.size);
    QPDFObjectHandle page =
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + size + " " + size + "] >>");
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/F1", font);
    resources.replaceKey("/Font", fonts);
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(
                                     &pdf, "BT /F1 12 Tf 10 10 Td (page " + size + ") Tj ET\n"));
    if (spec.rotate != 0) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(spec.rotate));
    pdf.addPage(pdf.makeIndirectObject(page), false);
    QPDFObjectHandle added = pdf.getAllPages().back();
    if (spec.fields.empty()) continue;
    QPDFObjectHandle annots = QPDFObjectHandle::newArray();
    int y = 20;
    for (const TestField& f : spec.fields) {
      QPDFObjectHandle widget = QPDFObjectHandle::parse(
          "<< /Type /Annot /Subtype /Widget /FT /Tx /F 4 /DA (/Helv 10 Tf 0 g) /Rect [10 " +
          std::to_string(y) + " 150 " + std::to_string(y + 20) + "] >>");
      widget.replaceKey("/T", QPDFObjectHandle::newUnicodeString(f.name));
      widget.replaceKey("/V", QPDFObjectHandle::newUnicodeString(f.value));
      widget.replaceKey("/P", added);
      widget = pdf.makeIndirectObject(widget);
      annots.appendItem(widget);
      fields.appendItem(widget);
      y += 30;
    }
    added.replaceKey("/Annots", annots);
  }
  if (fields.getArrayNItems() > 0) {
    QPDFObjectHandle form = QPDFObjectHandle::parse("<< /DA (/Helv 0 Tf 0 g) >>");
    form.replaceKey("/Fields", fields);
    QPDFObjectHandle dr = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle drFonts = QPDFObjectHandle::newDictionary();
    drFonts.replaceKey("/Helv", font);
    dr.replaceKey("/Font", drFonts);
    form.replaceKey("/DR", dr);
    pdf.getRoot().replaceKey("/AcroForm", pdf.makeIndirectObject(form));
  }
  QPDFWriter writer(pdf, path.c_str());
  if (configure) configure(writer);
  writer.write();
}

inline std::unique_ptr<QPDF> ReadPdf(const std::string& path, const std::string& password = "") {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
  return pdf;
}

inline int PageSize(QPDFObjectHandle page) {
  return page.getKey("/MediaBox").getArrayItem(2).getIntValueAsInt();
}

inline std::vector<int> PageSizes(const std::string& path, const std::string& password = "") {
  auto pdf = ReadPdf(path, password);
  std::vector<int> sizes;
  for (const QPDFObjectHandle& page : pdf->getAllPages()) sizes.push_back(PageSize(page));
  return sizes;
}

inline std::vector<int> PageRotations(const std::string& path) {
  auto pdf = ReadPdf(path);
  std::vector<int> result;
  for (QPDFObjectHandle page : pdf->getAllPages()) {
    QPDFObjectHandle r = page.getKey("/Rotate");
    result.push_back(r.isInteger() ? r.getIntValueAsInt() : 0);
  }
  return result;
}

// Fully qualified field name -> value, for every terminal field.
inline std::map<std::string, std::string> FieldValues(const std::string& path) {
  auto pdf = ReadPdf(path);
  QPDFAcroFormDocumentHelper forms(*pdf);
  std::map<std::string, std::string> result;
  for (auto& field : forms.getFormFields()) {
    result[field.getFullyQualifiedName()] = field.getValueAsString();
  }
  return result;
}

// The /Info entry as UTF-8; "<none>" when it is missing.
inline std::string InfoText(const std::string& path, const std::string& key,
                            const std::string& password = "") {
  auto pdf = ReadPdf(path, password);
  QPDFObjectHandle info = pdf->getTrailer().getKey("/Info");
  if (!info.isDictionary() || !info.hasKey(key)) return "<none>";
  return info.getKey(key).getUTF8Value();
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs a shell command and returns what it printed (standard output and error).
inline std::string CommandOutput(const std::string& command, const std::string& scratch) {
  const std::string file = scratch + "/command.out";
  std::system((command + " >'" + file + "' 2>&1").c_str());
  return ReadBytes(file);
}

// A fresh, empty folder per test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() / ("scrivex_pdf_" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }
  size_t EntryCount() const {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace scrivex::testing

#endif  // SCRIVEX_PDF_PDF_TEST_SUPPORT_H_
