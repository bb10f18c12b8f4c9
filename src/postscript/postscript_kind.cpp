#include "postscript/postscript_kind.h"

#include <cstring>
#include <string_view>
#include <vector>

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
  // "%" occurs only at the start of the magic, so a mismatch can restart
  // there; between candidates the block is skipped with memchr.
  std::vector<char> block(64 * 1024);
  int64_t blockStart = 0;
  int64_t matchStart = -1;
  size_t matched = 0;
  while (matched < kMagic.size()) {
    size_t n = in.Read(block.data(), block.size());
    if (n == 0) return in.Failed() ? -2 : 0;
    for (size_t i = 0; i < n && matched < kMagic.size(); ++i) {
      if (matched == 0) {
        const void* p = std::memchr(block.data() + i, '%', n - i);
        if (p == nullptr) break;
        i = static_cast<size_t>(static_cast<const char*>(p) - block.data());
      }
      if (block[i] == kMagic[matched]) {
        ++matched;
      } else {
        matched = block[i] == '%' ? 1 : 0;
      }
      if (matched == 1) matchStart = blockStart + static_cast<int64_t>(i);
    }
    blockStart += static_cast<int64_t>(n);
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
