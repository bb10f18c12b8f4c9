// One TIFF page in memory, and reading and appending pages with libtiff.
// libtiff's messages never reach the terminal by themselves: each open file
// collects its last error text, which the callers print where it belongs.
#ifndef SCRIVEX_IMAGE_TIFF_PAGE_H_
#define SCRIVEX_IMAGE_TIFF_PAGE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct tiff;

namespace scrivex {

// A decoded page. 1-bit pages keep rows padded to 4 bytes, leftmost pixel in
// the highest bit, 1 = black (ink), whatever the file's photometric tag said.
// 8-bit pages are grey (0 black) and 24-bit pages RGB, rows unpadded.
struct TiffPage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;  // 1, 8 or 24
  std::vector<uint8_t> bits;
  int xDpi = 0;  // 0: unknown
  int yDpi = 0;
  int compression = 0;        // TIFF compression tag to write; 0: default for the depth
  int flags = 0;              // kTiffFlagTwoDimensional
  int sourceCompression = 0;  // the page's compression in the file it came from
  int sourceFlags = 0;        // kTiffFlagTwoDimensional when it came coded that way
};

constexpr int kTiffFlagTwoDimensional = 1;  // Group 3 pages coded two-dimensionally

// Pages above this many pixels are refused rather than decoded.
constexpr long long kMaxTiffPagePixels = 1LL << 27;

int TiffRowStride(int width, int bitsPerPixel);
// True when pixel (x, y) is black (1-bit) or darker than half intensity.
bool IsDarkPixel(const TiffPage& page, int x, int y);
// A 1-bit copy of a grey or colour page, black below half intensity.
TiffPage ToBilevel(const TiffPage& page);

// A TIFF opened through libtiff; closes on destruction. Not movable: libtiff
// keeps a pointer to it for its messages.
struct TiffFile {
  tiff* handle = nullptr;
  std::string path;
  std::string lastError;  // "module: message" of the latest libtiff error
  TiffFile() = default;
  TiffFile(const TiffFile&) = delete;
  TiffFile& operator=(const TiffFile&) = delete;
  ~TiffFile();
};

// mode "r" reads, "w" creates or truncates. Check handle: on failure it is
// null and lastError says why.
std::unique_ptr<TiffFile> OpenTiff(const std::string& path, const char* mode);
// The number of pages; 0, with lastError set, when there is none or the chain
// of pages is broken somewhere.
int CountTiffPages(TiffFile& file);
// Decodes page index (0-based). False with file.lastError set on failure.
bool ReadTiffPage(TiffFile& file, int index, TiffPage& page);
// Appends the page as a new directory, coded as page.compression asks when
// that coding fits the page (see ChooseTiffCoding). False on failure.
bool WriteTiffPage(TiffFile& file, const TiffPage& page, int pageIndex);
// Closes the file; false when libtiff reported an error while writing.
bool CloseTiff(TiffFile& file);

// The coding written for a requested compression and depth: CCITT codings
// need a 1-bit page (the caller's page is reduced to black and white), JPEG
// needs 8 or 24 bits, codings libtiff cannot write fall back to the default:
// Group 4 for 1-bit pages, LZW for grey and colour.
struct TiffCoding {
  int compression = 0;
  bool needsBilevel = false;
};
TiffCoding ChooseTiffCoding(int requested, int bitsPerPixel);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_TIFF_PAGE_H_
