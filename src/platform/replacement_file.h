// The one way a file is replaced: the new content goes to a fresh file beside
// the target, written by us or by a child, and only a complete, synced file is
// renamed over the target. A file that is not committed is removed, so a
// failure on any path leaves the target exactly as it was.
#ifndef SCRIVEX_PLATFORM_REPLACEMENT_FILE_H_
#define SCRIVEX_PLATFORM_REPLACEMENT_FILE_H_

#include <cstdio>
#include <optional>
#include <string>

namespace scrivex::platform {

// Staging files are hidden and carry their owner's process id:
// ".scrivex-<pid>-XXXXXX.tmp" (or the target's extension instead of ".tmp").
constexpr const char* kStagingPrefix = ".scrivex-";

class ReplacementFile {
 public:
  ReplacementFile() = default;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile() { Discard(); }

  // Creates an empty file beside target that no other process has. A target
  // that is a link of ours is replaced at the link's end. keepExtension ends
  // the name in the target's extension, for writers that pick the format by
  // it. False with *error set when the target is refused (another account's
  // link, a directory or another non-regular file: see ResolveOutputTarget)
  // or its folder takes no new file.
  bool Create(const std::string& target, std::string* error = nullptr, bool keepExtension = false);

  const std::string& path() const { return path_; }      // where the content goes
  const std::string& target() const { return target_; }  // what it will replace
  int fd() const { return fd_; }
  // Buffered writing through fd(); owned by this object.
  std::FILE* Stream();

  // Flushes, syncs and renames the file over the target (keeping an existing
  // target's permission bits). Also works when a child wrote or replaced
  // path() by name. False with *error set, and the file removed, on failure.
  bool Commit(std::string* error = nullptr);
  // Removes the file unless it was committed.
  void Discard();

 private:
  bool CloseOwn();
  std::string path_;
  std::string target_;
  int fd_ = -1;
  std::FILE* stream_ = nullptr;
};

// A hidden folder beside a target for files that move into place together
// (a series of page files); removed with everything in it at the end.
class StagingFolder {
 public:
  StagingFolder() = default;
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder();
  // In the folder of target. False with *error set when none can be made.
  bool Create(const std::string& target, std::string* error = nullptr);
  // In `folder` itself (with its trailing "/"), e.g. the temporary folder:
  // private to this process, so nobody can plant a file or a link in it.
  bool CreateIn(const std::string& folder, std::string* error = nullptr);
  const std::string& path() const { return path_; }  // with its trailing "/"

 private:
  std::string path_;
};

// The run's own temporary folder: a staging folder in the temporary folder
// that becomes TMPDIR for the program and every child, so that a job's
// print streams, the office's sockets and every other scratch file live in
// it. It goes at the end, and after a kill -9 with the next run's sweep.
class PrivateTempFolder {
 public:
  PrivateTempFolder();
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;
  ~PrivateTempFolder();
  // TMPDIR as it was before (nullopt: unset), for a run handed to another account.
  static std::optional<std::string> OriginalValue();
  // The temporary folder as it was before, with its trailing "/": where
  // things the user put in it are looked for.
  static std::string OriginalDirectory();

 private:
  StagingFolder folder_;
  bool entered_ = false;
};

// Removes our staging files and folders in `folder` whose owners no longer
// run (a killed run leaves them); other accounts' entries are left alone. Looks at each folder once
// per process.
void RemoveStaleStaging(const std::string& folder);

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_REPLACEMENT_FILE_H_
