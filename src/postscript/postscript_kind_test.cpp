#include "postscript/postscript_kind.h"

#include <gtest/gtest.h>

#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

TEST(DetectPostScriptKind, TellsPostScriptFromEpsAnywhereInTheFile) {
  // The magic may follow a DOS EPS header or junk, and straddle the 64 KiB read blocks; the
  // fourteen characters after it decide, whatever they are.
  const std::string junk(65536 - 4, '%');
  const std::pair<std::string, int> cases[] = {
      {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n", 2},
      {"%!PS-Adobe-3.0\n%%Pages: 1\n", 1},
      {"%PDF-1.4\n1 0 obj << >> endobj\n%%EOF\n", 0},
      {"", 0},
      {junk + "%!PS-Adobe-3.0 \t EPSF-3.0\n", 2},
      {junk + "%!PS-Adob", 0},
      {"%!PS-Adobe-2.0EPSF-1.2", 2},
      {"%!PS-Adobe-3.0 EPSF", 1},
      {"%!PS-Adobe-3.1x EPSF-3.0", 1},
      {std::string("\0\0%%!PS-Adobe-3.0 EPSF-3.0", 27), 2},
  };
  testing_util::ScratchDir dir;
  for (const auto& [content, kind] : cases) {
    EXPECT_EQ(DetectPostScriptKind(dir.Write("f", content)), kind) << content.substr(0, 40);
  }
  EXPECT_EQ(DetectPostScriptKind(dir.Path("missing.ps")), -1);
}

}  // namespace
}  // namespace scrivex
