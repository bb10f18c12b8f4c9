#include "postscript/page_range.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>

namespace scrivex {
namespace {

using Ranges = std::vector<std::pair<int, int>>;

std::optional<Ranges> Parse(std::string_view text) {
  std::vector<PageRange> ranges;
  if (!AddPageRanges(text, &ranges)) return std::nullopt;
  Ranges out;
  for (auto& r : ranges) out.emplace_back(r.first, r.last);
  return out;
}

TEST(PageRanges, ParseAndResolve) {
  const std::pair<std::string_view, Ranges> good[] = {
      {"3-5", {{3, 5}}},
      {"-5", {{1, 5}}},
      {"7-", {{7, -1}}},
      {"7:", {{7, -1}}},
      {"_1", {{-1, -1}}},
      {"_3-_1", {{-3, -1}}},
      {"_", {{0, 0}}},
      {"5-3", {{5, 3}}},
      {"4-_", {{4, -1}}},
      {"1-3,5,_,_2-", {{1, 3}, {5, 5}, {0, 0}, {-2, -1}}},
      {"99999999999999999999", {{INT_MAX, INT_MAX}}},
  };
  for (const auto& [text, want] : good) EXPECT_EQ(Parse(text), want) << text;
  for (std::string_view bad : {"1-2-3", "a", "", "3,", "1,,2", "1-2x", "--1", " 1"}) {
    EXPECT_EQ(Parse(bad), std::nullopt) << "'" << bad << "'";
  }
  // Only "k-" runs to the end; "3-_1" is an ordinary range.
  std::vector<PageRange> r;
  ASSERT_TRUE(AddPageRanges("7-,3-_1", &r) && r.size() == 2);
  EXPECT_TRUE(r[0].toEnd);
  EXPECT_FALSE(r[1].toEnd);
  // Pages from the end resolve to at least 1.
  EXPECT_EQ(ResolvePage(-3, 10), 8);
  EXPECT_EQ(ResolvePage(-20, 10), 1);
  EXPECT_EQ(ResolvePage(0, 10), 0);
  EXPECT_EQ(ResolvePage(4, 2), 4);
}

}  // namespace
}  // namespace scrivex
