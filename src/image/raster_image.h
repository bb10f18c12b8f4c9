// Raster images read for printing. The format is told by the file's content
// and must be one of the raster formats the image printer reads; vector,
// document and script formats never reach the decoder. Decoding runs under
// resource limits, so a crafted file fails instead of exhausting the machine.
#ifndef SCRIVEX_IMAGE_RASTER_IMAGE_H_
#define SCRIVEX_IMAGE_RASTER_IMAGE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace scrivex {

struct RasterImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // rows top down, 8-bit R, G, B, A, not premultiplied
};

// The decoder's name of the file's raster format ("PNG", "JPEG", "TIFF", ...);
// empty when the file is not a raster image read here.
std::string DetectRasterFormat(const std::string& path);

// Decodes the image (its first frame). 1 on success; 0 when the file is not
// a raster image read here (*why left empty) or does not decode (*why says why).
int LoadRasterImage(const std::string& path, RasterImage* image, std::string* why);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_RASTER_IMAGE_H_
