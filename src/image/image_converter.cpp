#include "image/image_converter.h"

#include "common/child_process.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// The converter runs in a box and writes a plain name of its own in a private
// folder: it would read "%d", "[...]" or "prefix:" in the output's own path as
// orders. Its file then replaces the output.
int RunConverter(std::vector<std::string> argv, const std::vector<std::string>& inputs,
                 const std::string& output, std::string* why) {
  platform::ReplacementFile staging;
  platform::StagingFolder work;
  if (!staging.Create(output, nullptr, true) || !work.CreateIn(platform::TempDirectory())) return 0;
  const std::string made = "converted" + platform::SplitPath(output).ext;
  argv.push_back(made);
  HiddenProcessOptions options;
  options.workingDirectory = work.path();
  options.confinement = platform::Confinement{};
  options.confinement->readOnly = inputs;
  options.confinement->writable = {work.path()};
  options.confinement->configuration = platform::kImageConfiguration;
  options.env = {{"TMPDIR", work.path()}, {"HOME", work.path()}};
  options.why = why;
  int exitCode = -1;
  int ran = RunHiddenProcess(argv, &exitCode, options);
  return ran == 1 && exitCode == 0 && platform::FileSize(work.path() + made) > 0 &&
                 platform::CopyFileTo(work.path() + made, staging.path(), false) && staging.Commit()
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

int RunImageConverter(const std::vector<std::string>& inputs, const std::string& output,
                      std::string* why) {
  if (inputs.empty()) return 0;
  std::vector<std::string> full;
  for (const std::string& input : inputs) full.push_back(platform::FullPath(input));
  return RunConverter(ImageConverterArguments(Converter(), full), full, output, why);
}

bool ConvertImagePage(const std::string& page, const std::string& output, std::string* why) {
  return RunConverter({Converter(), platform::FullPath(page)}, {platform::FullPath(page)}, output,
                      why) == 1;
}

}  // namespace scrivex
