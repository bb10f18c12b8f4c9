#include "image/post_process.h"

#include <algorithm>
#include <cctype>

#include "common/progress.h"
#include "image/tiff_recompress.h"
#include "platform/files.h"
#include "platform/output_target.h"
#include "platform/path.h"

namespace scrivex {

int FindMatchingFiles(const std::string& pattern, std::vector<std::string>* list) {
  platform::PathParts parts = platform::SplitPath(pattern);
  std::vector<platform::DirEntry> entries = platform::FindFiles(pattern);
  std::sort(
      entries.begin(), entries.end(),
      [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
  for (const platform::DirEntry& entry : entries) {
    std::string path = parts.drive + parts.dir + entry.name;
    if (platform::FileExists(path) && !platform::IsDirectory(path)) list->push_back(path);
  }
  return static_cast<int>(list->size());
}

bool IsPageFileOf(const std::string& fileName, const std::string& outputPath) {
  platform::PathParts output = platform::SplitPath(outputPath);
  platform::PathParts file = platform::SplitPath(fileName);
  if (!platform::EqualsNoCase(file.ext, output.ext)) return false;
  if (file.name == output.name) return true;
  const std::string prefix = output.name + "_";
  if (file.name.size() <= prefix.size() || file.name.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  return std::all_of(file.name.begin() + prefix.size(), file.name.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::vector<std::string> ListPageFiles(const std::string& outputPath) {
  platform::PathParts parts = platform::SplitPath(outputPath);
  std::vector<std::string> matches;
  FindMatchingFiles(platform::MakePath(parts.drive, parts.dir, parts.name + "*", parts.ext),
                    &matches);
  // The wildcard also finds unrelated names (outline.tif for out.tif): keep
  // only what belongs to this output.
  std::erase_if(matches, [&](const std::string& path) { return !IsPageFileOf(path, outputPath); });
  return matches;
}

bool ReplacePageSeries(const std::vector<std::string>& stagedPages, const std::string& outputPath,
                       std::string* why, std::vector<std::string>* placedPages) {
  platform::PathParts out = platform::SplitPath(outputPath);
  std::vector<std::string> old = ListPageFiles(outputPath);
  std::vector<std::string> placed;
  // Every name is checked before the first page moves: a refused one leaves
  // the earlier series whole.
  for (const std::string& page : stagedPages) {
    platform::PathParts p = platform::SplitPath(page);
    if (!platform::CheckOutputTarget(platform::MakePath(out.drive, out.dir, p.name, p.ext), why)) {
      return false;
    }
  }
  for (const std::string& page : stagedPages) {
    platform::PathParts p = platform::SplitPath(page);
    std::string target = platform::MakePath(out.drive, out.dir, p.name, p.ext);
    // Written by a child: on the disk before it takes a page's name.
    if (!platform::SyncFile(page)) {
      *why = "cannot write " + target;
      return false;
    }
    if (!platform::MoveFileReplace(page, target, why)) return false;
    placed.push_back(target);
  }
  for (const std::string& page : old) {
    if (std::find(placed.begin(), placed.end(), page) == placed.end()) platform::RemoveFile(page);
  }
  if (placedPages) *placedPages = std::move(placed);
  return true;
}

bool NeedsTiffRecompression(int colorBits, int tiffCompression) {
  switch (colorBits) {
    case 0:
    case 8:
    case 24:
      return true;
    case 1:
      switch (tiffCompression) {
        case 1:
        case 3:
        case 32773:
        case 88880:
        case 88881:
        case 88882:
        case 88883:
        case 88884:
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

int PostProcessImages(const std::string& outputPath, int colorBits, int tiffCompression,
                      int singleFile, int resolutionX, int resolutionY, std::string* why) {
  std::vector<std::string> files;
  std::string probe;
  if (singleFile) {
    // A one-file output that was not written is a failure, whatever its type.
    probe = outputPath;
    if (platform::IsRegularFile(outputPath)) files.push_back(outputPath);
  } else {
    platform::PathParts parts = platform::SplitPath(outputPath);
    probe = platform::MakePath(parts.drive, parts.dir, parts.name + "_0001", parts.ext);
    files = ListPageFiles(outputPath);
  }
  return FinishImageFiles(files, probe, colorBits, tiffCompression, resolutionX, resolutionY, why);
}

int FinishImageFiles(const std::vector<std::string>& files, const std::string& reportedName,
                     int colorBits, int tiffCompression, int resolutionX, int resolutionY,
                     std::string* why, const ProgressSink& progress) {
  if (files.empty()) return 0;
  if (InvokeProgressCallback(reportedName, "Processing image files...", 0) == 0) return 1;

  int result = 1;
  bool isTiff =
      platform::HasExtension(reportedName, ".tiff") || platform::HasExtension(reportedName, ".tif");
  if (isTiff && NeedsTiffRecompression(colorBits, tiffCompression)) {
    // Every file must make it, not only the last. A file a page counts its
    // files; one file, its pages.
    const int count = static_cast<int>(files.size());
    for (int i = 0; i < count; ++i) {
      if (count > 1) ReportPage(progress, kWritingTiffStage, i + 1, count);
      if (RecompressTiffFile(files[i], tiffCompression, resolutionX, resolutionY, why,
                             count == 1 ? progress : ProgressSink{}) != 1) {
        result = 0;
      }
    }
  }
  return result;
}

}  // namespace scrivex
