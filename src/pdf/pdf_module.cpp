#include "pdf/pdf_module.h"

#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace scrivex {

const PdfModule* OpenPdfModule(const std::string& file, platform::SharedLibrary* library,
                               std::string* why) {
  const PdfModule* (*entry)() = nullptr;
  if (!library->Open(file, why) || !library->Bind(kPdfModuleEntry, &entry, why)) return nullptr;
  const PdfModule* module = entry();
  if (module == nullptr || module->size != sizeof(PdfModule) || module->version == nullptr ||
      std::strcmp(module->version, SCRIVEX_VERSION_TEXT) != 0) {
    if (why) *why = file + " is not the PDF module of this build";
    return nullptr;
  }
  return module;
}

namespace {

// The module beside the program, opened by the first call; null with *why
// set when it cannot be used.
const PdfModule* ProgramPdfModule(std::string* why) {
  struct Opened {
    platform::SharedLibrary library;
    const PdfModule* module = nullptr;
    std::string failure;
  };
  static const Opened opened = [] {
    Opened o;
    o.module = OpenPdfModule(platform::ProgramDirectory() + kPdfModuleFile, &o.library, &o.failure);
    return o;
  }();
  if (opened.module == nullptr && why) *why = "the PDF module cannot be used: " + opened.failure;
  return opened.module;
}

}  // namespace

int CountPdfPages(const std::string& path, bool recover, std::string* why, double* area) {
  const PdfModule* module = ProgramPdfModule(why);
  return module ? module->countPages(path, recover, why, area) : -1;
}

bool IsSingleEmptyPagePdf(const std::string& path) {
  const PdfModule* module = ProgramPdfModule(nullptr);
  return module && module->isSingleEmptyPage(path);
}

bool SplitPdfPages(const std::string& path, const std::function<std::string(int)>& pagePath,
                   std::vector<std::string>* written, std::string* why) {
  written->clear();
  const PdfModule* module = ProgramPdfModule(why);
  return module && module->splitPages(path, pagePath, written, why);
}

bool WritePagesInRange(const std::string& source, const std::string& range,
                       const std::string& target, std::string* why) {
  const PdfModule* module = ProgramPdfModule(why);
  return module && module->writePagesInRange(source, range, target, why);
}

bool WritePagesOnPaper(const std::string& source, int first, int last, double paperWidth,
                       double paperHeight, const std::string& out, std::string* why, bool expand) {
  const PdfModule* module = ProgramPdfModule(why);
  return module &&
         module->writePagesOnPaper(source, first, last, paperWidth, paperHeight, out, why, expand);
}

int MergePdfParts(const std::vector<std::string>& parts, const std::string& outputPath,
                  const ConversionOptions* options) {
  std::string why;
  const PdfModule* module = ProgramPdfModule(&why);
  if (module == nullptr) {
    // The callers have no reason to print but their own.
    std::fprintf(stderr, "%s\n", why.c_str());
    return kMergeCannotCreate;
  }
  return module->mergeParts(parts, outputPath, options);
}

}  // namespace scrivex
