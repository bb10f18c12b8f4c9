// Runs the page selector over arbitrary documents with options taken from
// the input's first bytes: flags, then a range text up to the first newline.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_temp_file.h"
#include "postscript/page_selector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t flags = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string range = "1-";
  size_t newline = text.find('\n');
  if (newline != std::string::npos && newline <= 24) {
    range = text.substr(0, newline);
    text.erase(0, newline + 1);
  }
  std::string in = scrivex::fuzz::WriteScratch(
      ".in.ps", reinterpret_cast<const uint8_t*>(text.data()), text.size());
  std::string out = scrivex::fuzz::ScratchPath(".out.ps");
  std::vector<std::string> args = {"fuzz"};
  if (flags & 1) args.push_back("-e");
  if (flags & 2) args.push_back("-o");
  if (flags & 4) args.push_back("-r");
  if (!(flags & 8)) args.push_back("-q");
  args.push_back("-p" + range);
  args.push_back(in);
  args.push_back(out);
  int status = scrivex::SelectPages(args);
  // A run either completes with its output in place or leaves none.
  if (status == 0 && !std::filesystem::exists(out)) std::abort();
  if (status != 0 && std::filesystem::exists(out)) std::abort();
  std::filesystem::remove(out);
  // A second run in the same process gives the same result.
  if (flags & 16) {
    if (scrivex::SelectPages(args) != status) std::abort();
    std::filesystem::remove(out);
  }
  std::filesystem::remove(in);
  return 0;
}
