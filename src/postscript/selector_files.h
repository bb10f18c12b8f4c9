// Input and output files of one page-selector run, released on every path.
#ifndef SCRIVEX_POSTSCRIPT_SELECTOR_FILES_H_
#define SCRIVEX_POSTSCRIPT_SELECTOR_FILES_H_

#include <cstdio>
#include <string>

#include "postscript/byte_reader.h"

namespace scrivex {

// Opens a new file that did not exist, named `stem` plus a unique suffix,
// for binary reading and writing. Null when none could be made.
std::FILE* OpenNewUniqueFile(const std::string& stem, std::string* path);

// Makes `in` seekable: a regular file is used as it is; anything else (a pipe,
// a terminal) is copied to an unnamed temporary file, which is read instead.
// `isRegular` tells which case applies. False when the copy failed.
bool MakeSeekable(ByteReader& in, bool isRegular);

bool PathExists(const std::string& path);

// Whether `path` (after following links) is a regular file.
bool IsRegularPath(const std::string& path);

// The selector's output. A named regular file is written under a temporary
// name beside it and renamed over it by Commit, so a failed run never leaves
// a partial file and never destroys an existing one.
struct SelectorOutput {
  std::FILE* stream = nullptr;
  bool owned = false;
  std::string path;              // the name the user gave, empty for standard output
  std::string tempPath;          // where the data goes until Commit
  bool removeOnFailure = false;  // a direct write to a file that did not exist
  bool committed = false;

  SelectorOutput() = default;
  SelectorOutput(const SelectorOutput&) = delete;
  SelectorOutput& operator=(const SelectorOutput&) = delete;
  ~SelectorOutput();
};

bool OpenSelectorOutput(const std::string& path, SelectorOutput* out);
void UseStandardOutput(SelectorOutput* out);
// Flushes and closes the stream and moves the file into place. False on any error.
bool CommitSelectorOutput(SelectorOutput* out);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_SELECTOR_FILES_H_
