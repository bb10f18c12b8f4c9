#include "image/image_converter.h"

#include <cstdio>

#include "driver/run_command.h"
#include "driver/temp_files.h"
#include "ghostscript/hidden_process.h"
#include "image/post_process.h"
#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {
namespace {

// SEAM: the printing road's input-type dispatch (PrintDocument) is not part of
// the program yet. Until it is, printing produces nothing and says so with 0;
// its owner installs PrintDocument with SetPrintDocumentFunction.
int PrintNothing(const std::string& input, const std::string& /*output*/,
                 const ConversionOptions* /*options*/) {
  std::fprintf(stderr,
               "%s: printing documents is not available yet; only PostScript, EPS and PDF "
               "inputs convert to files other than EMF and WMF.\n",
               input.c_str());
  return 0;
}

PrintDocumentFunction printDocument = PrintNothing;

int PrintThroughDispatch(const std::string& input, const std::string& output,
                         const ConversionOptions* options) {
  return printDocument(input, output, options);
}

}  // namespace

void SetPrintDocumentFunction(PrintDocumentFunction print) {
  printDocument = print ? print : PrintNothing;
}


std::string LocateImageConverter(const std::string& fileName, bool mustExist) {
  std::string path = platform::ProgramDirectory() + fileName;
  if (mustExist && !platform::FileExists(path)) return fileName;
  return path;
}

std::string BuildImageConverterCommandLine(const std::string& converter,
                                           const std::vector<std::string>& inputs,
                                           const std::string& output) {
  if (!IsSafeArgument(converter) || !IsSafeArgument(output)) return "";
  std::string line = "\"" + converter + "\" -limit memory 128 -limit map 512 ";
  for (const std::string& input : inputs) {
    if (!IsSafeArgument(input)) return "";
    line += "\"" + input + "\" ";
  }
  line += "\"" + output + "\"";
  return line;
}

int RunImageConverter(const std::vector<std::string>& inputs, const std::string& output) {
  if (inputs.empty()) return 0;
  // The converter writes a plain name of our own in the temporary folder: it
  // would read "%d", "[...]" or "prefix:" in the output's own name as orders.
  std::string temp = MakeTempFileName(platform::SplitPath(output).ext);
  if (temp.empty()) return 0;
  std::string commandLine =
      BuildImageConverterCommandLine(LocateImageConverter(kImageConverterName, true), inputs, temp);
  if (commandLine.empty()) return 0;
  int exitCode = -1;
  int ran = RunHiddenProcess(commandLine, &exitCode);
  if (ran == 1 && exitCode == 0 && platform::IsRegularFile(temp) &&
      platform::MoveFileReplace(temp, output)) {
    return 1;
  }
  platform::RemoveFile(temp);
  return 0;
}

int ConvertThroughImageConverter(const std::string& input, const std::string& output,
                                 const ConversionOptions* options) {
  platform::PathParts parts = platform::SplitPath(output);
  if (!platform::EqualsNoCase(parts.ext, ".dcx") && !platform::EqualsNoCase(parts.ext, ".mng")) {
    return PrintThroughDispatch(input, output, options);
  }
  std::string pngName = MakeTempFileName(".png");
  if (pngName.empty()) return 0;
  int printed = PrintThroughDispatch(input, pngName, options);

  platform::PathParts png = platform::SplitPath(pngName);
  std::vector<std::string> pages;
  FindMatchingFiles(platform::MakePath(png.drive, png.dir, png.name + "*", ".png"), &pages);
  if (pages.empty()) return printed;

  int result = RunImageConverter(pages, output);
  for (const std::string& page : pages) platform::RemoveFile(page);
  return result;
}

}  // namespace scrivex
