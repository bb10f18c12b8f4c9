#include "driver/pipeline.h"

#include <cstdio>

#include "driver/options.h"
#include "common/child_process.h"
#include "common/temp_files.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"

namespace scrivex {

using platform::FileExists;
using platform::HasExtension;

namespace {

int RunTool(const std::vector<std::string>& argv, const Converters& converters) {
  return converters.runCommandLine ? converters.runCommandLine(argv) : RunCommandLine(argv);
}

bool IsPostScriptFamily(const std::string& path) {
  return HasExtension(path, ".pdf") || HasExtension(path, ".ps") || HasExtension(path, ".eps");
}

// Outputs that a converter writes as one file: an existing one is replaced
// only once its successor is complete.
bool IsWrittenAsOneFile(const std::string& path) {
  return HasExtension(path, ".pdf") || HasExtension(path, ".ps") || HasExtension(path, ".tif") ||
         HasExtension(path, ".tiff");
}

int ConvertThroughPrinting(const std::string& input, const std::string& target,
                           const ConversionOptions* options, const Converters& converters) {
  if (!converters.convertThroughImageConverter) return 0;
  return converters.convertThroughImageConverter(input, target, options);
}

}  // namespace

int ConvertOneFile(const std::string& input, const std::string& target,
                   const ConversionOptions* options, const Converters& converters) {
  if (input.empty() || target.empty()) return -1;
  ConversionOptions defaults;
  const ConversionOptions& o = options ? *options : defaults;
  if (o.removeBlankPages) {
    return converters.removeBlankTiffPages ? converters.removeBlankTiffPages(input, target, options)
                                           : 0;
  }
  if (!FileExists(input)) {
    if (IsUrl(input)) return ConvertThroughPrinting(input, target, options, converters);
    return -1;
  }
  if (HasExtension(target, ".emf") || HasExtension(target, ".wmf")) {
    TargetPrinterName = kInkwellPrinterName;
    return ConvertThroughPrinting(input, target, options, converters);
  }
  if (!IsPostScriptFamily(input)) return ConvertThroughPrinting(input, target, options, converters);

  int first = -1, last = -1;
  std::string source = input;
  std::string selected;
  if (!o.pageRange.empty()) {
    ParsePageRange(o.pageRange, &first, &last);
    if (HasExtension(input, ".ps")) {
      selected = MakeTempFileName(".ps");
      int ok = !selected.empty() && converters.selectPostScriptPages &&
               converters.selectPostScriptPages(input, selected, first, last);
      if (!ok) {
        if (!selected.empty()) platform::RemoveFile(selected);
        return -1;
      }
      source = selected;
      // The cut file holds just the range: renumbered from 1, so no range again.
      first = last = -1;
    }
  }
  int result = 0;
  if (converters.convertPsToImage) {
    result = converters.convertPsToImage(
        source, target, static_cast<float>(o.width), static_cast<float>(o.height),
        static_cast<float>(o.resolutionX), static_cast<float>(o.resolutionY), o.tiffCompression, 1,
        first, last, o.jpegQuality, o.colorBits, o.grayscale);
  }
  if (o.noSinglePageSuffix) RenameSinglePageOutput(target);
  if (!selected.empty()) platform::RemoveFile(selected);
  return result;
}

std::string ToolsProgramPath() { return platform::ProgramDirectory() + "tools.cfg"; }

int MergeWithExistingPdf(const std::string& newPdf, const std::string& existingPdf,
                         const ConversionOptions* options, const Converters& converters) {
  if (newPdf.empty() || existingPdf.empty() || !options) return 0;
  int mode = options->existingOutputMode;
  if (mode == 0 || mode == 3) return 1;
  std::string pages = mode == 1 ? "1|0|" + newPdf : newPdf;
  int code = RunTool({ToolsProgramPath(), "-i", existingPdf, "-*", pages}, converters);
  // A tool that reported failure has merged nothing, whatever is on disk.
  return code == 0 && FileExists(existingPdf) ? 1 : 0;
}

int SetPdfDocumentInfo(const std::string& pdf, const ConversionOptions* options,
                       const Converters& converters) {
  if (pdf.empty() || !options) return 0;
  const ConversionOptions& o = *options;
  if (o.title.empty() && o.author.empty() && o.subject.empty() && o.keywords.empty()) return 0;
  RunTool({ToolsProgramPath(), "-i", pdf, "-o", pdf, "-t", o.title, "-a", o.author, "-s",
           o.subject, "-k", o.keywords},
          converters);
  return 1;
}

int ConvertAll(const WorkList& list, const ConversionOptions& options, const Converters& converters) {
  long long start = platform::TickCountMs();
  int result = 1;
  const size_t n = list.size();
  for (size_t i = 0; i < n; ++i) {
    const std::string& input = list[i].inputPath;
    std::string finalOutput = list[i].outputPath;
    std::string target;
    if (n > 1) {
      std::printf("Brindle Inc: %d\n", static_cast<int>((100 * i + 99) / n));
      std::fflush(stdout);
    }
    const bool isPdf = HasExtension(finalOutput, ".pdf");
    const bool exists = FileExists(finalOutput);
    platform::ReplacementFile side;  // written beside the output, moved over it on success
    bool refused = false;
    if (!exists) {
      target = finalOutput;
    } else {
      switch (options.existingOutputMode) {
        case 0:
          // Keeps the extension: the converters pick the output type by it.
          if (IsWrittenAsOneFile(finalOutput)) side.Create(finalOutput, nullptr, true);
          target = side.path().empty() ? finalOutput : side.path();
          break;
        case 1:
        case 2:
          if (isPdf) {
            target = MakeTempFileName(platform::SplitPath(finalOutput).ext);
          } else {
            // Only PDF pages can be put before or after existing ones.
            std::fprintf(stderr, "%s exists and only PDF output can be inserted or appended.\n",
                         finalOutput.c_str());
            refused = true;
          }
          break;
        case 3:
          target = MakeFreeNumberedName(finalOutput);
          finalOutput = target;
          break;
        default:
          break;
      }
    }

    result = refused ? 0 : ConvertOneFile(input, target, &options, converters);

    if (!side.path().empty()) {
      // Replace the old output only with a complete new one.
      if (result == 1 && platform::FileSize(side.path()) > 0) {
        if (isPdf) SetPdfDocumentInfo(side.path(), &options, converters);
        if (!side.Commit()) result = 0;
      }
      side.Discard();
    } else if (isPdf && !target.empty()) {
      SetPdfDocumentInfo(target, &options, converters);
      if (target != finalOutput && FileExists(target)) {
        if (!MergeWithExistingPdf(target, finalOutput, &options, converters) && result == 1)
          result = 0;
        platform::RemoveFile(target);
      }
    }

    if (options.viewResult && FileExists(finalOutput) && converters.openUrlInBrowser)
      converters.openUrlInBrowser(finalOutput);

    std::string line = input + " ==> " + finalOutput +
                       ", result = " + (result == 1 ? "Successful" : "Failed") + "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  }
  long long elapsed = platform::TickCountMs() - start;
  std::printf("Conversion time = %.2fs (%dms)\n", elapsed * 0.001, static_cast<int>(elapsed));
  std::fflush(stdout);
  return result;
}

}  // namespace scrivex
