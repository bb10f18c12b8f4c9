#include "image/print_route.h"

#include <vector>

#include "common/failure_reason.h"
#include "image/image_converter.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// The virtual printers are not part of the program yet: until they are,
// printing produces nothing and says why.
int PrintNothing(const std::string& /*input*/, const std::string& /*output*/,
                 const ConversionOptions* /*options*/, std::vector<std::string>* /*produced*/) {
  NoteFailure(
      "printing documents is not available yet; only PostScript, EPS and PDF inputs convert to "
      "files other than EMF and WMF");
  return 0;
}

PrintDocumentFunction printDocument = PrintNothing;

}  // namespace

void SetPrintDocumentFunction(PrintDocumentFunction print) {
  printDocument = print ? print : PrintNothing;
}

int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions* options) {
  platform::PathParts parts = platform::SplitPath(output);
  std::vector<std::string> pages;
  if (!platform::EqualsNoCase(parts.ext, ".dcx") && !platform::EqualsNoCase(parts.ext, ".mng")) {
    return printDocument(input, output, options, &pages) > 0 ? 1 : 0;
  }
  // The PNG pages go to a private folder of this job: another account
  // cannot plant a link or a matching file there. Only the pages this job
  // announced are joined.
  platform::StagingFolder pngDir;
  if (!pngDir.CreateIn(platform::TempDirectory())) {
    NoteFailure("no private folder for the pages in " + platform::TempDirectory());
    return 0;
  }
  if (printDocument(input, pngDir.path() + "page.png", options, &pages) <= 0) return 0;
  return RunImageConverter(pages, output);
}

}  // namespace scrivex
