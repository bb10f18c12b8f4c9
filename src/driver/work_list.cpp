#include "driver/work_list.h"

#include <cctype>
#include <memory>

#include "common/conversion_options.h"
#include "common/failure_reason.h"
#include "common/url.h"
#include "platform/files.h"
#include "platform/path.h"

namespace scrivex {

using platform::PathParts;
using platform::SplitPath;

namespace {

// "base_0001.ext": the output's own numbered page.
bool IsNumberedPageOf(const std::string& name, const std::string& base, const std::string& ext) {
  if (!platform::StartsWithNoCase(name, base + "_")) return false;
  PathParts parts = SplitPath(name);
  if (!platform::EqualsNoCase(parts.ext, ext)) return false;
  std::string digits = parts.name.substr(base.size() + 1);
  if (digits.empty()) return false;
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

int ExpandWildcard(const std::string& pattern, WorkList* list) {
  PathParts parts = SplitPath(pattern);
  for (const platform::DirEntry& entry : platform::FindFiles(pattern)) {
    PathParts found = SplitPath(entry.name);
    std::string path = platform::MakePath(parts.drive, parts.dir, found.name, found.ext);
    if (platform::FileExists(path) && !platform::IsDirectory(path)) list->push_back({path, ""});
  }
  return static_cast<int>(list->size());
}

namespace {

// Reads like a text-mode stream: CR LF arrives as LF.
int GetTextChar(std::FILE* file) {
  int c = std::fgetc(file);
  if (c == '\r') {
    int next = std::fgetc(file);
    if (next == '\n') return '\n';
    if (next != EOF) std::ungetc(next, file);
  }
  return c;
}

}  // namespace

bool ReadListLine(std::string* line, std::FILE* file) {
  line->clear();
  while (line->size() < kListLineBytes - 1) {
    int c = GetTextChar(file);
    if (c == EOF || c == '\n') break;
    line->push_back(static_cast<char>(c));
    if (c == '\r') {
      int next = GetTextChar(file);
      if (next == '\n') {
        if (line->size() < kListLineBytes - 1) line->push_back('\n');
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
      break;
    }
  }
  return !line->empty();
}

int ReadListFile(const std::string& listPath, const std::string& outputPath, WorkList* list) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(listPath.c_str(), "r"),
                                                       std::fclose);
  if (!file) return 0;
  std::string line;
  while (ReadListLine(&line, file.get())) {
    size_t cut = line.find_first_of("\r\n");
    if (cut != std::string::npos) line.resize(cut);
    list->push_back({line, outputPath});
  }
  return static_cast<int>(list->size());
}

void BuildWorkList(const std::string& inputPath, std::string* outputPath, int* existingOutputMode,
                   WorkList* list) {
  if (platform::HasExtension(inputPath, ".ver") || platform::HasExtension(inputPath, ".lst")) {
    bool outputExists = platform::FileExists(*outputPath);
    // The list replaces an existing output, but only once its first entry
    // has converted: a mistyped or failing list leaves the output as it is.
    const bool replaces = *existingOutputMode == kOverwriteOutput && outputExists;
    if (*existingOutputMode == kOverwriteOutput) {
      *existingOutputMode = kAppendToOutput;
    } else if (*existingOutputMode == kNumberedNewOutput) {
      if (outputExists) *outputPath = MakeFreeNumberedName(*outputPath);
      *existingOutputMode = kAppendToOutput;
    }
    if (!platform::FileExists(inputPath) || platform::IsDirectory(inputPath)) {
      std::fprintf(stderr, "%s: no such list file\n", inputPath.c_str());
      return;
    }
    ReadListFile(inputPath, *outputPath, list);
    for (WorkItem& item : *list) item.replacesOutput = replaces;
    return;
  }
  std::string pattern = inputPath;
  if (platform::IsDirectory(pattern)) {
    if (pattern.back() != '/') pattern += '/';
    pattern += "*.*";
  }
  PathParts parts = SplitPath(pattern);
  if ((parts.name + parts.ext).find('*') != std::string::npos) {
    ExpandWildcard(pattern, list);
    return;
  }
  list->push_back({inputPath, ""});
}

void AssignOutputNames(const std::string& outputPath, WorkList* list) {
  PathParts out = SplitPath(outputPath);
  if (list->size() == 1 && out.name != "*") {
    if (list->front().outputPath.empty()) list->front().outputPath = outputPath;
    return;
  }
  std::string dir;
  std::string ext = out.ext;
  if (platform::IsDirectory(outputPath)) {
    dir = outputPath;
    // A directory "out.d" lends ".d"; a trailing "/" lends nothing.
    ext = outputPath.back() == '/' ? "" : out.ext;
  } else {
    dir = out.drive + out.dir;
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  if (ext.empty()) ext = ".pdf";
  for (WorkItem& item : *list) {
    if (!item.outputPath.empty()) continue;
    PathParts in = SplitPath(item.inputPath);
    // No output folder given: results go beside their inputs.
    std::string itemDir = dir.empty() ? in.drive + in.dir : dir;
    item.outputPath = itemDir + in.name + ext;
  }
}

std::string MakeFreeNumberedName(const std::string& path) {
  PathParts parts = SplitPath(path);
  // Counting goes on past 4095: handing back an existing name would overwrite it.
  for (long k = 0;; ++k) {
    char number[32];
    std::snprintf(number, sizeof number, "%03ld", k);
    std::string candidate =
        platform::MakePath(parts.drive, parts.dir, parts.name + number, parts.ext);
    // A dangling link takes its name too: writing there would follow it.
    if (!platform::EntryExists(candidate)) return candidate;
  }
}

int RenameSinglePageOutput(const std::string& outputPath, std::string* why) {
  if (outputPath.empty()) return 0;
  PathParts parts = SplitPath(outputPath);
  std::string base = parts.name.substr(0, parts.name.find('%'));
  std::string pattern = platform::MakePath(parts.drive, parts.dir, base + "*", parts.ext);
  WorkList matches;
  ExpandWildcard(pattern, &matches);
  // Only the output's own pages count, and only a single one is renamed:
  // several pages keep their numbers, and unrelated files are never moved.
  std::vector<std::string> pages;
  for (const WorkItem& match : matches) {
    PathParts m = SplitPath(match.inputPath);
    if (IsNumberedPageOf(m.name + m.ext, base, parts.ext)) pages.push_back(match.inputPath);
  }
  if (pages.size() != 1) return 0;
  if (!platform::MoveFileNoReplace(pages.front(), outputPath)) {
    NoteFailure(why, "the single page " + pages.front() + " could not be renamed to " + outputPath);
    return -1;
  }
  return 1;
}

}  // namespace scrivex
