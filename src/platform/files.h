// File system services: attributes, moves, directory search with wildcard
// matching, and the program and temporary directories.
#ifndef SCRIVEX_PLATFORM_FILES_H_
#define SCRIVEX_PLATFORM_FILES_H_

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace scrivex::platform {

// "Has file attributes": anything that exists (file, directory, other).
bool FileExists(const std::string& path);
// Anything by that name, a link to nowhere too.
bool EntryExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
long long FileSize(const std::string& path);  // -1 when it cannot be read

bool RemoveFile(const std::string& path);
// Fails when the target exists.
bool MoveFileNoReplace(const std::string& from, const std::string& to);
// Replaces the target; copies across file systems. A target refused by
// ResolveOutputTarget (another account's link, a FIFO, ...) is not touched.
// False with *why set on failure.
bool MoveFileReplace(const std::string& from, const std::string& to, std::string* why = nullptr);
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);

// Replaces path with data in one step (see ReplacementFile): readers see the
// old or the new content, never a mix.
bool WriteFileAtomically(const std::string& path, const std::string& data);
bool ReadWholeFile(const std::string& path, std::string* data);

// Holds an exclusive lock on an existing file until the descriptor closes,
// waiting for other holders. A file replaced while we waited is locked anew,
// so the holder always has the file the name now points to. Invalid when the
// file cannot be opened or is not a regular file.
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

// The program directory, with a trailing "/": that of the running executable,
// or of libscrivex.so in a program that loaded it; for the printer drivers
// (printers/) and the text printer (windows/system32/), the one they live in.
std::string ProgramDirectory();
// The settings file, config.ini: the one in the program directory when it
// exists (a build, a private install, an administrator's own copy), else the
// system's kSystemConfigFile when the package installed it, else again the
// one in the program directory, where settings written back create it.
std::string ConfigFile();
// That choice between the two given files.
std::string ChooseConfigFile(const std::string& besideProgram, const std::string& system);
inline constexpr char kSystemConfigFile[] = "/etc/scrivex/config.ini";
// The running executable's own file (links resolved); empty when unknown.
std::string ExecutableFile();
// $TMPDIR or /tmp, with a trailing "/".
std::string TempDirectory();
// The temporary folder a TMPDIR value names, as TempDirectory makes it.
std::string TempDirectoryOf(std::string tmpdir);
// Creates a new empty file "<dir><prefix>XXXXXX.tmp" and returns its path;
// empty on failure.
std::string CreateUniqueFile(const std::string& dir, const std::string& prefix);
// A scratch file in the temporary directory that has no name, so nothing is
// left behind however the run ends. Null on failure.
std::FILE* OpenAnonymousTempFile();

// Walks the tree below root, links followed, each directory once, at most
// maxDepth levels down: onDirectory(path relative to root, "." for root;
// modification time in ns) for each directory, then, in name order, onFile
// (path, whether it lies in root itself) for its files and the walk of its
// subdirectories.
void WalkDirectoryTree(
    const std::string& root, int maxDepth,
    const std::function<void(const std::string& relative, long long mtimeNs)>& onDirectory,
    const std::function<void(const std::string& path, bool atTop)>& onFile);
// Modification time in nanoseconds and size; false when there is no such file.
bool FileTimeAndSize(const std::string& path, long long* mtimeNs, long long* size);
// Makes a new private folder "<parent><prefix>XXXXXX"; empty on failure.
std::string CreateUniqueDirectory(const std::string& parent, const std::string& prefix);
// Reads size bytes at offset; false when the file holds fewer.
bool ReadFileAt(const std::string& path, long long offset, void* buffer, size_t size);
// Flushes the file's content to the disk.
bool SyncFile(const std::string& path);

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
