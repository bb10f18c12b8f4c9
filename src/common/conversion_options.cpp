#include "common/conversion_options.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace scrivex {

// Defined here, beside its declaration, so every layer that reads it links.

void ParsePageRange(const std::string& text, int* first, int* last) {
  *first = *last = 1;
  if (text.empty()) return;
  std::string copy = text.substr(0, 1023);
  *first = 0;
  *last = 0;
  size_t pos = 0;
  while (pos < copy.size()) {
    size_t start = copy.find_first_not_of(",- ", pos);
    if (start == std::string::npos) break;
    size_t end = copy.find_first_of(",- ", start);
    if (end == std::string::npos) end = copy.size();
    // Out-of-range numbers stop at the largest page rather than wrapping.
    long long value = std::strtoll(copy.substr(start, end - start).c_str(), nullptr, 10);
    int number = static_cast<int>(std::clamp<long long>(value, 0, INT_MAX));
    if (*first == 0) {
      *first = number;
    } else {
      *last = number;
    }
    pos = end;
  }
  if (*first <= 0) *first = 1;
  if (*last <= *first) *last = *first;
}

}  // namespace scrivex
