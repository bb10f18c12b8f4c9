#include "postscript/page_scanner.h"

#include <climits>
#include <new>
#include <string_view>

namespace scrivex {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithAny(std::string_view text, std::initializer_list<std::string_view> prefixes) {
  for (std::string_view p : prefixes) {
    if (StartsWith(text, p)) return true;
  }
  return false;
}

}  // namespace

bool ReadSelectorLine(ByteReader& in, std::string* line) {
  // The line feed counts towards the limit, as it would in a 512-byte buffer.
  if (in.ReadLinePiece(line, kSelectorLineMax, false) == ByteReader::LineStop::kDelimiter) {
    line->push_back('\n');
  }
  return !line->empty();
}

bool ScanPages(ByteReader& in, PageScan* scan) {
  *scan = PageScan{};
  scan->pageTable.reserve(100);
  if (!in.Rewind()) return false;
  std::string line;
  for (;;) {
    int64_t offset = in.Tell();
    if (!ReadSelectorLine(in, &line)) break;
    std::string_view text = line;
    if (StartsWith(text, "%%")) {
      std::string_view comment = text.substr(2);
      if (scan->depth == 0 && StartsWith(comment, "Page:")) {
        scan->pageTable.push_back(offset);
      } else if (scan->headerEnd == 0 && StartsWith(comment, "Pages:")) {
        scan->pagesComment = offset;
      } else if (scan->headerEnd == 0 && StartsWith(comment, "EndComments")) {
        scan->headerEnd = in.Tell();
      } else if (StartsWithAny(comment, {"BeginDocument", "BeginBinary", "BeginFile"})) {
        ++scan->depth;
      } else if (StartsWithAny(comment, {"EndDocument", "EndBinary", "EndFile"})) {
        --scan->depth;
      } else if (scan->depth == 0 && StartsWith(comment, "EndSetup")) {
        scan->setupEnd = offset;
      } else if (scan->depth == 0 && StartsWith(comment, "BeginProlog")) {
        scan->headerEnd = in.Tell();
      } else if (scan->depth == 0 && StartsWith(comment, "BeginProcSet: PStoPS")) {
        scan->procsetStart = offset;
      } else if (scan->depth == 0 && StartsWithAny(comment, {"Trailer", "EOF"})) {
        if (!in.Seek(offset)) return false;
        break;
      }
    } else if (scan->headerEnd == 0 && !StartsWith(text, "%!")) {
      // Any line that is not a DSC comment or the version line ends the header.
      scan->headerEnd = offset;
    }
  }
  if (in.Failed()) return false;
  if (scan->pageTable.size() >= static_cast<size_t>(INT_MAX)) throw std::bad_alloc();
  scan->pageCount = static_cast<int>(scan->pageTable.size());
  scan->pageTable.push_back(in.Tell());
  int64_t firstPage = scan->pageTable.front();
  if (scan->setupEnd == 0 || scan->setupEnd > firstPage) scan->setupEnd = firstPage;
  return true;
}

}  // namespace scrivex
