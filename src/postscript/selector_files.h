// Input and output files of one page-selector run, released on every path.
#ifndef SCRIVEX_POSTSCRIPT_SELECTOR_FILES_H_
#define SCRIVEX_POSTSCRIPT_SELECTOR_FILES_H_

#include <cstdio>
#include <string>

#include "platform/replacement_file.h"
#include "postscript/byte_reader.h"

namespace scrivex {

// Makes `in` seekable: a regular file is used as it is; anything else (a pipe,
// a terminal) is copied to an unnamed temporary file, which is read instead.
// `isRegular` tells which case applies. False when the copy failed.
bool MakeSeekable(ByteReader& in, bool isRegular);

bool PathExists(const std::string& path);

// Whether `path` (after following links) is a regular file.
bool IsRegularPath(const std::string& path);

// The selector's output. A file is written as a replacement that takes its
// place only when committed, so a failed run never leaves a partial file and
// never destroys an existing one. Devices and pipes are written directly.
struct SelectorOutput {
  std::FILE* stream = nullptr;
  std::string path;  // the name the user gave, empty for standard output
  platform::ReplacementFile replacement;
  bool ownsStream = false;  // a device or pipe we opened

  SelectorOutput() = default;
  SelectorOutput(const SelectorOutput&) = delete;
  SelectorOutput& operator=(const SelectorOutput&) = delete;
  ~SelectorOutput();
};

bool OpenSelectorOutput(const std::string& path, SelectorOutput* out);
void UseStandardOutput(SelectorOutput* out);
// Flushes the stream and moves the file into place. False on any error.
bool CommitSelectorOutput(SelectorOutput* out);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_SELECTOR_FILES_H_
