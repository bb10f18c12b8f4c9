#include "main/real_converters.h"

#include "apps/print_document.h"
#include "apps/routes.h"
#include "image/blank_pages.h"
#include "platform/process.h"
#include "postscript/page_selector.h"
#include "render/ps_to_image.h"
#include "servers/office_bridge.h"

namespace scrivex {

namespace {

// Opens a produced file in the desktop's viewer, when there is one.
void OpenWithViewer(const std::string& path) {
  platform::ChildOptions options;
  options.detached = true;
  platform::RunChild({"xdg-open", path}, options);
}

}  // namespace

Converters RealConverters(PrintRun& printing) {
  printing.officeRetry = RetryWithOfficeConverter;
  Converters converters;
  converters.selectPostScriptPages = SelectPostScriptPages;
  converters.convertPsToImage = ConvertPsToImage;
  converters.convertThroughImageConverter =
      [&printing](const std::string& input, const std::string& output,
                  const ConversionOptions& options, const std::string& printer, std::string* why,
                  std::vector<std::string>* written, const ProgressSink& progress) {
        return ConvertThroughImageConverter(input, output, options, printer, printing, why,
                                            written, progress);
      };
  converters.removeBlankTiffPages = [](const std::string& input, const std::string& output,
                                       std::string* why) {
    return RemoveBlankTiffPages(input, output, why);
  };
  converters.openResult = OpenWithViewer;
  converters.countPages = CountOutputPages;
  converters.endRun = [&printing] { QuitKeptApplications(printing); };
  return converters;
}

}  // namespace scrivex
