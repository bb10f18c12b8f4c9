#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <utility>

namespace scrivex::platform {
namespace {

TEST(SharedLibrary, OpensBindsAndSaysWhatIsMissing) {
  std::string why;
  SharedLibrary math;
  ASSERT_TRUE(math.Open("libm.so.6", &why)) << why;
  double (*hypotenuse)(double, double) = nullptr;
  ASSERT_TRUE(math.Bind("hypot", &hypotenuse, &why)) << why;
  EXPECT_EQ(hypotenuse(3, 4), 5);

  EXPECT_EQ(math.Find("no_such_function_here", &why), nullptr);
  EXPECT_EQ(why, "libm.so.6 has no no_such_function_here");

  // Moved, the library stays open in its new owner only.
  SharedLibrary moved = std::move(math);
  EXPECT_TRUE(moved.valid());
  EXPECT_FALSE(math.valid());
  EXPECT_NE(moved.Find("hypot", &why), nullptr);
  EXPECT_EQ(math.Find("hypot", &why), nullptr);
  EXPECT_NE(why.find("hypot"), std::string::npos);

  SharedLibrary missing;
  EXPECT_FALSE(missing.Open("/nonexistent/libnothing.so.1", &why));
  EXPECT_NE(why.find("/nonexistent/libnothing.so.1"), std::string::npos) << why;
  EXPECT_FALSE(missing.valid());
}

}  // namespace
}  // namespace scrivex::platform
