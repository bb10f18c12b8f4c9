#include "common/conversion_options.h"

#include <gtest/gtest.h>

#include <string>

namespace scrivex {
namespace {

TEST(ConversionOptions, PageRange) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "1-1"},    {"1,2-4,6", "1-6"},   {"3", "3-3"},   {"5-2", "5-5"},
      {"0,4", "4-4"}, {",, 2 -- 9", "2-9"}, {"abc", "1-1"}, {"2-99999999999", "2-2147483647"}};
  for (const auto& [text, want] : cases) {
    int first = 0, last = 0;
    ParsePageRange(text, &first, &last);
    EXPECT_EQ(std::to_string(first) + "-" + std::to_string(last), want) << text;
  }
}

}  // namespace
}  // namespace scrivex
