#include "image/print_route.h"

#include <vector>

#include "common/failure_reason.h"
#include "image/image_converter.h"
#include "image/post_process.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// The virtual printers are not part of the program yet: until they are,
// printing produces nothing and says why.
int PrintNothing(const std::string& /*input*/, const std::string& /*output*/,
                 const ConversionOptions* /*options*/) {
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
  if (!platform::EqualsNoCase(parts.ext, ".dcx") && !platform::EqualsNoCase(parts.ext, ".mng")) {
    return printDocument(input, output, options);
  }
  // The PNG pages go to a private folder of this job: another account
  // cannot plant a link or a matching file there, and only this job's pages
  // are found in it.
  platform::StagingFolder pngDir;
  if (!pngDir.CreateIn(platform::TempDirectory())) return 0;
  const std::string pngName = pngDir.path() + "page.png";
  int printed = printDocument(input, pngName, options);

  std::vector<std::string> pages;
  FindMatchingFiles(pngDir.path() + "page*.png", &pages);
  if (pages.empty()) return printed;
  return RunImageConverter(pages, output);
}

}  // namespace scrivex
