#include "printer/metafile_pages.h"

#include <cstring>

#include "common/child_process.h"
#include "common/failure_reason.h"
#include "common/temp_files.h"
#include "image/post_process.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// An EMF starts with its header record, " EMF" at byte 40; a WMF with the
// placeable header's key or a plain header.
bool IsMetafile(const std::string& path, bool emf) {
  unsigned char head[44] = {};
  if (!platform::ReadFileAt(path, 0, head, sizeof head)) return false;
  if (emf) return head[0] == 1 && std::memcmp(head + 40, " EMF", 4) == 0;
  return (head[0] == 0xD7 && head[1] == 0xCD && head[2] == 0xC6 && head[3] == 0x9A) ||
         ((head[0] == 1 || head[0] == 2) && head[1] == 0 && head[2] == 9 && head[3] == 0);
}

}  // namespace

bool WriteMetafilePages(const std::string& stream, const std::string& output,
                        std::vector<std::string>* written, std::string* why) {
  written->clear();
  const bool emf = platform::HasExtension(output, ".emf");
  const std::string type = emf ? "emf" : "wmf";
  platform::PathParts out = platform::SplitPath(output);
  // The pages, one PDF each, are named as the output's pages so the office
  // program's files come out with the right names; its profile is private
  // to this job, else a running office would take the work.
  platform::StagingFolder work, pages;
  std::string scratch = platform::TempDirectory();
  if (!work.Create(scratch + "x", why) || !pages.Create(output, why)) return false;
  std::vector<std::string> split;
  auto pageName = [&](int n) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%04d", n);
    return work.path() + out.name + suffix + ".pdf";
  };
  if (!SplitPdfPages(stream, pageName, &split, why)) return false;
  if (split.empty()) {
    *why = "the print stream has no pages";
    return false;
  }
  std::vector<std::string> argv = {"soffice",
                                   "--headless",
                                   "-env:UserInstallation=file://" + work.path() + "profile",
                                   "--infilter=draw_pdf_import",
                                   "--convert-to",
                                   type,
                                   "--outdir",
                                   pages.path()};
  argv.insert(argv.end(), split.begin(), split.end());
  // The pages came from a document: the office reads them in a box that
  // sees only its two folders.
  HiddenProcessOptions options;
  options.confinement = platform::Confinement{};
  options.confinement->writable = {work.path(), pages.path()};
  options.confinement->configuration = platform::kOfficeConfiguration;
  options.env = {{"TMPDIR", work.path()}, {"HOME", work.path()}};
  std::string failed;
  options.why = &failed;
  int exitCode = -1;
  if (RunHiddenProcess(argv, &exitCode, options) != 1) {
    *why = failed.empty() ? "the office suite's drawing program is not installed" : failed;
    return false;
  }
  // Its exit code says nothing: every page must be there, a real metafile.
  std::vector<std::string> made;
  for (const std::string& page : split) {
    platform::PathParts p = platform::SplitPath(page);
    std::string metafile = pages.path() + p.name + "." + type;
    if (!IsMetafile(metafile, emf)) {
      *why = "page " + std::to_string(made.size() + 1) + " was not exported as " + type;
      return false;
    }
    made.push_back(metafile);
  }
  if (!ReplacePageSeries(made, output, why)) return false;
  for (const std::string& page : made) {
    platform::PathParts p = platform::SplitPath(page);
    written->push_back(platform::MakePath(out.drive, out.dir, p.name, p.ext));
  }
  return true;
}

}  // namespace scrivex
