#include "platform/framed_messages.h"

#include <gtest/gtest.h>

namespace scrivex::platform {
namespace {

TEST(FramedMessages, FieldsComeBackWholeAcrossPiecesAndBrokenBytesAreSeen) {
  const std::vector<std::string> first = {"", "a:b", std::string("\0\n12:", 5), "last"};
  const std::vector<std::string> second = {"7"};
  const std::string bytes = Frame(first) + Frame(second);

  // Arriving a byte at a time, each message is whole only once its last byte is in.
  std::string buffer;
  std::vector<std::string> fields;
  std::vector<std::vector<std::string>> taken;
  bool broken = false;
  for (char c : bytes) {
    buffer += c;
    while (TakeMessage(&buffer, &fields, &broken)) taken.push_back(fields);
    ASSERT_FALSE(broken);
  }
  EXPECT_EQ(taken, (std::vector<std::vector<std::string>>{first, second}));
  EXPECT_TRUE(buffer.empty());

  for (const std::string& bad : std::vector<std::string>{"x:", ":", "3:2:a", std::string(30, '9')}) {
    std::string b = bad;
    broken = false;
    EXPECT_FALSE(TakeMessage(&b, &fields, &broken));
    EXPECT_TRUE(broken) << bad;
  }
}

}  // namespace
}  // namespace scrivex::platform
