// Turning one input path into the work list and naming the outputs.
#ifndef SCRIVEX_DRIVER_WORK_LIST_H_
#define SCRIVEX_DRIVER_WORK_LIST_H_

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/url.h"

namespace scrivex {

struct WorkItem {
  std::string inputPath;
  std::string outputPath;  // empty until AssignOutputNames fills it
  // A list file's entry that replaces the existing output when it is the
  // first to convert; the entries after it append.
  bool replacesOutput = false;
};
using WorkList = std::vector<WorkItem>;

int ExpandWildcard(const std::string& pattern, WorkList* list);

constexpr size_t kListLineBytes = 256;
// One line of a list file, at most 255 characters; false at the end (an
// empty line ends the list).
bool ReadListLine(std::string* line, std::FILE* file);
int ReadListFile(const std::string& listPath, const std::string& outputPath, WorkList* list);

// Builds the work list from the input path. For a list file this may change
// the output path and the existing-output mode.
void BuildWorkList(const std::string& inputPath, std::string* outputPath, int* existingOutputMode,
                   WorkList* list);

void AssignOutputNames(const std::string& outputPath, WorkList* list);

// The path with "%03d" added to its name, counting up until the name is free.
std::string MakeFreeNumberedName(const std::string& path);

// Gives the single numbered page of an output ("out_0001.tif") the output's own
// name. 1 when one page was found and moved, 0 when there is not exactly one
// page, -1 (with the reason noted) when the page could not take the name.
int RenameSinglePageOutput(const std::string& outputPath, std::string* why = nullptr);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_WORK_LIST_H_
