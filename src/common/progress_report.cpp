#include "common/progress_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace scrivex {
namespace {

constexpr char kLineMark[] = "scrivex-progress: ";

}  // namespace

void ReportStage(const ProgressSink& sink, const std::string& stage) {
  if (sink) sink(ProgressUpdate{stage, 0, 0});
}

void ReportPage(const ProgressSink& sink, const std::string& stage, int page, int pages) {
  if (sink) sink(ProgressUpdate{stage, page, pages});
}

void HideProgress(const ProgressSink& sink) {
  if (sink) sink(ProgressUpdate{});
}

std::string ProgressLineText(const ProgressUpdate& update) {
  std::string stage = update.stage;
  for (char& c : stage) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return kLineMark + std::to_string(update.page) + " " + std::to_string(update.pages) + " " + stage;
}

bool ReadProgressLine(const std::string& line, ProgressUpdate* update) {
  const size_t mark = std::strlen(kLineMark);
  if (line.compare(0, mark, kLineMark) != 0) return false;
  int page = 0, pages = 0, used = 0;
  if (std::sscanf(line.c_str() + mark, "%d %d %n", &page, &pages, &used) != 2 || used == 0 ||
      page < 0 || pages < 0) {
    return false;
  }
  update->page = page;
  update->pages = pages;
  update->stage = line.substr(mark + static_cast<size_t>(used));
  return true;
}

ProgressSink ProgressLinesWhenAsked() {
  const char* asked = std::getenv(kProgressVariable);
  if (asked == nullptr || std::strcmp(asked, "lines") != 0) return {};
  return [](const ProgressUpdate& update) {
    const std::string line = ProgressLineText(update) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
  };
}

}  // namespace scrivex
