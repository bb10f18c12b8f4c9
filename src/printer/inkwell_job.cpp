#include "printer/inkwell_job.h"

#include <cstdlib>
#include <sstream>

#include "common/failure_reason.h"
#include "image/post_process.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/replacement_file.h"
#include "printer/metafile_pages.h"
#include "render/ps_to_image.h"

namespace scrivex {
namespace {

// "-compress Group4 -density 204x196": the job code of the coding, and the
// resolution when one is given.
void ReadEncoderArguments(const std::string& text, InkwellJob* job) {
  static const struct {
    const char* name;
    int code;
  } kCodings[] = {{"none", 1}, {"rle", 2},  {"fax", 3},         {"group4", 4},
                  {"lzw", 5},  {"jpeg", 7}, {"lossless", 32773}};
  std::istringstream words(text);
  std::string word, value;
  while (words >> word) {
    if (!(words >> value)) break;
    if (word == "-compress") {
      for (const auto& coding : kCodings) {
        if (platform::EqualsNoCase(value, coding.name)) job->tiffCompression = coding.code;
      }
    } else if (word == "-density") {
      std::sscanf(value.c_str(), "%dx%d", &job->resolutionX, &job->resolutionY);
    } else if (word == "-quality") {
      job->jpegQuality = std::atoi(value.c_str());
    }
  }
}

// Types that hold every page in one file, unless pages are asked for.
bool HoldsAllPages(const std::string& path) {
  for (const char* ext : {".pdf", ".tif", ".tiff", ".ps", ".dcx", ".mng"}) {
    if (platform::HasExtension(path, ext)) return true;
  }
  return false;
}

std::string PageName(const std::string& path, int page) {
  platform::PathParts parts = platform::SplitPath(path);
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_%04d", page);
  return platform::MakePath(parts.drive, parts.dir, parts.name + suffix, parts.ext);
}

bool Render(const std::string& stream, const std::string& output, const InkwellJob& job, int page,
            std::string* why, const ProgressSink& progress = {}) {
  ImageRequest request;
  request.input = stream;
  request.output = output;
  request.width = static_cast<float>(job.width);
  request.height = static_cast<float>(job.height);
  request.resolutionX = static_cast<float>(job.resolutionX);
  request.resolutionY = static_cast<float>(job.resolutionY);
  request.tiffCompression = job.tiffCompression;
  request.firstPage = request.lastPage = page;
  request.jpegQuality = job.jpegQuality;
  request.colorBits = job.colorBits;
  request.grayscale = job.grayscale;
  request.progress = progress;
  return ConvertPsToImage(request, why) == 1;
}

}  // namespace

InkwellJob ReadInkwellJob(const std::string& ini) {
  auto get = [&](const char* section, const char* key, const char* fallback) {
    return platform::GetProfileString(ini, section, key, fallback);
  };
  InkwellJob job;
  job.autoSave = get("AutoSave", "IsAutoSave", "0") == "1";
  job.outputFile = get("AutoSave", "OutputFile", "");
  job.announce = platform::EqualsNoCase(get("AutoSave", "FinishedMessageType", ""), "FileMapping");
  job.filePerPage = get("AutoSaveOptions", "m_bCreateFileForEachPage", "0") == "1";
  job.colorBits = std::atoi(get("AutoSaveOptions", "m_strColorDepth", "24").c_str());
  std::sscanf(get("AutoSaveOptions", "m_strResolution", "300x300").c_str(), "%dx%d",
              &job.resolutionX, &job.resolutionY);
  if (get("AutoSaveOptions", "bSpecifyWidthHeight", "0") == "1") {
    std::sscanf(get("AutoSaveOptions", "strWidthAndHeight", "").c_str(), "%dx%d", &job.width,
                &job.height);
  }
  job.grayscale = get("AutoSaveOptions", "m_bGrayscale", "0") == "1";
  if (platform::HasExtension(job.outputFile, ".tif") ||
      platform::HasExtension(job.outputFile, ".tiff")) {
    ReadEncoderArguments(get("AutoSaveOptions", ".tif", ""), &job);
  }
  ReadEncoderArguments(get("AutoSaveOptions", ".jpg", ""), &job);
  return job;
}

std::string CutNameAtPercent(const std::string& path) {
  platform::PathParts parts = platform::SplitPath(path);
  size_t percent = parts.name.find('%');
  if (percent == std::string::npos) return path;
  return platform::MakePath(parts.drive, parts.dir, parts.name.substr(0, percent), parts.ext);
}

bool WriteInkwellJob(const std::string& stream, const InkwellJob& job,
                     std::vector<std::string>* written, std::string* why,
                     const ProgressSink& progress) {
  written->clear();
  const std::string output = CutNameAtPercent(job.outputFile);
  if (output.empty()) {
    *why = "the job names no output file";
    return false;
  }
  if (platform::HasExtension(output, ".emf") || platform::HasExtension(output, ".wmf")) {
    return WriteMetafilePages(stream, output, written, why);  // one page per metafile
  }
  why->clear();
  if (job.filePerPage && HoldsAllPages(output)) {
    int pages = CountPdfPages(stream, true, why);
    if (pages <= 0) {
      if (pages == 0) *why = "the print stream has no pages";
      return false;
    }
    for (int page = 1; page <= pages; ++page) {
      ReportPage(progress, "rendering", page, pages);
      std::string name = PageName(output, page);
      if (!Render(stream, name, job, page, why)) {
        if (why->empty()) *why = "page " + std::to_string(page) + " failed";
        return false;
      }
      written->push_back(name);
    }
    return true;
  }
  if (platform::HasExtension(output, ".pdf")) {
    // The application's pages as it printed them.
    platform::ReplacementFile copy;
    if (!copy.Create(output, why) || !platform::CopyFileTo(stream, copy.path(), false) ||
        !copy.Commit(why)) {
      if (why->empty()) *why = "cannot write " + output;
      return false;
    }
    written->push_back(output);
    return true;
  }
  if (!Render(stream, output, job, -1, why, progress)) {
    if (why->empty()) *why = "nothing was rendered";
    return false;
  }
  *written = HoldsAllPages(output) ? std::vector<std::string>{output} : ListPageFiles(output);
  return true;
}

}  // namespace scrivex
