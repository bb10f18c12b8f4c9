// Test helpers: small PDFs made with qpdf and readers for what the tests check.
#ifndef SCRIVEX_PDF_PDF_TEST_SUPPORT_H_
#define SCRIVEX_PDF_PDF_TEST_SUPPORT_H_

#include <functional>
#include <map>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex::testing {

using namespace scrivex::test;

struct TestPage {
  int size = 200;                                           // points: tells pages apart
  std::vector<std::pair<std::string, std::string>> fields;  // name, value
};

inline std::vector<TestPage> Pages(std::initializer_list<int> sizes) {
  std::vector<TestPage> pages;
  for (int s : sizes) pages.push_back(TestPage{s, {}});
  return pages;
}

// Square pages; text fields are widget annotations merged with their field
// dictionaries. Returns path.
inline std::string MakeTestPdf(const std::string& path, const std::vector<TestPage>& pages,
                               const std::function<void(QPDFWriter&)>& configure = {}) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFObjectHandle fields = QPDFObjectHandle::newArray();
  for (const TestPage& spec : pages) {
    const std::string size = std::to_string(spec.size);
    QPDFObjectHandle page = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + size + " " + size + "] >>"));
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "0 0 m 10 10 l S\n"));
    QPDFObjectHandle annots = QPDFObjectHandle::newArray();
    for (const auto& [name, value] : spec.fields) {
      QPDFObjectHandle widget = pdf.makeIndirectObject(QPDFObjectHandle::parse(
          "<< /Type /Annot /Subtype /Widget /FT /Tx /Rect [10 20 150 40] >>"));
      widget.replaceKey("/T", QPDFObjectHandle::newUnicodeString(name));
      widget.replaceKey("/V", QPDFObjectHandle::newUnicodeString(value));
      widget.replaceKey("/P", page);
      annots.appendItem(widget);
      fields.appendItem(widget);
    }
    if (!spec.fields.empty()) page.replaceKey("/Annots", annots);
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
inline std::string MakeEncryptedPdf(const std::string& path, const std::vector<TestPage>& pages,
                                    const std::string& userPassword) {
  return MakeTestPdf(path, pages, [&](QPDFWriter& w) {
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
  return info.isDictionary() && info.hasKey(key) ? info.getKey(key).getUTF8Value() : "<none>";
}

// What "qpdf --show-encryption" prints for the file.
inline std::string ShowEncryption(const std::string& path, const std::string& password = "") {
  platform::ChildOptions options;
  options.captureOutput = true;
  return platform::RunChild({"qpdf", "--show-encryption", "--password=" + password, path}, options)
      .output;
}

}  // namespace scrivex::testing

#endif  // SCRIVEX_PDF_PDF_TEST_SUPPORT_H_
