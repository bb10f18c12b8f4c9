// The image printer's decoder, run in a box for each image it prints:
//   image-decoder FILE OUT
// decodes the raster image FILE (its first frame) and writes OUT as the line
// "scrivex-rgba WIDTH HEIGHT" followed by its pixels, 8-bit R, G, B, A, rows
// top down. Exit 0 when decoded; 3 when FILE is no raster image read here;
// 1 with the reason on stderr when it does not decode; 2 for a wrong command
// line. Only this process ever parses the image's bytes.
#include <cstdio>
#include <string>

#include "image/raster_image.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: image-decoder FILE OUT\n", stderr);
    return 2;
  }
  scrivex::RasterImage image;
  std::string why;
  if (!scrivex::LoadRasterImage(argv[1], &image, &why)) {
    if (why.empty()) return 3;
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  std::string data =
      "scrivex-rgba " + std::to_string(image.width) + " " + std::to_string(image.height) + "\n";
  data.append(reinterpret_cast<const char*>(image.rgba.data()), image.rgba.size());
  if (!scrivex::platform::WriteFileAtomically(argv[2], data)) {
    std::fputs("the decoded image cannot be written\n", stderr);
    return 1;
  }
  return 0;
}
