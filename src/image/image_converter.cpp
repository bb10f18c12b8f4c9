#include "image/image_converter.h"

#include "common/child_process.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// The converter writes a fresh name of our own beside the output and runs in
// the output's folder, so it sees only that plain relative name: it would
// read "%d", "[...]" or "prefix:" in the output's own path as orders.
int RunConverter(std::vector<std::string> argv, const std::string& output) {
  platform::ReplacementFile staging;
  if (!staging.Create(output, nullptr, true)) return 0;
  platform::PathParts parts = platform::SplitPath(staging.path());
  argv.push_back(parts.name + parts.ext);
  HiddenProcessOptions options;
  options.workingDirectory = parts.dir.empty() ? "." : parts.dir;
  int exitCode = -1;
  int ran = RunHiddenProcess(argv, &exitCode, options);
  return ran == 1 && exitCode == 0 && platform::FileSize(staging.path()) > 0 && staging.Commit()
             ? 1
             : 0;
}

std::string Converter() { return LocateImageConverter(kImageConverterName, true); }

}  // namespace

std::string LocateImageConverter(const std::string& fileName, bool mustExist) {
  std::string path = platform::ProgramDirectory() + fileName;
  if (mustExist && !platform::FileExists(path)) return fileName;
  return path;
}

std::vector<std::string> ImageConverterArguments(const std::string& converter,
                                                 const std::vector<std::string>& inputs) {
  std::vector<std::string> argv = {converter, "-limit", "memory", "128", "-limit", "map", "512"};
  argv.insert(argv.end(), inputs.begin(), inputs.end());
  return argv;
}

int RunImageConverter(const std::vector<std::string>& inputs, const std::string& output) {
  if (inputs.empty()) return 0;
  std::vector<std::string> full;
  for (const std::string& input : inputs) full.push_back(platform::FullPath(input));
  return RunConverter(ImageConverterArguments(Converter(), full), output);
}

bool ConvertImagePage(const std::string& page, const std::string& output) {
  return RunConverter({Converter(), platform::FullPath(page)}, output) == 1;
}

}  // namespace scrivex
