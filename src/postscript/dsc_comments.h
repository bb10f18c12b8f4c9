// Reading DSC comment lines and the numbers in them.
#ifndef SCRIVEX_POSTSCRIPT_DSC_COMMENTS_H_
#define SCRIVEX_POSTSCRIPT_DSC_COMMENTS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "postscript/byte_reader.h"
#include "postscript/ps_extent.h"

namespace scrivex {

// Comment lines are read in pieces of at most kDscLineSize - 1 characters.
constexpr size_t kDscLineSize = 256;

// Reads up to a line feed or carriage return (consumed, not stored), the end
// of the data, or size - 1 characters (the rest stays for the next read).
// `eof` is set when the end of the data or an error ended the read. Returns
// the number of characters stored.
int ReadTextLine(ByteReader& in, std::string* line, size_t size, bool* eof);

// Reads lines until one starts with `keyword` outside embedded documents
// (%%BeginDocument/%%EndDocument, tracked in `depth`, which callers share
// between searches of one file). 1 with that line in `line`, 0 at the end of
// the data; a last line without a line break is never matched.
int FindDscComment(ByteReader& in, std::string_view keyword, std::string* line, int16_t* depth);

struct TokenContext {
  std::string_view rest;
};
// Splits on blanks and tabs: starts on `text` when given, else goes on where
// `context` stopped. Nothing when no token is left.
std::optional<std::string_view> NextToken(std::optional<std::string_view> text,
                                          TokenContext* context);

// Skips "{", "(" and "[" tokens, then reads four numbers (tokens of digits,
// "." and "-" only) into llx, lly, urx, ury. 1 when all four were read; on
// failure the values already read stay in `out`.
int ParseBox(std::optional<std::string_view> firstToken, Box* out, TokenContext* context);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_DSC_COMMENTS_H_
