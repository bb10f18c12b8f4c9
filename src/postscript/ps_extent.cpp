#include "postscript/ps_extent.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "platform/files.h"
#include "postscript/byte_reader.h"
#include "postscript/dsc_comments.h"

namespace scrivex {

namespace {

constexpr std::string_view kHiResBoundingBox = "%%HiResBoundingBox:";
constexpr std::string_view kBoundingBox = "%%BoundingBox:";
constexpr std::string_view kImageableArea = "%ADO_ImageableArea:";
constexpr std::string_view kImageData = "%ImageData:";
constexpr std::string_view kProcessColors = "%%DocumentProcessColors:";

bool IsAtEnd(std::string_view token) {
  std::string upper(token);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  size_t a = upper.find('A');
  return a != std::string::npos && upper.compare(a, 5, "ATEND") == 0 && upper.size() - a >= 5;
}

// The values of a deferred box: the last parsable "%%BoundingBox:" after the
// header decides.
int ReadDeferredBox(ByteReader& in, std::string* line, int16_t* depth, Box* out) {
  int result = 0;
  while (FindDscComment(in, kBoundingBox, line, depth)) {
    TokenContext context;
    std::optional<std::string_view> first =
        NextToken(std::string_view(*line).substr(kBoundingBox.size()), &context);
    if (ParseBox(first, out, &context)) {
      result = out->llx < out->urx && out->lly < out->ury ? 1 : 0;
    }
  }
  return result;
}

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

}  // namespace

int ReadBoundingBox(const std::string& path, Box* out) {
  // A FIFO or a device would be read for ever.
  if (!platform::IsRegularFile(path)) return 0;
  ByteReader in;
  if (!in.Open(path)) return 0;
  int16_t depth = 0;  // shared by every search of this file
  std::string line;
  std::string_view keyword = kHiResBoundingBox;
  if (!FindDscComment(in, keyword, &line, &depth)) {
    keyword = kBoundingBox;
    if (!in.Rewind() || !FindDscComment(in, keyword, &line, &depth)) {
      if (!in.Rewind() || !FindDscComment(in, kImageableArea, &line, &depth)) return 0;
      TokenContext context;
      return ParseBox(NextToken(std::string_view(line).substr(kImageableArea.size()), &context),
                      out, &context);
    }
  }
  TokenContext context;
  std::optional<std::string_view> first =
      NextToken(std::string_view(line).substr(keyword.size()), &context);
  if (!first) return 0;
  if (!IsAtEnd(*first)) return ParseBox(first, out, &context);
  return ReadDeferredBox(in, &line, &depth, out);
}

int GetPostScriptInformation(const std::string& path, float* xres, float* yres, float* width,
                             float* height, int* bitsPerPixel) {
  if (xres) *xres = 0;
  if (yres) *yres = 0;
  if (width) *width = 0;
  if (height) *height = 0;
  if (bitsPerPixel) *bitsPerPixel = 0;

  Box box{};
  if (!ReadBoundingBox(path, &box)) return 0;
  ByteReader in;
  if (!in.Open(path)) return 0;
  int16_t depth = 0;
  std::string line;
  if (FindDscComment(in, kImageData, &line, &depth)) {
    // columns, rows, then two numbers whose product is the bits per pixel
    Box data{};
    TokenContext context;
    std::string_view rest = SkipBlanks(std::string_view(line).substr(kImageData.size()));
    if (!ParseBox(NextToken(rest, &context), &data, &context)) return 0;
    if (bitsPerPixel) {
      // Truncated toward zero; kept inside int for absurd values.
      double bits = std::trunc(static_cast<double>(data.urx) * data.ury);
      if (std::isnan(bits)) bits = 0;
      *bitsPerPixel = static_cast<int>(std::clamp(bits, double{INT_MIN}, double{INT_MAX}));
    }
    if (xres && box.urx != 0) *xres = data.llx / box.urx * 72;
    if (yres && box.ury != 0) *yres = data.lly / box.ury * 72;
    if (width) *width = data.llx;
    if (height) *height = data.lly;
    return 1;
  }
  if (!in.Rewind() || !FindDscComment(in, kProcessColors, &line, &depth)) return 0;
  std::string_view value = SkipBlanks(std::string_view(line).substr(kProcessColors.size()));
  if (value.size() < 5) return 0;
  for (size_t i = 0; i < 5; ++i) {
    if (std::tolower(static_cast<unsigned char>(value[i])) != "black"[i]) return 0;
  }
  if (bitsPerPixel) *bitsPerPixel = 1;
  return 1;
}

}  // namespace scrivex
