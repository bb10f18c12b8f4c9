#include "pdf/pdf_merge.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <string>
#include <utility>
#include <vector>

#include "pdf/qpdf/qpdf_document.h"
#include "platform/replacement_file.h"

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

// The document information every joined file gets: the fixed texts, then
// those of the options that are set.
std::vector<std::pair<std::string, std::string>> InformationEntries(const ConversionOptions& o) {
  std::vector<std::pair<std::string, std::string>> entries = {{"/Producer", kPdfProducerText},
                                                              {"/Creator", kPdfCreatorText}};
  for (const auto& [key, text] :
       {std::pair{"/Author", &o.author}, std::pair{"/Keywords", &o.keywords},
        std::pair{"/Subject", &o.subject}, std::pair{"/Title", &o.title}}) {
    if (!text->empty()) entries.emplace_back(key, *text);
  }
  return entries;
}

// The offset "startxref" gives in the file's last bytes, or -1.
long long StartXref(std::FILE* file, long long size) {
  const long long tailSize = std::min<long long>(size, 1024);
  std::string tail(static_cast<size_t>(tailSize), '\0');
  if (fseeko(file, size - tailSize, SEEK_SET) != 0 ||
      std::fread(tail.data(), 1, tail.size(), file) != tail.size()) {
    return -1;
  }
  size_t at = tail.rfind("startxref");
  if (at == std::string::npos) return -1;
  char* end = nullptr;
  long long offset = std::strtoll(tail.c_str() + at + 9, &end, 10);
  return end != tail.c_str() + at + 9 && offset > 0 && offset < size ? offset : -1;
}

// The file's cross-reference table and trailer, nothing more: the page tree
// of a long job is never loaded. Null when it does not read cleanly.
std::unique_ptr<QPDF> OpenShallow(const std::string& path) {
  try {
    auto pdf = std::make_unique<QPDF>();
    SilencePdf(*pdf);
    pdf->setAttemptRecovery(false);
    pdf->processFile(path.c_str());
    if (pdf->anyWarnings()) return nullptr;
    return pdf;
  } catch (const std::exception&) {
    return nullptr;
  }
}

// A job of one plain part (its catalog holds pages alone: no form, outline
// or metadata; no protection; one classic cross-reference table) needs only
// new document information. It is copied byte for byte with an update that
// adds the information appended, so a job of any page count is joined in
// memory that does not grow with its pages. False when the part is not such
// a file or it could not be written; the caller then joins it the full way.
bool AppendInformation(const std::string& partPath, const std::string& outputPath,
                       const ConversionOptions& o) {
  if (o.rotation % 360 != 0 || (o.encryptionKeyLength >= 0 && o.encryptionKeyLength <= 2)) {
    return false;
  }
  std::unique_ptr<QPDF> part = OpenShallow(partPath);
  if (!part || part->isEncrypted()) return false;
  QPDFObjectHandle trailer = part->getTrailer();
  QPDFObjectHandle root = part->getRoot();
  for (const std::string& key : trailer.getKeys()) {
    if (key != "/Size" && key != "/Root" && key != "/Info" && key != "/ID") return false;
  }
  for (const std::string& key : root.getKeys()) {
    if (key != "/Type" && key != "/Pages") return false;
  }
  QPDFObjectHandle size = trailer.getKey("/Size");
  QPDFObjectHandle count = root.getKey("/Pages").getKey("/Count");
  if (!size.isInteger() || size.getIntValue() <= 0 || !count.isInteger() ||
      count.getIntValue() <= 0 || !root.isIndirect() || part->anyWarnings()) {
    return false;
  }
  const long long next = size.getIntValue(), pageCount = count.getIntValue();

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(partPath.c_str(), "rb"),
                                                     std::fclose);
  if (!in || fseeko(in.get(), 0, SEEK_END) != 0) return false;
  const long long bytes = ftello(in.get());
  const long long xref = bytes > 0 ? StartXref(in.get(), bytes) : -1;
  char head[5] = {};
  if (xref < 0 || fseeko(in.get(), xref, SEEK_SET) != 0 || std::fread(head, 1, 4, in.get()) != 4 ||
      std::string(head) != "xref") {
    return false;  // a cross-reference stream: the full way
  }

  QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
  for (const auto& [key, text] : InformationEntries(o)) {
    info.replaceKey(key, QPDFObjectHandle::newUnicodeString(text));
  }

  platform::ReplacementFile out;
  std::string reason;
  if (!out.Create(outputPath, &reason) || out.Stream() == nullptr) return false;
  std::vector<char> buffer(1 << 16);
  if (fseeko(in.get(), 0, SEEK_SET) != 0) return false;
  long long copied = 0;
  for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0; copied += n) {
    if (std::fwrite(buffer.data(), 1, n, out.Stream()) != n) return false;
  }
  if (copied != bytes) return false;
  const long long object = bytes + 1;  // after the line end written first
  char entry[32];
  std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", object);
  const std::string update =
      "\n" + std::to_string(next) + " 0 obj\n" + info.unparse() + "\nendobj\n";
  const long long table = object + static_cast<long long>(update.size()) - 1;
  std::string text =
      update + "xref\n" + std::to_string(next) + " 1\n" + entry + "trailer\n<< /Size " +
      std::to_string(next + 1) + " /Root " + root.unparse() + " /Info " + std::to_string(next) +
      " 0 R" + (trailer.hasKey("/ID") ? " /ID " + trailer.getKey("/ID").unparse() : "") +
      " /Prev " + std::to_string(xref) + " >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
  if (std::fwrite(text.data(), 1, text.size(), out.Stream()) != text.size() ||
      std::fflush(out.Stream()) != 0) {
    return false;
  }
  // The joined file must read back whole before it replaces anything.
  part.reset();
  std::unique_ptr<QPDF> check = OpenShallow(out.path());
  if (!check || check->getTrailer().getKey("/Info").getObjectID() != next ||
      check->getRoot().getKey("/Pages").getKey("/Count").getIntValue() != pageCount) {
    return false;
  }
  return out.Commit(&reason);
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
  if (parts.size() == 1 && AppendInformation(parts[0], outputPath, o)) return kMergeWritten;

  // Every source is read again while the output is written: they live until then.
  std::vector<std::unique_ptr<QPDF>> sources;
  int pages = 0;
  try {
    for (const auto& [key, text] : InformationEntries(o)) SetInfoText(out, key, text);

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
