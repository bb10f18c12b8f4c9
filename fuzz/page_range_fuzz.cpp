// Page range texts: parsing never misbehaves and resolved pages stay in range.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "postscript/page_range.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<scrivex::PageRange> ranges;
  bool ok = scrivex::AddPageRanges(text, &ranges);
  if (ok && ranges.empty()) std::abort();
  for (const scrivex::PageRange& r : ranges) {
    if (r.toEnd && (r.last != -1 || r.first == 0)) std::abort();
    for (int count : {0, 1, 7, 1000000}) {
      int first = scrivex::ResolvePage(r.first, count);
      int last = scrivex::ResolvePage(r.last, count);
      if (first < 0 || last < 0) std::abort();
      if ((first == 0) != (r.first == 0) || (last == 0) != (r.last == 0)) std::abort();
    }
  }
  return 0;
}
