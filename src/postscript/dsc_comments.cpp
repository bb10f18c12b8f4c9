#include "postscript/dsc_comments.h"

#include <charconv>
#include <cstdint>

namespace scrivex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsNumberToken(std::string_view token) {
  for (char c : token) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-')) return false;
  }
  return true;
}

// Reads the longest decimal prefix, as atof would; 0 when there is none.
float ToFloat(std::string_view token) {
  float value = 0;
  std::from_chars(token.data(), token.data() + token.size(), value, std::chars_format::fixed);
  return value;
}

}  // namespace

int ReadTextLine(ByteReader& in, std::string* line, size_t size, bool* eof) {
  size_t limit = size > 0 ? size - 1 : 0;
  *eof = in.ReadLinePiece(line, limit, true) == ByteReader::LineStop::kEnd;
  return static_cast<int>(line->size());
}

int FindDscComment(ByteReader& in, std::string_view keyword, std::string* line, int16_t* depth) {
  for (;;) {
    bool eof = false;
    ReadTextLine(in, line, kDscLineSize, &eof);
    if (eof) return 0;
    std::string_view text = *line;
    if (text.starts_with("%%BeginDocument")) {
      if (*depth < INT16_MAX) ++*depth;
    } else if (text.starts_with("%%EndDocument")) {
      if (*depth > 0) --*depth;
    }
    if (*depth == 0 && text.starts_with(keyword)) return 1;
  }
}

std::optional<std::string_view> NextToken(std::optional<std::string_view> text,
                                          TokenContext* context) {
  if (text) context->rest = *text;
  std::string_view& rest = context->rest;
  size_t start = 0;
  while (start < rest.size() && IsBlank(rest[start])) ++start;
  if (start == rest.size()) {
    rest = {};
    return std::nullopt;
  }
  size_t end = start;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  std::string_view token = rest.substr(start, end - start);
  rest.remove_prefix(end);
  return token;
}

int ParseBox(std::optional<std::string_view> firstToken, Box* out, TokenContext* context) {
  std::optional<std::string_view> token = firstToken;
  while (token && (*token == "{" || *token == "(" || *token == "[")) {
    token = NextToken(std::nullopt, context);
  }
  float* fields[] = {&out->llx, &out->lly, &out->urx, &out->ury};
  for (int i = 0; i < 4; ++i) {
    if (i > 0) token = NextToken(std::nullopt, context);
    if (!token || !IsNumberToken(*token)) return 0;
    *fields[i] = ToFloat(*token);
  }
  return 1;
}

}  // namespace scrivex
