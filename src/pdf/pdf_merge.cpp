#include "pdf/pdf_merge.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include "pdf/pdf_document.h"

namespace scrivex {
namespace {

// Passwords of RC4 and AES-128 files are PDFDocEncoding bytes, which is what a
// reader makes of the typed text; UTF-8 that does not fit stays as it is.
std::string PdfDocPassword(const std::string& utf8) {
  std::string pdfDoc;
  return QUtil::utf8_to_pdf_doc(utf8, pdfDoc) ? pdfDoc : utf8;
}

// A part that is missing or unreadable is skipped; a second try uses the job's
// open password.
std::unique_ptr<QPDF> OpenPart(const std::string& path, const std::string& password) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  std::unique_ptr<QPDF> pdf = OpenPdf(path, "", true, nullptr);
  if (!pdf && !password.empty()) pdf = OpenPdf(path, PdfDocPassword(password), true, nullptr);
  if (!pdf && !password.empty() && PdfDocPassword(password) != password) {
    pdf = OpenPdf(path, password, true, nullptr);
  }
  return pdf;
}

// Top-level fields get the names Form0, Form1, ... in the order of the form's
// field list, which is the parts' order; their kids keep their own names.
void RenameFormFields(QPDF& pdf) {
  QPDFObjectHandle form = pdf.getRoot().getKey("/AcroForm");
  if (!form.isDictionary()) return;
  QPDFObjectHandle fields = form.getKey("/Fields");
  if (!fields.isArray()) return;
  const int count = fields.getArrayNItems();
  for (int i = 0; i < count; ++i) {
    QPDFObjectHandle field = fields.getArrayItem(i);
    if (!field.isDictionary()) continue;
    char name[32];
    std::snprintf(name, sizeof name, "Form%d", i);
    field.replaceKey("/T", QPDFObjectHandle::newUnicodeString(name));
  }
}

void RotatePages(QPDF& pdf, int rotation) {
  if (rotation == 0 || rotation % 90 != 0) return;
  for (QPDFObjectHandle page : pdf.getAllPages()) {
    try {
      page.rotatePage(rotation, true);
    } catch (const std::exception&) {
      // A page that cannot be changed stays as it is.
    }
  }
}

bool Allowed(int permissions, int flag) { return (permissions & flag) == 0; }

void SetEncryption(QPDFWriter& writer, const ConversionOptions& o) {
  const std::string userPassword = PdfDocPassword(o.userPassword);
  const std::string ownerPassword = PdfDocPassword(o.ownerPassword);
  const char* user = userPassword.c_str();
  const char* owner = ownerPassword.c_str();
  const int p = o.permissions;
  if (o.encryptionKeyLength == 0) {
    writer.setR2EncryptionParametersInsecure(user, owner, Allowed(p, kDenyPrint),
                                             Allowed(p, kDenyModify), Allowed(p, kDenyCopy),
                                             Allowed(p, kDenyAnnotate));
    return;
  }
  qpdf_r3_print_e print = qpdf_r3p_full;
  if (!Allowed(p, kDenyPrint)) {
    print = qpdf_r3p_none;
  } else if (!Allowed(p, kDenyPrintHighRes)) {
    print = qpdf_r3p_low;
  }
  if (o.encryptionKeyLength == 1) {
    writer.setR3EncryptionParametersInsecure(user, owner, Allowed(p, kDenyAccessibility),
                                             Allowed(p, kDenyCopy), Allowed(p, kDenyAssemble),
                                             Allowed(p, kDenyAnnotate), Allowed(p, kDenyFillForms),
                                             Allowed(p, kDenyModify), print);
  } else {
    writer.setR4EncryptionParametersInsecure(user, owner, Allowed(p, kDenyAccessibility),
                                             Allowed(p, kDenyCopy), Allowed(p, kDenyAssemble),
                                             Allowed(p, kDenyAnnotate), Allowed(p, kDenyFillForms),
                                             Allowed(p, kDenyModify), print, true, true);
  }
}

}  // namespace

int MergePdfParts(const std::vector<std::string>& parts, const std::string& outputPath,
                  const ConversionOptions* options) {
  const ConversionOptions defaults;
  const ConversionOptions& o = options != nullptr ? *options : defaults;

  QPDF out;
  try {
    SilencePdf(out);
    out.emptyPDF();
  } catch (const std::exception&) {
    return kMergeNoDocument;
  }
  if (outputPath.empty()) return kMergeCannotCreate;

  // Every source is read again while the output is written: they live until then.
  std::vector<std::unique_ptr<QPDF>> sources;
  int pages = 0;
  try {
    SetInfoText(out, "/Producer", kPdfProducerText);
    SetInfoText(out, "/Creator", kPdfCreatorText);
    if (!o.author.empty()) SetInfoText(out, "/Author", o.author);
    if (!o.keywords.empty()) SetInfoText(out, "/Keywords", o.keywords);
    if (!o.subject.empty()) SetInfoText(out, "/Subject", o.subject);
    if (!o.title.empty()) SetInfoText(out, "/Title", o.title);

    for (const std::string& path : parts) {
      std::unique_ptr<QPDF> part = OpenPart(path, o.userPassword);
      if (!part) continue;
      pages += CopyAllPages(*part, out, false);
      sources.push_back(std::move(part));
    }
    RenameFormFields(out);
    RotatePages(out, o.rotation);
  } catch (const std::exception&) {
    return kMergeCannotCreate;
  }
  // A file without pages is no PDF anyone can use; an older output stays.
  if (pages == 0) return kMergeCannotCreate;

  PdfWriteOptions write;
  write.configure = [&o, &sources](QPDFWriter& writer) {
    // The header must admit every feature the copied pages use.
    for (const auto& source : sources) {
      writer.setMinimumPDFVersion(source->getPDFVersion(), source->getExtensionLevel());
    }
    if (o.encryptionKeyLength >= 0 && o.encryptionKeyLength <= 2) SetEncryption(writer, o);
  };
  if (!WritePdfReplacing(out, outputPath, write, nullptr)) return kMergeCannotCreate;
  return kMergeWritten;
}

}  // namespace scrivex
