#include "postscript/postscript_kind.h"

#include <gtest/gtest.h>

#include "postscript/progress.h"
#include "postscript/ps_test_util.h"

namespace scrivex {
namespace {

using testing_util::ScratchDir;

int Kind(const std::string& content) {
  ScratchDir dir;
  return DetectPostScriptKind(dir.Write("f", content));
}

TEST(DetectPostScriptKind, TellsPostScriptFromEps) {
  EXPECT_EQ(Kind("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n"), 2);
  EXPECT_EQ(Kind("%!PS-Adobe-3.0\n%%Pages: 1\n"), 1);
  EXPECT_EQ(Kind("%PDF-1.4\n1 0 obj << >> endobj\n%%EOF\n"), 0);
  EXPECT_EQ(Kind(""), 0);
  EXPECT_EQ(DetectPostScriptKind("/nonexistent/x.ps"), -1);
}

TEST(DetectPostScriptKind, SearchesAnywhereAcrossBlocks) {
  // A DOS EPS header or junk before the magic; the magic straddling the
  // reader's 64 KiB blocks.
  std::string junk(65536 - 4, '%');
  EXPECT_EQ(Kind(junk + "%!PS-Adobe-3.0 \t EPSF-3.0\n"), 2);
  EXPECT_EQ(Kind(junk + "%!PS-Adob"), 0);
  // Fourteen characters from the match, whatever they are, then the kind.
  EXPECT_EQ(Kind("%!PS-Adobe-2.0EPSF-1.2"), 2);
  EXPECT_EQ(Kind("%!PS-Adobe-3.0 EPSF"), 1);  // past the end: not EPS
  EXPECT_EQ(Kind("%!PS-Adobe-3.1x EPSF-3.0"), 1);
  EXPECT_EQ(Kind(std::string("\0\0%%!PS-Adobe-3.0 EPSF-3.0", 27)), 2);
}

int g_calls = 0;
std::string g_lastPath;
int Callback(const char* path, const char* message, int value) {
  ++g_calls;
  g_lastPath = path;
  return std::string(message) == "Processing image files..." && value == 0 ? 0 : 5;
}

TEST(ProgressCallback, NoneSetYieldsOneAndSetterReplaces) {
  SetProgressCallback(nullptr);
  EXPECT_EQ(InvokeProgressCallback("a", "Processing image files...", 0), 1);
  SetProgressCallback(&Callback);
  EXPECT_EQ(InvokeProgressCallback("out_0001.tif", "Processing image files...", 0), 0);
  EXPECT_EQ(InvokeProgressCallback("b", "other", 0), 5);
  EXPECT_EQ(g_calls, 2);
  EXPECT_EQ(g_lastPath, "b");
  SetProgressCallback(nullptr);
  EXPECT_EQ(InvokeProgressCallback("c", "x", 0), 1);
  EXPECT_EQ(g_calls, 2);
}

}  // namespace
}  // namespace scrivex
