// Page ranges of the page selector: "3-5", "-5", "7-", "_1", "_3-_1", "_", "5-3", lists joined by
// ",".
#ifndef SCRIVEX_POSTSCRIPT_PAGE_RANGE_H_
#define SCRIVEX_POSTSCRIPT_PAGE_RANGE_H_

#include <string_view>
#include <vector>

namespace scrivex {

// 1-based pages; a negative page counts from the end (-1 is the last page);
// 0 is an inserted empty page.
struct PageRange {
  int first = 0;
  int last = 0;
  // Written "k-": up to the last page. Such a range never turns around, so
  // "3-" on a two-page document selects nothing.
  bool toEnd = false;
};

// Appends the ranges of `text` to `ranges` in text order. False when the text
// is not a valid range list; the ranges before the bad item stay appended.
bool AddPageRanges(std::string_view text, std::vector<PageRange>* ranges);

// Turns negative pages into pages counted from the end (at least 1) for a
// document of `pageCount` pages; 0 stays 0.
int ResolvePage(int page, int pageCount);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_PAGE_RANGE_H_
