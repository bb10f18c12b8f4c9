#include "pdf/pdf_document.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <sstream>

#include "pdf/qpdf/qpdf_document.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

void SetError(std::string* error, const std::string& text) {
  if (error == nullptr) return;
  // Callers print it as one line.
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  *error = line;
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

int CountPdfPages(const std::string& path, bool recover, std::string* why, double* area) {
  std::unique_ptr<QPDF> pdf = OpenPdf(path, "", recover, why);
  if (!pdf) return -1;
  try {
    std::vector<QPDFObjectHandle> pages = pdf->getAllPages();
    if (area) {
      *area = 0;
      for (QPDFObjectHandle& page : pages) {
        QPDFObjectHandle box = page.getKey("/CropBox");
        if (!box.isRectangle()) box = page.getKey("/MediaBox");
        if (!box.isRectangle()) continue;
        QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
        *area += std::abs((r.urx - r.llx) * (r.ury - r.lly));
      }
    }
    return static_cast<int>(pages.size());
  } catch (const std::exception& e) {
    SetError(why, e.what());
  }
  return -1;
}

bool IsSingleEmptyPagePdf(const std::string& path) {
  std::unique_ptr<QPDF> pdf = OpenPdf(path, "", false, nullptr);
  if (!pdf) return false;
  try {
    std::vector<QPDFObjectHandle> pages = pdf->getAllPages();
    if (pages.size() != 1) return false;
    Pl_Buffer contents("page contents");
    QPDFPageObjectHelper(pages[0]).pipeContents(&contents);
    std::unique_ptr<Buffer> bytes(contents.getBuffer());
    std::string text(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
    // Only saving, restoring and scaling the graphics state: nothing drawn.
    std::istringstream tokens(text);
    std::string token;
    while (tokens >> token) {
      if (token == "q" || token == "Q" || token == "cm") continue;
      if (token.find_first_not_of("0123456789.-+") == std::string::npos) continue;
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool SplitPdfPages(const std::string& path, const std::function<std::string(int)>& pagePath,
                   std::vector<std::string>* written, std::string* why) {
  written->clear();
  std::unique_ptr<QPDF> source = OpenPdf(path, "", true, why);
  if (!source) return false;
  try {
    std::vector<QPDFObjectHandle> pages = source->getAllPages();
    for (size_t i = 0; i < pages.size(); ++i) {
      QPDF one;
      one.emptyPDF();
      one.addPage(one.copyForeignObject(pages[i]), false);
      std::string name = pagePath(static_cast<int>(i + 1));
      if (!WritePdfReplacing(one, name, {}, why)) return false;
      written->push_back(name);
    }
  } catch (const std::exception& e) {
    SetError(why, e.what());
    return false;
  }
  return true;
}

std::vector<int> PagesInRange(const std::string& range, int count) {
  std::vector<bool> chosen(count > 0 ? count + 1 : 1, false);
  bool any = false;
  size_t i = 0;
  while (i <= range.size()) {
    size_t end = range.find(',', i);
    if (end == std::string::npos) end = range.size();
    std::string item;
    for (char c : range.substr(i, end - i)) {
      if (c != ' ') item += c;
    }
    i = end + 1;
    if (item.empty()) continue;
    if (item.find_first_not_of("0123456789-") != std::string::npos) return {};
    const size_t dash = item.find('-');
    if (dash != item.rfind('-') || item.size() > 18) return {};
    const std::string from = dash == std::string::npos ? item : item.substr(0, dash);
    const std::string to = dash == std::string::npos ? item : item.substr(dash + 1);
    if (from.empty() && to.empty()) return {};
    const long long first = from.empty() ? 1 : std::stoll(from);
    const long long last = to.empty() ? count : std::stoll(to);
    if (first < 1 || last < first) return {};
    for (long long n = first; n <= last && n <= count; ++n) chosen[n] = any = true;
  }
  std::vector<int> pages;
  for (int n = 1; any && n <= count; ++n) {
    if (chosen[n]) pages.push_back(n);
  }
  return pages;
}

bool WritePagesInRange(const std::string& source, const std::string& range,
                       const std::string& target, std::string* why) {
  std::unique_ptr<QPDF> pdf = OpenPdf(source, "", false, why);
  if (!pdf) return false;
  try {
    const std::vector<QPDFObjectHandle> pages = pdf->getAllPages();
    const int count = static_cast<int>(pages.size());
    std::vector<int> wanted = PagesInRange(range.empty() ? "1-" : range, count);
    if (wanted.empty()) {
      SetError(why, "the range \"" + range + "\" names no page of the " + std::to_string(count) +
                        " the document has");
      return false;
    }
    QPDF out;
    SilencePdf(out);
    out.emptyPDF();
    for (int n : wanted) out.addPage(out.copyForeignObject(pages[n - 1]), false);
    return WritePdfReplacing(out, target, {}, why);
  } catch (const std::exception& e) {
    SetError(why, e.what());
  }
  return false;
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
  platform::ReplacementFile file;
  std::string reason;
  bool written = file.Create(path, &reason) && file.Stream() != nullptr;
  if (written) {
    try {
      QPDFWriter writer(pdf, file.path().c_str(), file.Stream(), false);
      if (options.configure) options.configure(writer);
      writer.write();
    } catch (const std::exception& e) {
      reason = e.what();
      written = false;
    }
  }
  if (written && options.verify) {
    // Flushed first, so the check reads the whole file.
    written = std::fflush(file.Stream()) == 0;
    reason = written ? options.verify() : "cannot write " + file.path();
    written = reason.empty();
  }
  if (written) written = file.Commit(&reason);
  if (!written) SetError(error, reason);
  return written;
}

}  // namespace scrivex
