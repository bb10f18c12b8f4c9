// A scratch file per fuzzing process for targets that read files.
#ifndef SCRIVEX_FUZZ_FUZZ_TEMP_FILE_H_
#define SCRIVEX_FUZZ_FUZZ_TEMP_FILE_H_

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace scrivex::fuzz {

inline std::string ScratchPath(const std::string& suffix) {
  static const std::string base = [] {
    std::random_device rd;
    return (std::filesystem::temp_directory_path() /
            ("scrivex_fuzz_" + std::to_string(rd()) + "_" + std::to_string(rd())))
        .string();
  }();
  return base + suffix;
}

inline std::string WriteScratch(const std::string& suffix, const uint8_t* data, size_t size) {
  std::string path = ScratchPath(suffix);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

}  // namespace scrivex::fuzz

#endif  // SCRIVEX_FUZZ_FUZZ_TEMP_FILE_H_
