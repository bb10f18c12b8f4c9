// The exported PostScript-to-image functions of libscrivex.
#include "api/written_files.h"
#include "common/progress.h"
#include "postscript/ps_extent.h"
#include "render/ps_to_image.h"
#include "scrivex/pstoimage.h"

static_assert(sizeof(PSToImageBox) == sizeof(scrivex::Box));

namespace {

scrivex::WrittenFiles& Written() {
  static scrivex::WrittenFiles written;
  return written;
}

}  // namespace

extern "C" {

int PSToImageConverter(const char* inputPath, const char* outputPath, float width, float height,
                       float resolutionX, float resolutionY, int tiffCompression, int scratch,
                       int firstPage, int lastPage, int jpegQuality, int colorBits, int grayscale) {
  scrivex::KeepWrittenFiles(Written(), {});
  if (!inputPath || !outputPath) return -1;
  (void)scratch;  // a slot the exported signature keeps
  const scrivex::ImageRequest request{.input = inputPath,
                                      .output = outputPath,
                                      .width = width,
                                      .height = height,
                                      .resolutionX = resolutionX,
                                      .resolutionY = resolutionY,
                                      .tiffCompression = tiffCompression,
                                      .firstPage = firstPage,
                                      .lastPage = lastPage,
                                      .jpegQuality = jpegQuality,
                                      .colorBits = colorBits,
                                      .grayscale = grayscale,
                                      .userPassword = "",
                                      .ownerPassword = ""};
  // The exported function answers with its result alone.
  std::vector<std::string> written;
  const int result = scrivex::ConvertPsToImage(request, nullptr, &written);
  if (result != 1) written.clear();
  scrivex::KeepWrittenFiles(Written(), std::move(written));
  return result;
}

int PSToImageGetWrittenFile(int index, char* path, int size) {
  return scrivex::CopyWrittenFile(Written(), index, path, size);
}

void PSToImageSetProgressCBFunc(PSToImageProgressCallback callback) {
  scrivex::SetProgressCallback(callback);
}

int PSToImageGetPSExtent(const char* path, PSToImageBox* box) {
  if (!path || !box) return 0;
  scrivex::Box extent{box->llx, box->lly, box->urx, box->ury};
  int found = scrivex::ReadBoundingBox(path, &extent);
  *box = PSToImageBox{extent.llx, extent.lly, extent.urx, extent.ury};
  return found == 1 ? 1 : 0;
}

int PSToImageGetInformation(const char* path, float* xResolution, float* yResolution, float* width,
                            float* height, int* bitsPerPixel) {
  if (!path) {
    for (float* out : {xResolution, yResolution, width, height}) {
      if (out) *out = 0;
    }
    if (bitsPerPixel) *bitsPerPixel = 0;
    return 0;
  }
  return scrivex::GetPostScriptInformation(path, xResolution, yResolution, width, height,
                                           bitsPerPixel) == 1
             ? 1
             : 0;
}

}  // extern "C"
