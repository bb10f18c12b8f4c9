// Test helpers: small PDFs made with qpdf and readers for what the tests check.
#ifndef SCRIVEX_PDF_PDF_TEST_SUPPORT_H_
#define SCRIVEX_PDF_PDF_TEST_SUPPORT_H_

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <random>

namespace scrivex::testing {

struct TestPage {
  int size = 200;                                           // points: tells pages apart
  std::vector<std::pair<std::string, std::string>> fields;  // name, value
  int rotate = 0;
};

inline std::vector<TestPage> Pages(std::initializer_list<int> sizes) {
  std::vector<TestPage> pages;
  for (int s : sizes) pages.push_back(TestPage{s, {}, 0});
  return pages;
}

// Text fields become widget annotations merged with their field dictionaries.
inline void MakeTestPdf(const std::string& path, const std::vector<TestPage>& pages,
                        const std::function<void(QPDFWriter&)>& configure = {}) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFObjectHandle fields = QPDFObjectHandle::newArray();
  for (const TestPage& spec : pages) {
    const std::string size = std::to_string(spec.size);
    QPDFObjectHandle page =
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + size + " " + size + "] >>");
    if (spec.rotate != 0) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(spec.rotate));
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "0 0 m 10 10 l S\n"));
    pdf.addPage(pdf.makeIndirectObject(page), false);
    QPDFObjectHandle added = pdf.getAllPages().back();
    QPDFObjectHandle annots = QPDFObjectHandle::newArray();
    for (const auto& [name, value] : spec.fields) {
      QPDFObjectHandle widget = QPDFObjectHandle::parse(
          "<< /Type /Annot /Subtype /Widget /FT /Tx /F 4 /DA (/Helv 10 Tf 0 g) "
          "/Rect [10 20 150 40] >>");
      widget.replaceKey("/T", QPDFObjectHandle::newUnicodeString(name));
      widget.replaceKey("/V", QPDFObjectHandle::newUnicodeString(value));
      widget.replaceKey("/P", added);
      widget = pdf.makeIndirectObject(widget);
      annots.appendItem(widget);
      fields.appendItem(widget);
    }
    if (!spec.fields.empty()) added.replaceKey("/Annots", annots);
  }
  if (fields.getArrayNItems() > 0) {
    QPDFObjectHandle form = QPDFObjectHandle::parse(
        "<< /DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv << /Type /Font /Subtype /Type1 "
        "/BaseFont /Helvetica >> >> >> >>");
    form.replaceKey("/Fields", fields);
    pdf.getRoot().replaceKey("/AcroForm", pdf.makeIndirectObject(form));
  }
  QPDFWriter writer(pdf, path.c_str());
  if (configure) configure(writer);
  writer.write();
}

// AES-encrypted with owner password "boss"; an empty user password opens it freely.
inline void MakeEncryptedPdf(const std::string& path, const std::vector<TestPage>& pages,
                             const std::string& userPassword) {
  MakeTestPdf(path, pages, [&](QPDFWriter& w) {
    w.setR4EncryptionParametersInsecure(userPassword.c_str(), "boss", true, true, true, true, true,
                                        true, qpdf_r3p_full, true, true);
  });
}

inline std::unique_ptr<QPDF> ReadPdf(const std::string& path, const std::string& password = "") {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
  return pdf;
}

inline std::vector<int> PageSizes(const std::string& path, const std::string& password = "") {
  std::vector<int> sizes;
  auto pdf = ReadPdf(path, password);
  for (QPDFObjectHandle page : pdf->getAllPages()) {
    sizes.push_back(page.getKey("/MediaBox").getArrayItem(2).getIntValueAsInt());
  }
  return sizes;
}

// Fully qualified field name -> value, for every terminal field.
inline std::map<std::string, std::string> FieldValues(const std::string& path) {
  auto pdf = ReadPdf(path);
  std::map<std::string, std::string> result;
  for (auto& field : QPDFAcroFormDocumentHelper(*pdf).getFormFields()) {
    result[field.getFullyQualifiedName()] = field.getValueAsString();
  }
  return result;
}

// The /Info entry as UTF-8; "<none>" when it is missing.
inline std::string InfoText(const std::string& path, const std::string& key) {
  auto pdf = ReadPdf(path);
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

// A fresh, empty folder per test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("scrivex_pdf_" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }
  std::string Pdf(const std::string& name, const std::vector<TestPage>& pages) const {
    MakeTestPdf(*this / name, pages);
    return *this / name;
  }
  size_t EntryCount() const {
    auto it = std::filesystem::directory_iterator(path_);
    return static_cast<size_t>(std::distance(it, std::filesystem::directory_iterator()));
  }
  // Runs a shell command and returns what it printed (standard output and error).
  std::string CommandOutput(const std::string& command) const {
    std::system((command + " >'" + (*this / "command.out") + "' 2>&1").c_str());
    return ReadBytes(*this / "command.out");
  }

 private:
  std::filesystem::path path_;
};

}  // namespace scrivex::testing

#endif  // SCRIVEX_PDF_PDF_TEST_SUPPORT_H_
