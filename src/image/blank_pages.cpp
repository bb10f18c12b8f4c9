#include "image/blank_pages.h"

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/failure_reason.h"
#include "image/despeckle.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

constexpr int kLargestSpeck = 100;
constexpr int kFrameStrip = 20;  // thumbnail pixels of margin never counted
constexpr size_t kThresholdChars = 300;

std::string LowerExtension(const std::string& path) {
  std::string ext = platform::ToLower(platform::SplitPath(path).ext);
  return ext.empty() ? ext : ext.substr(1);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  return platform::FullPath(a) == platform::FullPath(b);
}

// Rows of the thumbnail, inside the white frame, that hold a dark pixel.
int CountDarkRows(const TiffPage& page, int tw, int th) {
  int dark = 0;
  for (int ty = kFrameStrip; ty < th - kFrameStrip; ++ty) {
    int sy = static_cast<int>(static_cast<long long>(ty) * page.height / th);
    for (int tx = kFrameStrip; tx < tw - kFrameStrip; ++tx) {
      int sx = static_cast<int>(static_cast<long long>(tx) * page.width / tw);
      if (IsDarkPixel(page, sx, sy)) {
        ++dark;
        break;
      }
    }
  }
  return dark;
}

}  // namespace

int ImageTypeFromExtension(const std::string& extension) {
  static const struct {
    const char* ext;
    int type;
  } kTypes[] = {{"bmp", 1},  {"jpg", 3},  {"jpeg", 3}, {"gif", 2},  {"png", 4},  {"ico", 5},
                {"tiff", 6}, {"tif", 6},  {"tga", 7},  {"pcx", 8},  {"wbmp", 9}, {"wmf", 10},
                {"emf", 10}, {"jp2", 11}, {"j2k", 11}, {"jpc", 12}, {"j2c", 12}, {"pgx", 13},
                {"pnm", 14}, {"pgm", 14}, {"ppm", 14}, {"ras", 15}, {"pbm", 16}};
  for (const auto& t : kTypes) {
    if (extension == t.ext) return t.type;
  }
  return 0;
}

std::string BlankPageConfigFile() { return platform::ConfigFile(); }

double ReadBlankThreshold(const std::string& configFile) {
  std::string text = platform::GetProfileString(configFile, "BlankTIF", "blackpoints", "0.1");
  if (text.size() >= kThresholdChars) text.resize(kThresholdChars - 1);
  return std::atof(text.c_str());
}

int MeasureBlankPage(int pageIndex, TiffPage& page) {
  return MeasureBlankPage(pageIndex, page, BlankPageConfigFile());
}

int MeasureBlankPage(int pageIndex, TiffPage& page, const std::string& configFile) {
  if (page.bits.empty() || page.width <= 0 || page.height <= 0) return 0;
  if (page.bitsPerPixel == 1)
    DespeckleBitmap(page.bits.data(), page.width, page.height, kLargestSpeck);
  // The page is judged on a tenth-size thumbnail; rows and columns are
  // dropped, not blended, and a 20-pixel frame of it is ignored.
  int tw = page.width / 10;
  int th = page.height / 10;
  double threshold = ReadBlankThreshold(configFile);
  float ratio = 0.0f;
  bool blank = true;  // an empty thumbnail has nothing on it
  if (tw > 0 && th > 0) {
    int dark = CountDarkRows(page, tw, th);
    ratio = static_cast<float>(dark * 100.0 / (static_cast<double>(tw) * th));
    blank = ratio < threshold;
  }
  std::printf("Page(%d), Black points are %.2f, Blank page = %s\n", pageIndex + 1, ratio,
              blank ? "Yes" : "No");
  return blank ? 1 : 0;
}

int RemoveBlankTiffPages(const std::string& input, const std::string& output, std::string* why) {
  return RemoveBlankTiffPages(input, output, why, BlankPageConfigFile());
}

int RemoveBlankTiffPages(const std::string& input, const std::string& output, std::string* why,
                         const std::string& configFile) {
  if (ImageTypeFromExtension(LowerExtension(input)) != kImageTypeTiff ||
      ImageTypeFromExtension(LowerExtension(output)) != kImageTypeTiff) {
    NoteFailure(why, "blank pages are removed from TIFF files only");
    return 0;
  }
  bool inPlace = SameFile(input, output);
  // The kept pages collect beside the output, which is replaced only when
  // every page was read and at least one was kept.
  platform::ReplacementFile temp;
  std::string error;
  if (!temp.Create(output, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    NoteFailure(why, error);
    return 0;
  }
  bool blankFound = false;
  {
    auto in = OpenTiff(input, "r");
    // A source past the classic 4 GiB limit needs a BigTIFF for its pages.
    auto out = OpenTiff(temp.path(), in->handle && TIFFIsBigTIFF(in->handle) ? "w8" : "w");
    if (!out->handle) {
      std::fprintf(stderr, "%s\n", out->lastError.c_str());
      NoteFailure(why, out->lastError);
      return 0;
    }
    int count = CountTiffPages(*in);
    if (count <= 0) {
      std::fprintf(stderr, "%s\nerror loading %s\n", in->lastError.c_str(), input.c_str());
      NoteFailure(why, "cannot be read: " + in->lastError);
      return 0;
    }
    int kept = 0;
    TiffPage page;
    for (int i = 0; i < count; ++i) {
      if (!ReadTiffPage(*in, i, page)) {
        std::fprintf(stderr, "%s\nerror loading %s\n", in->lastError.c_str(), input.c_str());
        NoteFailure(why, "cannot be read: " + in->lastError);
        return 0;
      }
      if (MeasureBlankPage(i, page, configFile)) {
        blankFound = true;
        continue;
      }
      page.compression = page.sourceCompression;
      page.flags = page.sourceFlags;
      if (!WriteTiffPage(*out, page, kept)) {
        std::fprintf(stderr, "%s\n", out->lastError.c_str());
        NoteFailure(why, out->lastError);
        return 0;
      }
      ++kept;
    }
    if (kept == 0) {
      // A TIFF without pages is no TIFF; the input stays as it is.
      std::fprintf(stderr, "Every page of %s is blank: no output written\n", input.c_str());
      NoteFailure(why, "every page is blank");
      return 0;
    }
    if (!CloseTiff(*out)) {
      std::fprintf(stderr, "%s\n", out->lastError.c_str());
      NoteFailure(why, out->lastError);
      return 0;
    }
  }
  if (inPlace && !blankFound) return 1;  // nothing to take out: the input stays untouched
  if (!temp.Commit(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    NoteFailure(why, error);
    return 0;
  }
  return 1;
}

}  // namespace scrivex
