#include "image/print_route.h"

#include <vector>

#include "common/failure_reason.h"
#include "common/temp_files.h"
#include "image/image_converter.h"
#include "image/post_process.h"
#include "platform/files.h"
#include "platform/path.h"

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
  std::string pngName = MakeTempFileName(".png");
  if (pngName.empty()) return 0;
  int printed = printDocument(input, pngName, options);

  platform::PathParts png = platform::SplitPath(pngName);
  std::vector<std::string> pages;
  FindMatchingFiles(platform::MakePath(png.drive, png.dir, png.name + "*", ".png"), &pages);
  if (pages.empty()) return printed;

  int result = RunImageConverter(pages, output);
  for (const std::string& page : pages) platform::RemoveFile(page);
  return result;
}

}  // namespace scrivex
