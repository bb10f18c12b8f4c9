// The DSC scan of the page selector: where the pages, header, prolog, setup
// and trailer of a PostScript file begin. Only offsets are kept.
#ifndef SCRIVEX_POSTSCRIPT_PAGE_SCANNER_H_
#define SCRIVEX_POSTSCRIPT_PAGE_SCANNER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "postscript/byte_reader.h"

namespace scrivex {

// The selector reads lines of at most this many bytes; longer lines come in pieces.
constexpr size_t kSelectorLineMax = 511;

struct PageScan {
  // Offset of every "%%Page:" line, then one entry where the trailer (or the
  // end of the file) begins.
  std::vector<int64_t> pageTable;
  int pageCount = 0;
  int64_t pagesComment = 0;  // the header's "%%Pages:" line, 0 when none
  int64_t headerEnd = 0;
  int64_t setupEnd = 0;
  int64_t procsetStart = 0;  // a "%%BeginProcSet: PStoPS" line, 0 when none
  int depth = 0;             // embedded documents; may go negative
};

// Reads one line piece (up to and including "\n", at most kSelectorLineMax
// bytes) into `line`. False at the end of the data or on a read error.
bool ReadSelectorLine(ByteReader& in, std::string* line);

// Scans from the start of `in`; leaves it at the trailer's start (or the end).
// False when the input cannot be read or rewound.
bool ScanPages(ByteReader& in, PageScan* scan);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_PAGE_SCANNER_H_
