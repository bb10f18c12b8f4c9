#include "driver/progress_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scrivex {
namespace {

using Writes = std::vector<std::string>;

TEST(ProgressLine, TextNamesTheStagePagesAndFitsTheTerminal) {
  EXPECT_EQ(FormatProgress("big.pdf", {"rendering", 2, 3}, 80), "big.pdf: rendering page 2 of 3");
  EXPECT_EQ(FormatProgress("big.pdf", {"rendering", 7, 0}, 80), "big.pdf: rendering page 7");
  EXPECT_EQ(FormatProgress("big.pdf", {"writing TIFF", 0, 9}, 0), "big.pdf: writing TIFF");
  // One column short of the width; the name gives way from its start, by
  // characters, never inside one.
  const std::string text = FormatProgress("a-very-long-name-Größe.pdf", {"rendering", 12, 200}, 40);
  EXPECT_EQ(text, "...-Größe.pdf: rendering page 12 of 200");
  // No room for a useful part of the name: the stage alone, cut when it must.
  EXPECT_EQ(FormatProgress("x.pdf", {"rendering", 1, 2}, 27), "rendering page 1 of 2");
  EXPECT_EQ(FormatProgress("long-name.pdf", {"rendering", 1, 2}, 12), "rendering p");
  // A name's control characters (an escape sequence, a line end) and broken
  // bytes never reach the terminal.
  EXPECT_EQ(FormatProgress("a\x1b[2Jb\n\xff.pdf", {"printing", 0, 0}, 80),
            "a?[2Jb??.pdf: printing");
}

struct FakeTerminal {
  Writes writes;
  long long now = 1000;
  ProgressTerminal Make() {
    return {[this](const std::string& text) { writes.push_back(text); }, [] { return 80; },
            [this] { return now; }};
  }
};

TEST(ProgressLine, DrawsInPlaceThrottlesPagesAndErases) {
  FakeTerminal t;
  {
    ProgressLine line(t.Make());
    line.Hide();  // nothing shown: nothing to erase
    EXPECT_TRUE(t.writes.empty());
    line.Begin("in.pdf");
    ProgressSink sink = line.Sink();
    ReportStage(sink, "checking the input");
    ReportPage(sink, "rendering", 1, 100);  // a new stage shows at once
    t.now += 10;
    ReportPage(sink, "rendering", 2, 100);  // too soon
    t.now += 95;
    ReportPage(sink, "rendering", 3, 100);
    t.now += 10;
    ReportPage(sink, "rendering", 4, 100);    // too soon
    ReportPage(sink, "rendering", 100, 100);  // the last page always
    t.now += 500;
    ReportPage(sink, "rendering", 100, 100);  // the same text again
    EXPECT_EQ(t.writes, (Writes{"\rin.pdf: checking the input\x1b[K",
                                "\rin.pdf: rendering page 1 of 100\x1b[K",
                                "\rin.pdf: rendering page 3 of 100\x1b[K",
                                "\rin.pdf: rendering page 100 of 100\x1b[K"}));
    t.writes.clear();
    // Taken away before another line; the next update draws it again at once.
    HideProgress(sink);
    HideProgress(sink);
    ReportStage(sink, "writing TIFF");
    t.now += 1;
    ReportStage(sink, "checking the output");  // a new stage is never held back
    line.Begin("next.ps");                     // a new file starts on a clean line
    EXPECT_EQ(t.writes, (Writes{"\r\x1b[K", "\rin.pdf: writing TIFF\x1b[K",
                                "\rin.pdf: checking the output\x1b[K", "\r\x1b[K"}));
    t.writes.clear();
    ReportStage(sink, "rendering");
  }
  // The line goes with its owner.
  EXPECT_EQ(t.writes, (Writes{"\rnext.ps: rendering\x1b[K", "\r\x1b[K"}));
}

}  // namespace
}  // namespace scrivex
