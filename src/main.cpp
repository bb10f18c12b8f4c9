// scrivex: converts documents, PostScript and PDF into PDF, PostScript and images.
#include "driver/driver_main.h"
#include "ghostscript/pdf2img.h"
#include "image/blank_pages.h"
#include "image/image_converter.h"
#include "platform/files.h"
#include "platform/process.h"
#include "postscript/page_selector.h"

namespace {

// Opens a produced file in the desktop's viewer, when there is one.
void OpenWithViewer(const std::string& path) {
  scrivex::platform::ChildOptions options;
  options.detached = true;
  scrivex::platform::RunChild({"xdg-open", path}, options);
}

}  // namespace

int main(int argc, char** argv) {
  scrivex::Converters converters;
  converters.selectPostScriptPages = scrivex::SelectPostScriptPages;
  converters.convertPsToImage = scrivex::ConvertPsToImage;
  converters.convertThroughImageConverter = scrivex::ConvertThroughImageConverter;
  converters.removeBlankTiffPages = [](const std::string& input, const std::string& output,
                                       const scrivex::ConversionOptions* options) {
    return scrivex::RemoveBlankTiffPages(input, output, options);
  };
  converters.openUrlInBrowser = OpenWithViewer;
  return scrivex::DriverMain(argc, argv, converters);
}
