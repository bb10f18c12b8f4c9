#include "postscript/page_range.h"

#include <algorithm>
#include <climits>

namespace scrivex {

namespace {

// An optional "_" (counted from the end) and a run of digits. Huge numbers
// saturate; they can only name pages past the end.
int ReadPageNumber(std::string_view text, size_t* pos, bool* sawUnderscore) {
  bool negative = false;
  if (*pos < text.size() && text[*pos] == '_') {
    negative = true;
    ++*pos;
  }
  long long value = 0;
  while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9') {
    value = std::min<long long>(value * 10 + (text[*pos] - '0'), INT_MAX);
    ++*pos;
  }
  *sawUnderscore = negative;
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

bool AddPageRanges(std::string_view text, std::vector<PageRange>* ranges) {
  size_t pos = 0;
  for (;;) {
    bool underscore = false;
    int first = ReadPageNumber(text, &pos, &underscore);
    if (pos == text.size() || text[pos] == ',') {
      if (first == 0 && !underscore) return false;
      ranges->push_back({first, first});
    } else if (text[pos] == '-' || text[pos] == ':') {
      ++pos;
      bool lastUnderscore = false;
      size_t digitsStart = pos;
      int last = ReadPageNumber(text, &pos, &lastUnderscore);
      if (first == 0) first = 1;
      // "_" alone still counts as digits absent: to the end.
      bool hasDigits = pos > digitsStart + (lastUnderscore ? 1 : 0);
      if (pos != text.size() && text[pos] != ',') return false;
      ranges->push_back({first, hasDigits ? last : -1, !hasDigits});
    } else {
      return false;
    }
    if (pos == text.size()) return true;
    ++pos;  // the ","
  }
}

int ResolvePage(int page, int pageCount) {
  if (page >= 0) return page;
  long long resolved = static_cast<long long>(pageCount) + page + 1;
  return static_cast<int>(std::max<long long>(resolved, 1));
}

}  // namespace scrivex
