#include "platform/state_root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/files.h"

namespace scrivex::platform {

namespace {
std::string EnsureDirectory(std::string dir) {
  if (dir.back() != '/') dir += '/';
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}
}  // namespace

std::string StateRoot() {
  std::string root = GetEnv("SCRIVEX_HOME");
  if (root.empty()) {
    std::string home = GetEnv("HOME");
    if (home.empty()) home = "/tmp";
    root = home + "/.local/share/scrivex";
  }
  return EnsureDirectory(root);
}

std::string RuntimeDirectory() { return EnsureDirectory(StateRoot() + "run"); }

bool WriteFileAtomically(const std::string& path, const std::string& data) {
  std::string tmp = path + ".XXXXXX";
  std::vector<char> buf(tmp.begin(), tmp.end());
  buf.push_back('\0');
  int fd = mkstemp(buf.data());
  if (fd < 0) return false;
  std::string tmpPath(buf.data());
  // Keep the mode of the file being replaced, else the usual default.
  struct stat st;
  fchmod(fd, stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0644);
  size_t done = 0;
  bool ok = true;
  while (done < data.size()) {
    ssize_t w = write(fd, data.data() + done, data.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<size_t>(w);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(tmpPath.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(tmpPath.c_str());
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *data = ss.str();
  return !in.bad();
}

}  // namespace scrivex::platform
