// Copying a multi-page TIFF without its blank pages.
#ifndef SCRIVEX_IMAGE_BLANK_PAGES_H_
#define SCRIVEX_IMAGE_BLANK_PAGES_H_

#include <string>

#include "image/tiff_page.h"

namespace scrivex {

// Image type number of a lower-case extension without its dot; 6 is TIFF,
// 0 an extension no image type has.
int ImageTypeFromExtension(const std::string& extension);
constexpr int kImageTypeTiff = 6;

// config.ini (platform::ConfigFile()), which holds the blank-page threshold.
std::string BlankPageConfigFile();
// "blackpoints" of section "BlankTIF"; 0.1 when the file or entry is missing.
double ReadBlankThreshold(const std::string& configFile);

// Judges one page (page index 0-based), despeckling a 1-bit page first; prints
// "Page(%d), Black points are %.2f, Blank page = %s". 1 blank, 0 not blank.
int MeasureBlankPage(int pageIndex, TiffPage& page);
int MeasureBlankPage(int pageIndex, TiffPage& page, const std::string& configFile);

// Writes the pages of input that are not blank to output (both TIFF names;
// they may be the same file). 1 when the output holds the pages that are not
// blank (an in-place input without blank pages is left untouched); 0 for
// names that are not TIFF, a page that cannot be read, an output that cannot
// be written, or an input whose every page is blank. On 0 an existing output
// (or in-place input) is left exactly as it was, and the reason is in *why.
int RemoveBlankTiffPages(const std::string& input, const std::string& output, std::string* why);
int RemoveBlankTiffPages(const std::string& input, const std::string& output, std::string* why,
                         const std::string& configFile);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_BLANK_PAGES_H_
