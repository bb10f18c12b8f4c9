#include "text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scrivex {
namespace {

const std::string kBad = "\xef\xbf\xbd";  // U+FFFD

TEST(DecodeText, Utf8KeepsGoodCharactersAndReplacesEachBadByte) {
  EXPECT_EQ(DecodeText("\xef\xbb\xbf"
                       "a\xc3\xbc\xe6\x9d\xb1\xf0\x9f\x98\x80"),
            "a\xc3\xbc\xe6\x9d\xb1\xf0\x9f\x98\x80");
  // A lone byte, an overlong form, a surrogate, past U+10FFFF, a cut-off end.
  EXPECT_EQ(DecodeText("x\xffy"), "x" + kBad + "y");
  EXPECT_EQ(DecodeText("\xc0\x80"), kBad + kBad);
  EXPECT_EQ(DecodeText("\xed\xa0\x80z"), kBad + kBad + kBad + "z");
  EXPECT_EQ(DecodeText("\xf4\x90\x80\x80"), kBad + kBad + kBad + kBad);
  EXPECT_EQ(DecodeText("ok\xe6\x9d"), "ok" + kBad + kBad);
  // Controls are blanks; line ends, tab and form feed stay.
  EXPECT_EQ(DecodeText(std::string("a\0b\x1b\x7f\t\r\n\f", 9)), "a b  \t\r\n\f");
}

TEST(DecodeText, Utf16ReplacesOnlyTheBadUnit) {
  // Little-endian with one stray trailing byte.
  EXPECT_EQ(DecodeText(std::string("\xff\xfeH\0i\0\xfc\0!", 9)), "Hi\xc3\xbc" + kBad);
  // Big-endian: a pair, then a lone high surrogate before a letter, a lone
  // low one, and a high surrogate cut off by the end.
  EXPECT_EQ(DecodeText(std::string("\xfe\xff\xd8\x3d\xde\x00\xd8\x00\0A\xdc\x00\0B\xdb\xff", 16)),
            "\xf0\x9f\x98\x80" + kBad + "A" + kBad + "B" + kBad);
  // Two high surrogates and a low one: the first alone is bad.
  EXPECT_EQ(DecodeText(std::string("\xff\xfe\x3d\xd8\x3d\xd8\x00\xde", 8)),
            kBad + "\xf0\x9f\x98\x80");
  // Controls decoded from UTF-16 are blanks too.
  EXPECT_EQ(DecodeText(std::string("\xff\xfe\x01\0\n\0", 6)), " \n");
  EXPECT_EQ(DecodeText("\xff\xfe"), "");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  LineReader reader{text};
  TextLine line;
  while (NextLine(reader, &line)) out.push_back((line.newPage ? "^" : "") + std::string(line.text));
  return out;
}

TEST(NextLine, LineEndsAndFormFeeds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(""), V{""});
  EXPECT_EQ(Lines("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Lines("a\n"), V{"a"});
  EXPECT_EQ(Lines("a\n\n"), (V{"a", ""}));
  EXPECT_EQ(Lines("\r\r\n"), (V{"", ""}));
  // Each form feed starts a page; one at the very end starts none.
  EXPECT_EQ(Lines("\f\f\f"), (V{"", "^", "^"}));
  EXPECT_EQ(Lines("a\fb\f"), (V{"a", "^b"}));
  EXPECT_EQ(Lines("a\f\nb"), (V{"a", "^", "b"}));
}

TEST(ExpandTabs, PieceByPieceAsWhole) {
  int column = 0;
  EXPECT_EQ(ExpandTabs("a\tb\t", &column), "a       b       ");
  EXPECT_EQ(column, 16);
  // A wide character takes two columns, a combining mark none.
  column = 0;
  EXPECT_EQ(ExpandTabs("\xe6\x9d\xb1\x65\xcc\x81\t|", &column), "\xe6\x9d\xb1\x65\xcc\x81     |");
  const std::string line = "x\t\xe6\x9d\xb1\tyy\t\xc3\xbc\tz";
  int whole = 0;
  std::string expected = ExpandTabs(line, &whole);
  for (size_t cut = 0; cut <= line.size(); ++cut) {
    if (cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80) continue;
    column = 0;
    std::string pieces = ExpandTabs(std::string_view(line).substr(0, cut), &column);
    pieces += ExpandTabs(std::string_view(line).substr(cut), &column);
    EXPECT_EQ(pieces, expected) << "cut at " << cut;
    EXPECT_EQ(column, whole);
  }
}

TEST(PieceEnd, PiecesCoverTheLineAndNeverSplitACharacter) {
  // One, two, three and four byte characters mixed.
  std::string line;
  for (int i = 0; i < 50; ++i) line += "a\xc3\xbc\xe6\x9d\xb1\xf0\x9f\x98\x80";
  for (size_t maxBytes : {0, 1, 2, 3, 5, 7, 64, 10000}) {
    std::string joined;
    size_t start = 0, pieces = 0;
    while (start < line.size()) {
      size_t end = PieceEnd(line, start, maxBytes);
      ASSERT_GT(end, start);
      ASSERT_LE(end, line.size());
      if (maxBytes >= 4) {
        EXPECT_LE(end - start, maxBytes);
      }
      if (end < line.size()) {
        EXPECT_NE(static_cast<unsigned char>(line[end]) & 0xc0, 0x80);
      }
      joined += line.substr(start, end - start);
      start = end;
      ++pieces;
    }
    EXPECT_EQ(joined, line) << maxBytes;
    if (maxBytes == 10000) {
      EXPECT_EQ(pieces, 1u);
    }
  }
  EXPECT_EQ(PieceEnd(line, line.size(), 10), line.size());
}

}  // namespace
}  // namespace scrivex
