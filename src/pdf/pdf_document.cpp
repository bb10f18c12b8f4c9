#include "pdf/pdf_document.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <random>

namespace scrivex {
namespace {

namespace fs = std::filesystem;

void SetError(std::string* error, const std::string& text) {
  if (error == nullptr) return;
  // Callers print it as one line.
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  *error = line;
}

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Creates a new file beside `target` that nobody else has: "x" mode fails on
// an existing name, so a guessed name cannot be hijacked.
FilePtr CreateSiblingFile(const fs::path& target, fs::path* created, std::string* error) {
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  // Short enough to stay within a file-name limit whatever the target's length.
  const std::string base = "." + target.filename().string().substr(0, 100);
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%012llx.tmp",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFULL));
    fs::path candidate = dir / (base + suffix);
    FILE* f = std::fopen(candidate.c_str(), "wbx");
    if (f != nullptr) {
      *created = candidate;
      return FilePtr(f);
    }
    if (errno != EEXIST) {
      SetError(error, "cannot create a file in " + dir.string() + ": " + std::strerror(errno));
      return nullptr;
    }
  }
  SetError(error, "cannot find a free temporary name in " + dir.string());
  return nullptr;
}

}  // namespace

void SilencePdf(QPDF& pdf) { pdf.setSuppressWarnings(true); }

std::unique_ptr<QPDF> OpenPdf(const std::string& path, const std::string& password, bool recover,
                              std::string* error) {
  try {
    auto pdf = std::make_unique<QPDF>();
    SilencePdf(*pdf);
    pdf->setAttemptRecovery(recover);
    pdf->processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
    // Reads the page tree now, so a broken one fails here and not halfway.
    QPDFPageDocumentHelper(*pdf).pushInheritedAttributesToPage();
    return pdf;
  } catch (const std::exception& e) {
    SetError(error, e.what());
  }
  return nullptr;
}

int CopyAllPages(QPDF& source, QPDF& target, bool atFront) {
  QPDFAcroFormDocumentHelper sourceForms(source);
  QPDFAcroFormDocumentHelper targetForms(target);
  const bool withForms = sourceForms.hasAcroForm();
  const std::vector<QPDFObjectHandle> pages = source.getAllPages();
  QPDFObjectHandle anchor;
  if (atFront && !target.getAllPages().empty()) anchor = target.getAllPages().front();
  int copied = 0;
  for (const QPDFObjectHandle& page : pages) {
    QPDFObjectHandle copy;
    try {
      copy = target.copyForeignObject(page);
      if (anchor.isInitialized()) {
        target.addPageAt(copy, true, anchor);
      } else {
        target.addPage(copy, false);
      }
      ++copied;
    } catch (const std::exception&) {
      continue;  // a page that cannot be read is left out
    }
    if (!withForms) continue;
    try {
      // Gives the copy annotations of its own and adds its fields to the form.
      targetForms.fixCopiedAnnotations(copy, page, sourceForms);
    } catch (const std::exception&) {
      // The page keeps the annotations it was copied with.
    }
  }
  return copied;
}

std::string FirstPdfWarning(QPDF& pdf) {
  if (!pdf.anyWarnings()) return "";
  std::vector<QPDFExc> warnings = pdf.getWarnings();
  return warnings.empty() ? "" : warnings.front().what();
}

void SetInfoText(QPDF& pdf, const std::string& key, const std::string& utf8) {
  QPDFObjectHandle trailer = pdf.getTrailer();
  QPDFObjectHandle info = trailer.getKey("/Info");
  if (!info.isDictionary()) {
    info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    trailer.replaceKey("/Info", info);
  }
  info.replaceKey(key, QPDFObjectHandle::newUnicodeString(utf8));
}

bool WritePdfReplacing(QPDF& pdf, const std::string& path, const PdfWriteOptions& options,
                       std::string* error) {
  std::error_code ec;
  fs::path target(path);
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::canonical(target, ec);
    if (!ec) target = resolved;
  }
  if (fs::is_directory(target, ec)) {
    SetError(error, path + " is a directory");
    return false;
  }

  fs::path temp;
  FilePtr file = CreateSiblingFile(target, &temp, error);
  if (!file) return false;

  bool written = false;
  try {
    QPDFWriter writer(pdf, temp.c_str(), file.get(), false);
    if (options.configure) options.configure(writer);
    writer.write();
    written = true;
  } catch (const std::exception& e) {
    SetError(error, e.what());
  }
  if (written && (std::fflush(file.get()) != 0 || std::ferror(file.get()) != 0)) {
    SetError(error, "cannot write " + temp.string());
    written = false;
  }
  if (std::fclose(file.release()) != 0 && written) {
    SetError(error, "cannot write " + temp.string());
    written = false;
  }
  if (written && options.verify) {
    std::string reason = options.verify();
    if (!reason.empty()) {
      SetError(error, reason);
      written = false;
    }
  }
  if (written) {
    fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old)) fs::permissions(temp, old.permissions(), ec);
    ec.clear();
    fs::rename(temp, target, ec);
    if (ec) {
      SetError(error, "cannot replace " + target.string() + ": " + ec.message());
      written = false;
    }
  }
  if (!written) fs::remove(temp, ec);
  return written;
}

}  // namespace scrivex
