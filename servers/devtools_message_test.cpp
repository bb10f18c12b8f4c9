#include "servers/devtools_message.h"

#include <gtest/gtest.h>

#include <string>

namespace scrivex {
namespace {

std::string Nested(int depth, const std::string& inside = "") {
  return std::string(depth, '[') + inside + std::string(depth, ']');
}

TEST(DevtoolsMessage, ReadsMessagesAndRefusesBrokenOrTooDeepOnes) {
  Json m;
  ASSERT_TRUE(ParseMessage(R"({"id":7,"result":{"data":"a\"b\\c\u00e9\ud83d\ude00","ok":true,)"
                           R"("list":[1,-2.5e1,null]},"sessionId":"S"})",
                           &m));
  EXPECT_EQ(Number(m, "id"), 7);
  const Json* result = Member(m, "result");
  ASSERT_TRUE(result);
  EXPECT_EQ(Text(*result, "data"), "a\"b\\c\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Member(*result, "list")->at(1).get<double>(), -25);
  EXPECT_TRUE(Flag(*result, "ok"));

  // A member of another type, or asked of what is no object, is the fallback.
  EXPECT_EQ(Text(m, "missing", "none"), "none");
  EXPECT_EQ(Text(m, "id", "none"), "none");
  EXPECT_EQ(Number(m, "sessionId", -1), -1);
  EXPECT_FALSE(Flag(*result, "data"));
  EXPECT_FALSE(Flag(*result, "list"));
  EXPECT_EQ(Member(*Member(*result, "list"), "0"), nullptr);
  EXPECT_EQ(Text(Json("text"), "data", "none"), "none");
  EXPECT_EQ(Number(Json::array({1, 2}), "0", -1), -1);

  for (const char* bad : {"", "{", R"({"a":1,})", R"({"a" 1})", "[1] 2", R"("\x")", "tru",
                          "\xFF\xFE\x01garbage", R"({"a":1e999})"}) {
    m = 1;
    EXPECT_FALSE(ParseMessage(bad, &m)) << bad;
    EXPECT_TRUE(m.is_null()) << bad;
  }

  // Nesting is bounded as the browser never needs, long before the stack.
  EXPECT_TRUE(ParseMessage(Nested(kMaxMessageDepth + 1), &m));
  EXPECT_TRUE(ParseMessage(Nested(kMaxMessageDepth, "1"), &m));
  EXPECT_FALSE(ParseMessage(Nested(kMaxMessageDepth + 2), &m));
  EXPECT_FALSE(ParseMessage(Nested(kMaxMessageDepth + 1, "1"), &m));
  std::string objects;
  for (int i = 0; i < kMaxMessageDepth + 2; ++i) objects += "{\"a\":";
  EXPECT_FALSE(ParseMessage(objects + "1" + std::string(kMaxMessageDepth + 2, '}'), &m));
  EXPECT_FALSE(ParseMessage(Nested(1000000), &m));
  EXPECT_FALSE(ParseMessage(std::string(1000000, '['), &m));
}

TEST(DevtoolsMessage, BytesThatAreNoUtf8AreReadAndWrittenAsReplacements) {
  // Read: the message stands, each bad byte a U+FFFD.
  Json m;
  ASSERT_TRUE(ParseMessage("{\"url\":\"http://h/a\xFF" "b\xC3\",\"ok\":\"\xED\xA0\x80\"}", &m));
  EXPECT_EQ(Text(m, "url"), "http://h/a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_EQ(Text(m, "ok"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a surrogate is no UTF-8
  EXPECT_FALSE(ParseMessage("{\"url\":\"\xFF\"", &m));  // still broken when repaired

  // Written: UTF-8 as it is, quotes and control characters escaped, and bad
  // bytes replaced rather than thrown over.
  const std::string url = "file:///d/r%C3%A9sum%C3%A9%20\xC3\xA9\xF0\x9F\x98\x80.html";
  EXPECT_EQ(WriteMessage({{"url", url}}), "{\"url\":\"" + url + "\"}");
  EXPECT_EQ(WriteMessage(Json("q\"\\\n\x01/")), "\"q\\\"\\\\\\n\\u0001/\"");
  std::string written;
  EXPECT_NO_THROW(written = WriteMessage({{"url", "http://h/a\xFF" "b\xC3"}}));
  EXPECT_EQ(written, "{\"url\":\"http://h/a\xEF\xBF\xBD" "b\xEF\xBF\xBD\"}");
  ASSERT_TRUE(ParseMessage(WriteMessage({{"id", 3}, {"text", "q\"\\\n\x01"}}), &m));
  EXPECT_EQ(Text(m, "text"), "q\"\\\n\x01");
  EXPECT_EQ(Number(m, "id"), 3);
}

TEST(DevtoolsMessage, DecodesBase64) {
  std::string bytes;
  EXPECT_TRUE(DecodeBase64("JVBERi0=", &bytes));
  EXPECT_EQ(bytes, "%PDF-");
  EXPECT_TRUE(DecodeBase64("JVBERi0x", &bytes));
  EXPECT_EQ(bytes, "%PDF-1");
  EXPECT_FALSE(DecodeBase64("JVB*", &bytes));
  EXPECT_FALSE(DecodeBase64("J", &bytes));
  EXPECT_FALSE(DecodeBase64("JV=B", &bytes));  // nothing after the padding
}

}  // namespace
}  // namespace scrivex
