// File system services: attributes, moves, directory search with wildcard
// matching, and the program and temporary directories.
#ifndef SCRIVEX_PLATFORM_FILES_H_
#define SCRIVEX_PLATFORM_FILES_H_

#include <cstdio>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace scrivex::platform {

// "Has file attributes": anything that exists (file, directory, other).
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
long long FileSize(const std::string& path);  // -1 when it cannot be read

bool RemoveFile(const std::string& path);
// Fails when the target exists.
bool MoveFileNoReplace(const std::string& from, const std::string& to);
// Replaces the target; copies across file systems.
bool MoveFileReplace(const std::string& from, const std::string& to);
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);

// Replaces path with data in one step (see ReplacementFile): readers see the
// old or the new content, never a mix.
bool WriteFileAtomically(const std::string& path, const std::string& data);
bool ReadWholeFile(const std::string& path, std::string* data);

// Holds an exclusive lock on an existing file until the descriptor closes,
// waiting for other holders. A file replaced while we waited is locked anew,
// so the holder always has the file the name now points to. Invalid when the
// file cannot be opened.
UniqueFd LockExistingFile(const std::string& path);

// Name matching as the directory search does it: "*" any run, "?" one
// character, case ignored, "*.*" matches every name (also those without a dot).
bool MatchesWildcard(const std::string& pattern, const std::string& name);

struct DirEntry {
  std::string name;
  bool isDirectory = false;
};
// Entries of the pattern's directory whose names match the pattern's file-name
// part, in the order the file system returns them; never "." or "..".
std::vector<DirEntry> FindFiles(const std::string& pattern);

// Directory of the running executable, with a trailing "/".
std::string ProgramDirectory();
// $TMPDIR or /tmp, with a trailing "/".
std::string TempDirectory();
// Creates a new empty file "<dir><prefix>XXXXXX.tmp" and returns its path;
// empty on failure.
std::string CreateUniqueFile(const std::string& dir, const std::string& prefix);
// A scratch file in the temporary directory that has no name, so nothing is
// left behind however the run ends. Null on failure.
std::FILE* OpenAnonymousTempFile();

// A directory of this user that nobody else may write into.
bool IsPrivateDirectory(const std::string& dir);
// A directory this process may create files in.
bool IsWritableDirectory(const std::string& dir);
// The file system holding dir has no space left for us.
bool DiskIsFull(const std::string& dir);

std::string CurrentDirectory();
std::string GetEnv(const std::string& name);  // empty when unset

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_FILES_H_
