// Re-encoding TIFF page files with the job's compression and resolution, and
// the fax formats that resample every page to the fax width.
#ifndef SCRIVEX_IMAGE_TIFF_RECOMPRESS_H_
#define SCRIVEX_IMAGE_TIFF_RECOMPRESS_H_

#include <string>

#include "common/progress_report.h"
#include "image/tiff_page.h"

namespace scrivex {

// Compression codes of the job beyond the TIFF tag values.
constexpr int kFax204x98G4 = 88880;
constexpr int kFax204x196G4 = 88881;
constexpr int kFax204x98G3 = 88882;
constexpr int kFax204x196G3 = 88883;
constexpr int kGroup3TwoDimensional = 88884;

// The stage a TIFF's pages are in while they are written again.
constexpr char kWritingTiffStage[] = "writing TIFF";

constexpr int kFaxWidth = 1728;
constexpr int kFaxHorizontalDpi = 204;

// Re-encodes every page of path in place. 1 when the file was re-encoded;
// 0 otherwise, with the reason in *why, and then the file is exactly as it
// was. Resolutions of 0 or less keep each page's own value. Each page is
// reported to `progress` as it is written.
int RecompressTiffFile(const std::string& path, int compression, int resolutionX, int resolutionY,
                       std::string* why = nullptr, const ProgressSink& progress = {});

// Writes every page of source to destination with the compression code and
// resolutions applied. 0 on success; 1 when the destination cannot be written
// or a page cannot be read, with the reason on standard error and in *why,
// and then an existing destination is left untouched. source may equal
// destination.
int ReencodeTiffPages(const std::string& source, const std::string& destination, int compression,
                      int resolutionX, int resolutionY, std::string* why = nullptr,
                      const ProgressSink& progress = {});

// Sets a loaded page up for a job compression code: 1, 3, 32773, 5 and 7 pick
// that coding, the fax codes resample, 88884 picks two-dimensional Group 3,
// anything else leaves the default for the page's depth. False when a fax
// page would be too large (see ResampleForFax).
bool ApplyCompressionCode(TiffPage& page, int code);

// Resamples the page to the fax width (nearest pixel), keeping its aspect,
// at 204 x verticalDpi with the given TIFF compression (3 or 4). False, and
// the page unchanged, when the result would exceed kMaxTiffPagePixels.
bool ResampleForFax(TiffPage& page, int verticalDpi, int compression);

// A nearest-pixel copy of the page at the new size.
TiffPage ResampleNearest(const TiffPage& page, int newWidth, int newHeight);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_TIFF_RECOMPRESS_H_
