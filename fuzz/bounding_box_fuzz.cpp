// Extent, image information and PostScript kind of arbitrary files.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_temp_file.h"
#include "postscript/postscript_kind.h"
#include "postscript/ps_extent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = scrivex::fuzz::WriteScratch(".eps", data, size);
  scrivex::Box box{};
  int found = scrivex::ReadBoundingBox(path, &box);
  if (found != 0 && found != 1) std::abort();
  float xres, yres, width, height;
  int bits;
  int info = scrivex::GetPostScriptInformation(path, &xres, &yres, &width, &height, &bits);
  if (info != 0 && info != 1) std::abort();
  if (info == 1 && !found) std::abort();
  int kind = scrivex::DetectPostScriptKind(path);
  if (kind < 0 || kind > 2) std::abort();
  std::filesystem::remove(path);
  return 0;
}
