#include "postscript/selector_files.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <vector>

namespace scrivex {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> g_uniqueCounter{0};

std::string UniqueSuffix(unsigned attempt) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long x =
      ticks * 6364136223846793005ULL + g_uniqueCounter++ * 1442695040888963407ULL + attempt;
  std::string s = ".";
  for (int i = 0; i < 6; ++i) {
    s.push_back(kChars[x % 36]);
    x /= 36;
  }
  return s + "~";
}

}  // namespace

std::FILE* OpenNewUniqueFile(const std::string& stem, std::string* path) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = stem + UniqueSuffix(attempt);
    // "x": fails when the name exists, so no other file is ever taken over.
    std::FILE* f = std::fopen(candidate.c_str(), "w+bx");
    if (f != nullptr) {
      *path = candidate;
      return f;
    }
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(candidate, ec))) return nullptr;  // not a name clash
  }
  return nullptr;
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool IsRegularPath(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::status(path, ec));
}

bool MakeSeekable(ByteReader& in, bool isRegular) {
  if (isRegular) return in.Rewind();
  std::error_code ec;
  fs::path dir = fs::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  std::string tempPath;
  std::FILE* copy = OpenNewUniqueFile((dir / "psselect").string(), &tempPath);
  if (copy == nullptr) return false;
  // Unnamed from the start: nothing is left behind, however the run ends.
  fs::remove(tempPath, ec);
  std::vector<char> block(64 * 1024);
  bool ok = true;
  for (;;) {
    size_t n = in.Read(block.data(), block.size());
    if (n > 0 && std::fwrite(block.data(), 1, n, copy) != n) ok = false;
    if (!ok || n < block.size()) break;
  }
  if (in.Failed()) ok = false;
  in.Close();
  if (ok && std::fflush(copy) != 0) ok = false;
  if (!ok) {
    std::fclose(copy);
    return false;
  }
  std::rewind(copy);
  in.Adopt(copy);
  return true;
}

SelectorOutput::~SelectorOutput() {
  if (stream != nullptr && owned) std::fclose(stream);
  stream = nullptr;
  if (committed) return;
  std::error_code ec;
  if (!tempPath.empty()) fs::remove(tempPath, ec);
  if (removeOnFailure && !path.empty()) fs::remove(path, ec);
}

bool OpenSelectorOutput(const std::string& path, SelectorOutput* out) {
  out->path = path;
  std::error_code ec;
  fs::file_status link = fs::symlink_status(path, ec);
  bool exists = fs::exists(link);
  if (!exists || fs::is_regular_file(link)) {
    out->stream = OpenNewUniqueFile(path, &out->tempPath);
    if (out->stream != nullptr) {
      out->owned = true;
      return true;
    }
  }
  // Links, devices and pipes are written directly, as is a file in a
  // directory where no temporary name can be made.
  out->stream = std::fopen(path.c_str(), "wb");
  if (out->stream == nullptr) return false;
  out->owned = true;
  out->removeOnFailure = !exists;
  return true;
}

void UseStandardOutput(SelectorOutput* out) {
  out->stream = stdout;
  out->owned = false;
}

bool CommitSelectorOutput(SelectorOutput* out) {
  bool ok = std::fflush(out->stream) == 0 && !std::ferror(out->stream);
  if (out->owned) {
    ok = std::fclose(out->stream) == 0 && ok;
    out->stream = nullptr;
  }
  if (!ok) return false;
  if (!out->tempPath.empty()) {
    std::error_code ec;
    fs::rename(out->tempPath, out->path, ec);
    if (ec) return false;
    out->tempPath.clear();
  }
  out->committed = true;
  return true;
}

}  // namespace scrivex
