#include "pdf/qpdf/pdf_tool.h"

#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include "pdf/qpdf/qpdf_document.h"

namespace scrivex {
namespace {

// The merge argument's prefix for "insert before the first page".
constexpr const char* kAtFrontPrefix = "1|0|";

bool Fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

}  // namespace

bool HasAnyText(const PdfDocumentInfo& info) {
  return !info.title.empty() || !info.author.empty() || !info.subject.empty() ||
         !info.keywords.empty();
}

std::string PdfToolUsage() {
  return "usage: tools.cfg -i <existing.pdf> -* \"[1|0|]<new.pdf>\"\n"
         "         adds the pages of <new.pdf> to <existing.pdf>: with \"1|0|\" before its first\n"
         "         page, otherwise after its last\n"
         "       tools.cfg -i <in.pdf> [-o <out.pdf>] [-t <title>] [-a <author>] [-s <subject>]\n"
         "                 [-k <keywords>]\n"
         "         writes document information (UTF-8; an empty text keeps the entry); <out.pdf>\n"
         "         defaults to <in.pdf>\n";
}

bool ParsePdfToolArguments(const std::vector<std::string>& args, PdfToolRequest* request,
                           std::string* error) {
  PdfToolRequest r;
  std::string merge;
  bool seenInput = false, seenOutput = false, seenMerge = false;
  bool seenInfo[4] = {false, false, false, false};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    std::string* value = nullptr;
    bool* seen = nullptr;
    if (option == "-i") {
      value = &r.input, seen = &seenInput;
    } else if (option == "-o") {
      value = &r.output, seen = &seenOutput;
    } else if (option == "-*") {
      value = &merge, seen = &seenMerge;
    } else if (option == "-t") {
      value = &r.info.title, seen = &seenInfo[0];
    } else if (option == "-a") {
      value = &r.info.author, seen = &seenInfo[1];
    } else if (option == "-s") {
      value = &r.info.subject, seen = &seenInfo[2];
    } else if (option == "-k") {
      value = &r.info.keywords, seen = &seenInfo[3];
    } else {
      return Fail(error, "unknown argument \"" + option + "\"");
    }
    if (*seen) return Fail(error, "option " + option + " given twice");
    // Every option takes the next argument as it is, even one starting with "-".
    if (i + 1 >= args.size()) return Fail(error, "option " + option + " needs a value");
    *value = args[++i];
    *seen = true;
  }
  if (r.input.empty()) return Fail(error, "no input PDF given (-i)");
  if (seenMerge) {
    if (merge.rfind(kAtFrontPrefix, 0) == 0) {
      r.atFront = true;
      merge.erase(0, std::string(kAtFrontPrefix).size());
    }
    if (merge.empty()) return Fail(error, "no PDF to add given (-*)");
    r.pagesFrom = merge;
  } else if (!seenOutput && !HasAnyText(r.info)) {
    return Fail(error, "nothing to do: give -* or -o, -t, -a, -s, -k");
  }
  *request = r;
  return true;
}

bool UpdatePdf(const std::string& existing, const std::string& pagesFrom, bool atFront,
               const PdfDocumentInfo& info, const std::string& output, std::string* error) {
  std::string reason;
  // No repair of the file we are about to replace: a damaged one is refused.
  std::unique_ptr<QPDF> pdf = OpenPdf(existing, "", false, &reason);
  if (!pdf) return Fail(error, "cannot read " + existing + ": " + reason);
  if (pdf->anyWarnings()) {
    return Fail(error, existing + " is damaged: " + FirstPdfWarning(*pdf));
  }

  std::unique_ptr<QPDF> source;
  if (!pagesFrom.empty()) {
    source = OpenPdf(pagesFrom, "", false, &reason);
    if (!source) return Fail(error, "cannot read " + pagesFrom + ": " + reason);
    try {
      const size_t expected = source->getAllPages().size();
      if (static_cast<size_t>(CopyAllPages(*source, *pdf, atFront)) != expected) {
        return Fail(error, "cannot copy every page of " + pagesFrom);
      }
    } catch (const std::exception& e) {
      return Fail(error, "cannot copy the pages of " + pagesFrom + ": " + e.what());
    }
  }

  try {
    if (!info.title.empty()) SetInfoText(*pdf, "/Title", info.title);
    if (!info.author.empty()) SetInfoText(*pdf, "/Author", info.author);
    if (!info.subject.empty()) SetInfoText(*pdf, "/Subject", info.subject);
    if (!info.keywords.empty()) SetInfoText(*pdf, "/Keywords", info.keywords);
    // An XMP packet would contradict the new entries (Ghostscript's says "Untitled"),
    // and readers that prefer it would show the old texts.
    if (HasAnyText(info)) pdf->getRoot().removeKey("/Metadata");
  } catch (const std::exception& e) {
    return Fail(error, std::string("cannot set the document information: ") + e.what());
  }

  PdfWriteOptions write;
  write.configure = [&source](QPDFWriter& writer) {
    if (!source) return;
    writer.setMinimumPDFVersion(source->getPDFVersion(), source->getExtensionLevel());
    // The added pages carry this run's protection; the joined file keeps it
    // rather than handing them out unprotected under the old file's.
    if (source->isEncrypted()) writer.copyEncryptionParameters(*source);
  };
  write.verify = [&]() -> std::string {
    std::string warning = FirstPdfWarning(*pdf);
    if (!warning.empty()) return existing + " is damaged: " + warning;
    if (source) {
      warning = FirstPdfWarning(*source);
      if (!warning.empty()) return pagesFrom + " is damaged: " + warning;
    }
    return "";
  };
  const std::string& target = output.empty() ? existing : output;
  if (!WritePdfReplacing(*pdf, target, write, &reason)) {
    return Fail(error, "cannot write " + target + ": " + reason);
  }
  return true;
}

bool AddPdfPages(const std::string& existing, const std::string& pagesFrom, bool atFront,
                 std::string* error) {
  if (pagesFrom.empty()) return Fail(error, "no PDF to add given");
  return UpdatePdf(existing, pagesFrom, atFront, PdfDocumentInfo{}, existing, error);
}

bool SetPdfDocumentInformation(const std::string& input, const std::string& output,
                               const PdfDocumentInfo& info, std::string* error) {
  return UpdatePdf(input, "", false, info, output, error);
}

bool RunPdfTool(const PdfToolRequest& request, std::string* error) {
  return UpdatePdf(request.input, request.pagesFrom, request.atFront, request.info, request.output,
                   error);
}

}  // namespace scrivex
