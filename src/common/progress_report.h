// How far one file's conversion got, told to whoever watches it: the stage
// the work is in and, where known, the page at work out of those expected.
// The driver makes a sink only when a person watches standard error; each
// step takes it from the record it was handed (Job, ImageRequest,
// RenderRequest, PrintJob), and an empty sink says nothing.
#ifndef SCRIVEX_COMMON_PROGRESS_REPORT_H_
#define SCRIVEX_COMMON_PROGRESS_REPORT_H_

#include <functional>
#include <string>

namespace scrivex {

struct ProgressUpdate {
  std::string stage;  // "rendering", "writing TIFF", ...; empty: take the line away
  int page = 0;       // the page at work, from 1; 0: not counted
  int pages = 0;      // the pages expected; 0: unknown
  bool operator==(const ProgressUpdate&) const = default;
};

using ProgressSink = std::function<void(const ProgressUpdate&)>;

void ReportStage(const ProgressSink& sink, const std::string& stage);
void ReportPage(const ProgressSink& sink, const std::string& stage, int page, int pages);
// Before a line of our own is printed where the progress shows, so the two
// never share a line.
void HideProgress(const ProgressSink& sink);

// A helper program of ours tells its progress as lines on its output when
// its environment has this variable set to "lines"; the caller reads them
// back and leaves them out of the helper's messages.
constexpr const char kProgressVariable[] = "SCRIVEX_PROGRESS";
std::string ProgressLineText(const ProgressUpdate& update);
// False for any other line.
bool ReadProgressLine(const std::string& line, ProgressUpdate* update);
// In such a helper: a sink writing those lines to standard error when the
// environment asks for them, else an empty one.
ProgressSink ProgressLinesWhenAsked();

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_PROGRESS_REPORT_H_
