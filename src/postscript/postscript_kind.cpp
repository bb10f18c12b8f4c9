#include "postscript/postscript_kind.h"

#include <string_view>

#include "postscript/byte_reader.h"

namespace scrivex {

namespace {
constexpr std::string_view kMagic = "%!PS-Adobe";
// The kind follows the version line start, e.g. "%!PS-Adobe-3.0".
constexpr int kVersionLength = 14;
}  // namespace

int DetectPostScriptKind(const std::string& path) {
  ByteReader in;
  if (!in.Open(path)) return -1;
  // "%" occurs only at the start of the magic, so a mismatch can restart there.
  size_t matched = 0;
  int64_t matchStart = -1;
  while (matched < kMagic.size()) {
    int c = in.Get();
    if (c == EOF) return in.Failed() ? -2 : 0;
    if (c == static_cast<unsigned char>(kMagic[matched])) {
      ++matched;
    } else {
      matched = c == '%' ? 1 : 0;
    }
    if (matched == 1) matchStart = in.Tell() - 1;
  }
  if (!in.Seek(matchStart + kVersionLength)) return -2;
  int c = in.Get();
  while (c == ' ' || c == '\t') c = in.Get();
  for (char want : std::string_view("EPSF-")) {
    if (c != static_cast<unsigned char>(want)) return in.Failed() ? -2 : 1;
    c = in.Get();
  }
  return 2;
}

}  // namespace scrivex
