// Helpers for the PostScript tests: scratch files and small DSC documents.
#ifndef SCRIVEX_POSTSCRIPT_PS_TEST_UTIL_H_
#define SCRIVEX_POSTSCRIPT_PS_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace scrivex::testing_util {

// A fresh directory per test (in `root` when given), removed afterwards.
class ScratchDir {
 public:
  explicit ScratchDir(const std::filesystem::path& root = {}) {
    dir_ = (root.empty() ? std::filesystem::temp_directory_path() : root) /
           ("ps_test_" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(dir_);
  }
  ~ScratchDir() { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
    return Path(name);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir_)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

 private:
  std::filesystem::path dir_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What `f` writes on standard error.
template <class F>
std::string StderrOf(F&& f) {
  ::testing::internal::CaptureStderr();
  f();
  return ::testing::internal::GetCapturedStderr();
}

// A DSC document: header, prolog, setup, `pages` pages labelled "(Lp)" with
// body "body p", and a trailer.
inline std::string MakeDocument(int pages, const std::string& extraProlog = "") {
  std::ostringstream s;
  s << "%!PS-Adobe-3.0\n%%Title: test\n%%Pages: " << pages << "\n%%EndComments\n";
  s << "%%BeginProlog\n/prolog-line true def\n" << extraProlog << "%%EndProlog\n";
  s << "%%BeginSetup\nsetup-line\n%%EndSetup\n";
  for (int p = 1; p <= pages; ++p) {
    s << "%%Page: (L" << p << ") " << p << "\nbody " << p << "\nshowpage\n";
  }
  s << "%%Trailer\n%%Pages: " << pages << "\n%%EOF\n";
  return s.str();
}

// The "body N" lines of an output, as the page numbers N, in order.
inline std::vector<int> BodyPages(const std::string& text) {
  std::vector<int> pages;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("body ", 0) == 0) pages.push_back(std::stoi(line.substr(5)));
  }
  return pages;
}

}  // namespace scrivex::testing_util

#endif  // SCRIVEX_POSTSCRIPT_PS_TEST_UTIL_H_
