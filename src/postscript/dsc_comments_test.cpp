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
  EXPECT_FALSE(eof);
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 0);  // the LF after the CR
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 2);
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 255);
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 45);
  EXPECT_FALSE(eof);
  EXPECT_EQ(ReadTextLine(in, &line, 256, &eof), 4);
  EXPECT_EQ(line, "last");
  EXPECT_TRUE(eof);
}

TEST(FindDscComment, SkipsEmbeddedDocumentsAndShareTheDepth) {
  ScratchDir dir;
  ByteReader in;
  ASSERT_TRUE(in.Open(dir.Write("f",
                                "%%BeginDocument: a\n%%Key: inner\n"
                                "%%BeginDocument: b\n%%EndDocument\n%%Key: still inner\n"
                                "%%EndDocument\n%%Key: outer\n%%BeginDocument: c\n%%Key: end")));
  std::string line;
  int16_t depth = 0;
  ASSERT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 1);
  EXPECT_EQ(line, "%%Key: outer");
  EXPECT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 0);
  EXPECT_EQ(depth, 1);
  // The depth carries over a rewind, as it does between the searches of one file.
  ASSERT_TRUE(in.Rewind());
  EXPECT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 0);
}

TEST(FindDscComment, DepthNeverGoesBelowZero) {
  ScratchDir dir;
  ByteReader in;
  ASSERT_TRUE(in.Open(dir.Write("f", "%%EndDocument\n%%EndDocument\n%%Key: a\n")));
  std::string line;
  int16_t depth = 0;
  EXPECT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 1);
  EXPECT_EQ(depth, 0);
}

TEST(FindDscComment, LastLineWithoutBreakNeverMatches) {
  ScratchDir dir;
  ByteReader in;
  ASSERT_TRUE(in.Open(dir.Write("f", "x\n%%Key: 1")));
  std::string line;
  int16_t depth = 0;
  EXPECT_EQ(FindDscComment(in, "%%Key:", &line, &depth), 0);
}

TEST(NextToken, SplitsOnBlanksAndTabs) {
  TokenContext context;
  EXPECT_EQ(NextToken(" \t a\tbb  c ", &context), "a");
  EXPECT_EQ(NextToken(std::nullopt, &context), "bb");
  EXPECT_EQ(NextToken(std::nullopt, &context), "c");
  EXPECT_EQ(NextToken(std::nullopt, &context), std::nullopt);
  EXPECT_EQ(NextToken(std::nullopt, &context), std::nullopt);
  EXPECT_EQ(NextToken("   ", &context), std::nullopt);
}

int Parse(std::string_view text, Box* box) {
  TokenContext context;
  return ParseBox(NextToken(text, &context), box, &context);
}

TEST(ParseBox, ReadsFourNumbers) {
  Box b{};
  ASSERT_EQ(Parse("0 0 612 792", &b), 1);
  EXPECT_EQ(b.urx, 612);
  EXPECT_EQ(b.ury, 792);
  ASSERT_EQ(Parse("[ { ( -1.5 .25 612.5 792. ]", &b), 1);
  EXPECT_FLOAT_EQ(b.llx, -1.5f);
  EXPECT_FLOAT_EQ(b.lly, 0.25f);
  EXPECT_FLOAT_EQ(b.urx, 612.5f);
  EXPECT_FLOAT_EQ(b.ury, 792.0f);
}

TEST(ParseBox, FailsOnMissingOrForeignTokensKeepingWhatWasRead) {
  Box b{9, 9, 9, 9};
  EXPECT_EQ(Parse("1 2 3", &b), 0);
  EXPECT_EQ(b.llx, 1);
  EXPECT_EQ(b.urx, 3);
  EXPECT_EQ(b.ury, 9);
  EXPECT_EQ(Parse("1 2 +3 4", &b), 0);
  EXPECT_EQ(Parse("1 2 3 4e2", &b), 0);
  EXPECT_EQ(Parse("[0 0 612 792]", &b), 0);
  EXPECT_EQ(Parse("", &b), 0);
  b = {};
  EXPECT_EQ(Parse("- . 1-2 99999999999999999999999999999999999999999", &b), 1);
  EXPECT_EQ(b.llx, 0);
  EXPECT_EQ(b.urx, 1);
}

}  // namespace
}  // namespace scrivex
