// The line on standard error's terminal that shows how far the file at work
// got ("report.pdf: rendering page 12 of 200"): drawn over in place ("\r",
// erase to the end of the line), cut to the terminal's width, and taken away
// before any other line and at the end of each file, so the result lines
// print cleanly. A new stage shows at once; the pages of a stage show at most
// ten times a second, their first and last always.
#ifndef SCRIVEX_DRIVER_PROGRESS_LINE_H_
#define SCRIVEX_DRIVER_PROGRESS_LINE_H_

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "common/progress_report.h"

namespace scrivex {

constexpr long long kProgressIntervalMs = 100;

// Where the line is drawn; tests give a fake one.
struct ProgressTerminal {
  std::function<void(const std::string& text)> write;  // written at once
  std::function<int()> columns;                        // its width; 0: unknown
  std::function<long long()> clockMs;
};

// The text for a file's update, at most columns - 1 characters wide (the
// last column would make the terminal wrap) when the width is known: a
// long file name gives way from its start. Control characters of a file
// name show as "?", so none reaches the terminal.
std::string FormatProgress(const std::string& subject, const ProgressUpdate& update, int columns);

class ProgressLine {
 public:
  explicit ProgressLine(ProgressTerminal terminal) : terminal_(std::move(terminal)) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { Hide(); }

  // The file the next updates are about (its line is hidden first).
  void Begin(const std::string& subject);
  // An update with an empty stage hides the line.
  void Show(const ProgressUpdate& update);
  void Hide();
  // Forwards to Show, from any thread, while this line lives.
  ProgressSink Sink();

 private:
  void HideLocked();

  std::mutex mutex_;
  ProgressTerminal terminal_;
  std::string subject_;
  std::string shown_;  // the text on the terminal; empty: none
  std::string stage_;  // the stage of the last update drawn
  long long drawnAt_ = 0;
};

// The line for standard error, when a person watches it there on a terminal
// that can erase a line (TERM is not "dumb"); else null.
std::unique_ptr<ProgressLine> ProgressLineOnStandardError();

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_PROGRESS_LINE_H_
