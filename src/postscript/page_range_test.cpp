#include "postscript/page_range.h"

#include <gtest/gtest.h>

#include <utility>

namespace scrivex {
namespace {

using Ranges = std::vector<std::pair<int, int>>;

Ranges Parse(std::string_view text, bool* ok) {
  std::vector<PageRange> ranges;
  *ok = AddPageRanges(text, &ranges);
  Ranges out;
  for (auto& r : ranges) out.emplace_back(r.first, r.last);
  return out;
}

Ranges ParseOk(std::string_view text) {
  bool ok = false;
  Ranges r = Parse(text, &ok);
  EXPECT_TRUE(ok) << text;
  return r;
}

bool Ranges7ToEnd() {
  std::vector<PageRange> r;
  return AddPageRanges("7-,3-_1", &r) && r.size() == 2 && r[0].toEnd && !r[1].toEnd;
}

TEST(AddPageRanges, SingleRangesAndPages) {
  EXPECT_EQ(ParseOk("3-5"), (Ranges{{3, 5}}));
  EXPECT_EQ(ParseOk("-5"), (Ranges{{1, 5}}));
  EXPECT_EQ(ParseOk("7-"), (Ranges{{7, -1}}));
  EXPECT_TRUE(Ranges7ToEnd());
  EXPECT_EQ(ParseOk("7:"), (Ranges{{7, -1}}));
  EXPECT_EQ(ParseOk("_1"), (Ranges{{-1, -1}}));
  EXPECT_EQ(ParseOk("_3-_1"), (Ranges{{-3, -1}}));
  EXPECT_EQ(ParseOk("_"), (Ranges{{0, 0}}));
  EXPECT_EQ(ParseOk("5-3"), (Ranges{{5, 3}}));
  EXPECT_EQ(ParseOk("-"), (Ranges{{1, -1}}));
  EXPECT_EQ(ParseOk("4-_"), (Ranges{{4, -1}}));
}

TEST(AddPageRanges, ListsKeepTextOrder) {
  EXPECT_EQ(ParseOk("1-3,5,_,_2-"), (Ranges{{1, 3}, {5, 5}, {0, 0}, {-2, -1}}));
}

TEST(AddPageRanges, InvalidTexts) {
  for (std::string_view bad : {"1-2-3", "a", "", ",", "3,", "1,,2", "3x", "1-2x", "--1", " 1"}) {
    bool ok = true;
    Parse(bad, &ok);
    EXPECT_FALSE(ok) << "'" << bad << "'";
  }
}

TEST(AddPageRanges, HugeNumbersSaturate) {
  EXPECT_EQ(ParseOk("99999999999999999999"), (Ranges{{INT_MAX, INT_MAX}}));
  EXPECT_EQ(ParseOk("_99999999999999999999"), (Ranges{{-INT_MAX, -INT_MAX}}));
}

TEST(ResolvePage, CountsFromTheEndAndStaysPositive) {
  EXPECT_EQ(ResolvePage(-1, 10), 10);
  EXPECT_EQ(ResolvePage(-3, 10), 8);
  EXPECT_EQ(ResolvePage(-20, 10), 1);
  EXPECT_EQ(ResolvePage(-INT_MAX, 10), 1);
  EXPECT_EQ(ResolvePage(0, 10), 0);
  EXPECT_EQ(ResolvePage(4, 2), 4);
}

}  // namespace
}  // namespace scrivex
