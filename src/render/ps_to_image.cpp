#include "render/ps_to_image.h"

#include <vector>

#include "common/temp_files.h"
#include "ghostscript/ghostscript_command.h"
#include "ghostscript/ghostscript_device.h"
#include "image/image_converter.h"
#include "image/post_process.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// Ghostscript ran and finished without an error. An aborted run may still
// leave files (pdfwrite writes a blank page even for a missing input), and
// files from an earlier run may lie there too: neither is a result.
bool RanCleanly(const RenderRequest& request) {
  int exitCode = -1;
  return RunGhostscript(request, &exitCode) == 1 && exitCode == 0;
}

bool IsDcxOrMng(const std::string& output) {
  return platform::HasExtension(output, ".dcx") || platform::HasExtension(output, ".mng");
}

int PngDeviceFor(int colorBits, bool gray, const std::string& output) {
  if (gray) return kDevicePngGray;
  if (colorBits == 1) return kDevicePngMono;
  // A GIF holds at most 256 colours: rendered with a palette already, its
  // pages need no colour reduction, which costs the converter most of its time.
  if (colorBits == 8 || platform::HasExtension(output, ".gif")) return kDevicePng256;
  return kDevicePng16m;
}

// GIF, TGA, DCX and MNG: Ghostscript renders PNG pages into the temporary
// folder and the image converter writes the requested format from them, one
// file per page (GIF, TGA, numbered like every paged output) or one file for
// the whole document (DCX, MNG).
int RenderThroughPngPages(RenderRequest request, int colorBits, bool gray, int* singleFile) {
  const std::string output = request.outputPath;
  std::string pngBase = MakeTempFileName(".png");
  if (pngBase.empty()) return 0;
  request.outputPath = pngBase;
  request.device = PngDeviceFor(colorBits, gray, output);
  request.numberPages = 1;
  bool rendered = RanCleanly(request);

  std::vector<std::string> pages = ListPageFiles(pngBase);
  int result = rendered && !pages.empty() ? 1 : 0;
  if (result == 0) {
    // Nothing to convert.
  } else if (IsDcxOrMng(output)) {
    *singleFile = 1;
    result = RunImageConverter(pages, output);
  } else {
    *singleFile = 0;
    platform::PathParts out = platform::SplitPath(output);
    size_t numberAt = platform::SplitPath(pngBase).name.size();  // the "_NNNN" that follows
    for (const std::string& page : pages) {
      std::string suffix = platform::SplitPath(page).name.substr(numberAt);
      if (suffix.empty()) continue;  // the base name alone is no page
      std::string target = platform::MakePath(out.drive, out.dir, out.name + suffix, out.ext);
      if (ConvertImagePage(page, target) != 1) result = 0;
    }
  }
  for (const std::string& page : pages) platform::RemoveFile(page);
  return result;
}

}  // namespace

bool NeedsImageConverter(const std::string& output) {
  return IsDcxOrMng(output) || platform::HasExtension(output, ".gif") ||
         platform::HasExtension(output, ".tga");
}

int ConvertPsToImage(const std::string& input, const std::string& output, float width, float height,
                     float resolutionX, float resolutionY, int tiffCompression, int /*scratch*/,
                     int firstPage, int lastPage, int jpegQuality, int colorBits, int grayscale) {
  int singleFile = 0;
  RenderRequest request;
  request.inputPath = input;
  request.outputPath = output;
  request.width = width;
  request.height = height;
  request.resolutionX = resolutionX;
  request.resolutionY = resolutionY;
  request.device = SelectGhostscriptDevice(output, colorBits, tiffCompression, &singleFile);
  request.numberPages = !singleFile;
  request.firstPage = firstPage;
  request.lastPage = lastPage;
  request.jpegQuality = jpegQuality;

  // -y asks for 8-bit gray whatever the depth, where the type has a gray form.
  int depth = colorBits;
  int grayDevice = grayscale ? GrayDeviceFor(output) : -1;
  if (grayDevice >= 0) {
    request.device = grayDevice;
    depth = 8;
  }

  if (NeedsImageConverter(output)) {
    if (RenderThroughPngPages(request, colorBits, grayscale != 0, &singleFile) != 1) return 0;
  } else if (singleFile) {
    // One file holds the whole result: Ghostscript writes it under a fresh
    // name that replaces the output only once it is rendered and finished,
    // so a failure at either step never destroys an earlier output.
    platform::ReplacementFile staging;
    if (!staging.Create(output, nullptr, true)) return 0;
    request.outputPath = staging.path();
    if (!RanCleanly(request) || platform::FileSize(staging.path()) <= 0) return 0;
    int finished = FinishImageFiles({staging.path()}, output, depth, tiffCompression,
                                    static_cast<int>(resolutionX), static_cast<int>(resolutionY));
    return finished == 1 && staging.Commit() ? 1 : 0;
  } else if (!RanCleanly(request)) {
    return 0;
  }
  return PostProcessImages(output, depth, tiffCompression, singleFile,
                           static_cast<int>(resolutionX), static_cast<int>(resolutionY));
}

}  // namespace scrivex
