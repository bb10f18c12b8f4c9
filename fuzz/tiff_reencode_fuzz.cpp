// Damaged TIFFs through re-encoding, in-place recompression and blank-page
// removal: each must end with a result, never a crash.
#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "image/blank_pages.h"
#include "image/tiff_page.h"
#include "image/tiff_recompress.h"

namespace {

// A folder of its own for the run, removed when the process ends.
struct ScratchFolder {
  std::filesystem::path path;
  ScratchFolder() {
    std::random_device rd;
    path = std::filesystem::temp_directory_path() /
           ("scrivex-tiff-fuzz-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

const std::filesystem::path& ScratchDir() {
  static const ScratchFolder folder;
  return folder.path;
}

// Huge pages are refused by the code (above kMaxTiffPagePixels) or merely
// slow; the fuzzer's time is better spent on small damaged ones.
bool HasHugePage(const std::string& path) {
  auto file = scrivex::OpenTiff(path, "r");
  int count = scrivex::CountTiffPages(*file);
  for (int i = 0; i < count && i < 64; ++i) {
    if (!TIFFSetDirectory(file->handle, static_cast<tdir_t>(i))) return false;
    uint32_t width = 0, height = 0;
    TIFFGetField(file->handle, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(file->handle, TIFFTAG_IMAGELENGTH, &height);
    if (static_cast<uint64_t>(width) * height > (1u << 22)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int kCodes[] = {0, 1, 3, 4, 5, 7, 32773, 88884};
  unsigned sum = 0;
  for (size_t i = 0; i < size; ++i) sum += data[i];
  int code = kCodes[sum % 8];
  // Fax pages are always 1728 pixels wide, slow for tiny inputs: only now and then.
  if (sum % 29 == 0) code = 88880 + static_cast<int>(sum / 29 % 4);

  const auto& dir = ScratchDir();
  std::string input = (dir / "in.tif").string();
  std::string output = (dir / "out.tif").string();
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), size);

  if (HasHugePage(input)) return 0;
  scrivex::ReencodeTiffPages(input, output, code, sum % 3 == 0 ? 0 : 150, 0);
  scrivex::RemoveBlankTiffPages(input, output, nullptr);
  scrivex::RecompressTiffFile(input, code, 0, 0);

  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    std::filesystem::remove(e.path(), ec);
  }
  return 0;
}
