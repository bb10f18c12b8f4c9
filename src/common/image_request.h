// One rendering on the Ghostscript road as its caller asks for it: the
// program's options for one file, the printer driver's job, or the exported
// C function's arguments.
#ifndef SCRIVEX_COMMON_IMAGE_REQUEST_H_
#define SCRIVEX_COMMON_IMAGE_REQUEST_H_

#include <string>

#include "common/progress_report.h"

namespace scrivex {

struct ImageRequest {
  std::string input;
  std::string output;
  float width = 0;  // pixels; 0 = from the bounding box
  float height = 0;
  float resolutionX = 300;  // dots per inch
  float resolutionY = 300;
  int tiffCompression = 0;
  int firstPage = -1;  // > 0 limit the pages; -1 renders them all
  int lastPage = -1;
  int jpegQuality = 100;
  int colorBits = 24;
  int grayscale = 0;
  // Opens an encrypted PDF: the owner password first, else the user's.
  std::string userPassword;
  std::string ownerPassword;
  ProgressSink progress = {};  // empty: nobody watches
};

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_IMAGE_REQUEST_H_
