// The job-options record: one per run, filled from the command line and read
// by every converter.
#ifndef SCRIVEX_COMMON_CONVERSION_OPTIONS_H_
#define SCRIVEX_COMMON_CONVERSION_OPTIONS_H_

#include <string>

#include "common/printer_names.h"

namespace scrivex {

// Sizes of the record's text fields; a field holds at most size - 1 characters.
constexpr size_t kPaperSizeBytes = 200;
constexpr size_t kInfoTextBytes = 1024;
constexpr size_t kPasswordBytes = 200;
constexpr size_t kZoomPaperBytes = 200;
constexpr size_t kPageRangeBytes = 1024;

// What -p does with an output that exists (`existingOutputMode`).
enum ExistingOutputMode : int {
  kOverwriteOutput = 0,     // replace it
  kInsertBeforeOutput = 1,  // the new pages before its first page
  kAppendToOutput = 2,      // the new pages after its last page
  kNumberedNewOutput = 3,   // write to a new numbered name beside it
};

struct ConversionOptions {
  int width = 0;
  int height = 0;
  int orientation = 1;
  std::string paperSize = "1";
  int colorBits = 24;
  int grayscale = 0;
  int jpegQuality = 100;
  int tiffCompression = 0;
  int resolutionX = 300;
  int resolutionY = 300;
  int viewResult = 0;
  int existingOutputMode = kOverwriteOutput;
  std::string subject;
  std::string title;
  std::string author;
  std::string keywords;
  std::string userPassword;
  std::string ownerPassword;
  int encryptionKeyLength = -1;
  int permissions = 0;
  int rotation = 0;
  int hidePrintDialog = 0;
  std::string printZoomPaper;
  std::string pageRange;
  int noSinglePageSuffix = 0;
  int removeBlankPages = 0;
  int excelMode = 0;
  int fastOfficeMode = 0;
  int htmlWaitMs = 0;

  bool operator==(const ConversionOptions&) const = default;
};

constexpr size_t kPrinterNameBytes = 200;

// The first and last page of a -g text: only the first and the last number
// count ("1,2-4,6": 1 and 6); a first of 0 is not a page, so "0,4" is 4 and 4.
// An empty text is page 1 alone.
void ParsePageRange(const std::string& text, int* first, int* last);

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_CONVERSION_OPTIONS_H_
