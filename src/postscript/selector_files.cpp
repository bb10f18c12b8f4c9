#include "postscript/selector_files.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/files.h"

namespace scrivex {

namespace fs = std::filesystem;

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
  std::FILE* copy = platform::OpenAnonymousTempFile();
  if (copy == nullptr) return false;
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
  if (ownsStream && stream != nullptr) std::fclose(stream);
}

bool OpenSelectorOutput(const std::string& path, SelectorOutput* out) {
  out->path = path;
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status) || fs::is_regular_file(status)) {
    if (!out->replacement.Create(path)) return false;
    out->stream = out->replacement.Stream();
    return out->stream != nullptr;
  }
  if (fs::is_directory(status)) return false;
  out->stream = std::fopen(path.c_str(), "wb");
  out->ownsStream = out->stream != nullptr;
  return out->ownsStream;
}

void UseStandardOutput(SelectorOutput* out) { out->stream = stdout; }

bool CommitSelectorOutput(SelectorOutput* out) {
  if (!out->replacement.path().empty()) {
    out->stream = nullptr;
    return out->replacement.Commit();
  }
  bool ok = std::fflush(out->stream) == 0 && !std::ferror(out->stream);
  if (out->ownsStream) {
    ok = std::fclose(out->stream) == 0 && ok;
    out->ownsStream = false;
    out->stream = nullptr;
  }
  return ok;
}

}  // namespace scrivex
