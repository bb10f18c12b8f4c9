#include "common/paper_sizes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace scrivex {
namespace {

// One table for every printer and page request: inch papers exact in
// points, metric ones rounded from millimetres, unknown codes refused; the
// names -f takes are the table's own entries, letter case ignored.
TEST(PaperSizes, PointsAndNames) {
  auto points = [](int code) {
    double width = 0, height = 0;
    if (!PaperSizePoints(code, &width, &height)) return std::string("none");
    return std::to_string(std::lround(width * 10)) + "x" + std::to_string(std::lround(height * 10));
  };
  EXPECT_EQ(points(1), "6120x7920");   // Letter
  EXPECT_EQ(points(4), "12240x7920");  // Ledger, wider than tall
  EXPECT_EQ(points(9), "5953x8419");   // A4
  EXPECT_EQ(points(0) + points(19), "nonenone");
  ASSERT_NE(FindPaperSize(3), nullptr);
  EXPECT_STREQ(FindPaperSize(3)->unit, "in");

  ASSERT_NE(FindPaperByName("a4"), nullptr);
  EXPECT_EQ(FindPaperByName("a4"), FindPaperSize(9));
  EXPECT_EQ(FindPaperByName("LEDGER"), FindPaperSize(4));
  EXPECT_EQ(FindPaperByName("A4 small"), nullptr);
  EXPECT_EQ(FindPaperByName(""), nullptr);
  EXPECT_EQ(KnownPaperNames(), "Letter, Tabloid, Ledger, Legal, Executive, A3, A4, A5, B4, B5");
}

}  // namespace
}  // namespace scrivex
