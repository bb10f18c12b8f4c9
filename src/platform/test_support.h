// What the unit tests share: a scratch folder with a state root of its own,
// environment variables set for one test, and whole-file reads and writes.
#ifndef SCRIVEX_PLATFORM_TEST_SUPPORT_H_
#define SCRIVEX_PLATFORM_TEST_SUPPORT_H_

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace scrivex::test {

// Environment variables set for one test; the earlier values come back at
// the end, so later tests in the same process see the original.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.try_emplace(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// A fresh folder per test (under `root` when given, else the temporary
// folder), with its own state root in "state/"; removed at the end.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& root = "") {
    std::random_device random;
    dir_ = (root.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(root)) /
           ("scrivex-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(dir_ / "state");
    env_.Set("SCRIVEX_HOME", (dir_ / "state").string());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // The folder itself with its trailing "/", or a name in it.
  std::string Path(const std::string& name = "") const { return dir_.string() + "/" + name; }
  std::string Write(const std::string& name, const std::string& data) const {
    WriteBytes(Path(name), data);
    return Path(name);
  }
  // The regular files in the folder, by name.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path dir_;
  ScopedEnv env_;
};

}  // namespace scrivex::test

#endif  // SCRIVEX_PLATFORM_TEST_SUPPORT_H_
