#include "driver/progress_line.h"

#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/terminal.h"

namespace scrivex {
namespace {

// The characters of a UTF-8 text, each as its bytes; control characters
// (and bytes that start no character) become "?".
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80           ? 1
                    : (c >> 5) == 0x6  ? 2
                    : (c >> 4) == 0xe  ? 3
                    : (c >> 3) == 0x1e ? 4
                                       : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
    }
    if (!valid || c < 0x20 || c == 0x7f) {
      chars.emplace_back("?");
      i += valid ? length : 1;
      continue;
    }
    chars.push_back(text.substr(i, length));
    i += length;
  }
  return chars;
}

std::string Join(const std::vector<std::string>& chars, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to && i < chars.size(); ++i) text += chars[i];
  return text;
}

}  // namespace

std::string FormatProgress(const std::string& subject, const ProgressUpdate& update, int columns) {
  std::string what = update.stage;
  if (update.page > 0) {
    what += " page " + std::to_string(update.page);
    if (update.pages > 0) what += " of " + std::to_string(update.pages);
  }
  const std::vector<std::string> name = Characters(subject);
  const std::vector<std::string> rest = Characters(": " + what);
  const size_t room = columns > 0 ? static_cast<size_t>(columns - 1) : SIZE_MAX;
  if (name.size() + rest.size() <= room)
    return Join(name, 0, name.size()) + Join(rest, 0, rest.size());
  // The stage matters more than the whole name: the name keeps its end.
  const std::string dots = "...";
  if (rest.size() + dots.size() < room) {
    const size_t keep = room - rest.size() - dots.size();
    return dots + Join(name, name.size() - keep, name.size()) + Join(rest, 0, rest.size());
  }
  return Join(rest, 2, 2 + room);
}

void ProgressLine::Begin(const std::string& subject) {
  std::lock_guard<std::mutex> lock(mutex_);
  HideLocked();
  subject_ = subject;
  stage_.clear();
}

void ProgressLine::Show(const ProgressUpdate& update) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (update.stage.empty()) {
    HideLocked();
    return;
  }
  const long long now = terminal_.clockMs();
  // Pages within a stage wait their turn, but the first and the last show:
  // they say the counting began and ended.
  const bool newStage = shown_.empty() || update.stage != stage_;
  const bool edge = update.page <= 1 || (update.pages > 0 && update.page >= update.pages);
  if (!newStage && !edge && now - drawnAt_ < kProgressIntervalMs) return;
  const std::string text = FormatProgress(subject_, update, terminal_.columns());
  if (text == shown_) return;
  terminal_.write("\r" + text + "\x1b[K");
  shown_ = text;
  stage_ = update.stage;
  drawnAt_ = now;
}

void ProgressLine::Hide() {
  std::lock_guard<std::mutex> lock(mutex_);
  HideLocked();
}

void ProgressLine::HideLocked() {
  if (shown_.empty()) return;
  terminal_.write("\r\x1b[K");
  shown_.clear();
}

ProgressSink ProgressLine::Sink() {
  return [this](const ProgressUpdate& update) { Show(update); };
}

std::unique_ptr<ProgressLine> ProgressLineOnStandardError() {
  // A terminal that cannot erase a line (an editor's shell buffer) would
  // show every update one after another.
  if (!platform::StandardErrorIsTerminal() || platform::GetEnv("TERM") == "dumb") return nullptr;
  ProgressTerminal terminal;
  terminal.write = [](const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  };
  terminal.columns = platform::StandardErrorColumns;
  terminal.clockMs = platform::TickCountMs;
  return std::make_unique<ProgressLine>(std::move(terminal));
}

}  // namespace scrivex
