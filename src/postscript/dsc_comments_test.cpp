#include "postscript/dsc_comments.h"

#include <gtest/gtest.h>

#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

using testing_util::ScratchDir;

TEST(ReadTextLine, EndsAtLineFeedOrCarriageReturnAndSplitsLongLines) {
  ScratchDir dir;
  ByteReader in;
  ASSERT_TRUE(in.Open(dir.Write("f", "ab\r\ncd\n" + std::string(300, 'x') + "\nlast")));
  std::string line;
  bool eof = true;
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 2);
  EXPECT_EQ(line, "ab");
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 0);  // the LF after the CR
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 2);
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 255);
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 45);
  EXPECT_FALSE(eof);
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 4);
  EXPECT_EQ(line, "last");
  EXPECT_TRUE(eof);
}

TEST(FindDscComment, EmbeddedDepthCarriesOverToTheNextSearch) {
  ScratchDir dir;
  ByteReader in;
  ASSERT_TRUE(in.Open(dir.Write("f", "%%Key: outer\n%%BeginDocument: c\n%%Key: inner\n")));
  std::string line;
  int16_t depth = 0;
  ASSERT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 1);
  EXPECT_EQ(line, "%%Key: outer");
  EXPECT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 0);
  EXPECT_EQ(depth, 1);
  ASSERT_TRUE(in.Rewind());
  EXPECT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 0);
}

}  // namespace
}  // namespace scrivex
