// After a producer (Ghostscript or the virtual printer) wrote an output: find
// its page files, let the progress callback stop the work, and recompress
// TIFF pages when the job asks for it.
#ifndef SCRIVEX_IMAGE_POST_PROCESS_H_
#define SCRIVEX_IMAGE_POST_PROCESS_H_

#include <string>
#include <vector>

#include "common/progress_report.h"

namespace scrivex {

// 0 when nothing was produced; otherwise 1, or the result of the last TIFF
// recompression when recompression ran. With singleFile the output itself
// must exist; without, the output and its numbered pages count. Why the
// recompression failed goes to *why.
int PostProcessImages(const std::string& outputPath, int colorBits, int tiffCompression,
                      int singleFile, int resolutionX, int resolutionY, std::string* why = nullptr);
// The same for files already listed; reportedName is what the progress
// callback sees and whose extension decides the TIFF work (a staging file's
// own name may say nothing). The pages re-encoded are reported to `progress`.
int FinishImageFiles(const std::vector<std::string>& files, const std::string& reportedName,
                     int colorBits, int tiffCompression, int resolutionX, int resolutionY,
                     std::string* why = nullptr, const ProgressSink& progress = {});

// Appends the existing files (not directories) matching a wildcard pattern to
// list, sorted by name so numbered pages keep their order; returns the list's
// length.
int FindMatchingFiles(const std::string& pattern, std::vector<std::string>* list);

// True for the output's own file name and its numbered pages: the base name,
// "_", one or more digits, and the extension.
bool IsPageFileOf(const std::string& fileName, const std::string& outputPath);
// The output's existing page files (the output itself included), by name.
std::vector<std::string> ListPageFiles(const std::string& outputPath);

// Moves finished page files (named as the output's pages, in a staging
// folder beside it) into place; the output's earlier pages that the new
// series does not have are removed, so the series is this run's alone.
// False with *why set when a page cannot be moved. The pages' new names go
// to *placed when given, in order.
bool ReplacePageSeries(const std::vector<std::string>& stagedPages, const std::string& outputPath,
                       std::string* why, std::vector<std::string>* placed = nullptr);

// Whether a TIFF of this depth and compression is re-encoded after rendering.
bool NeedsTiffRecompression(int colorBits, int tiffCompression);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_POST_PROCESS_H_
