#include "servers/office_bridge.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>

#include "common/child_process.h"
#include "common/failure_reason.h"
#include "common/trace.h"
#include "pdf/pdf_document.h"
#include "platform/background_child.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "platform/state_root.h"

namespace scrivex {
namespace {

// The python that has the office's uno module; a python of the user's own
// (first in PATH) usually has not.
constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kHelperScript = "office_bridge.py";
constexpr const char* kUsualOfficeDir = "/usr/lib/libreoffice/program/";
constexpr long long kQuitWaitMs = 5000;

// The office's own program beside the "soffice" found in PATH (through its
// links), else in the usual place; empty when there is none. Started
// directly, it is the helper's child and dies with it.
std::string OfficeProgram() {
  const std::string path = platform::GetEnv("PATH");
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::error_code ec;
    std::filesystem::path real =
        std::filesystem::canonical(path.substr(start, end - start) + "/soffice", ec);
    std::string program = real.parent_path().string() + "/soffice.bin";
    if (!ec && platform::IsRegularFile(program)) return program;
    start = end + 1;
  }
  std::string usual = std::string(kUsualOfficeDir) + "soffice.bin";
  return platform::IsRegularFile(usual) ? usual : "";
}

// The office's installation when it lies outside the system folders every
// box shows (an office unpacked in /opt): a box must show it as well. Empty
// otherwise.
std::string OfficeOutsideSystem(const std::string& program) {
  std::string dir = platform::SplitPath(program).dir;
  if (dir.empty() || dir.rfind("/usr/", 0) == 0) return "";
  dir.pop_back();
  // Its program folder sits in the installation, beside its resources.
  const size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0 && dir.substr(slash + 1) == "program") {
    dir.resize(slash);
  }
  return dir;
}

// The office's own launcher beside its program: it runs the program again
// when a new profile asks for a second start.
std::string OfficeLauncher() {
  const std::string program = OfficeProgram();
  const std::string launcher = platform::SplitPath(program).dir + "soffice";
  return platform::IsRegularFile(launcher) ? launcher : program;
}

// A stand-in for the helper and its time for an answer (UseOfficeHelper).
struct HelperChoice {
  std::string script;      // empty: the helper beside the program
  long long answerMs = 0;  // 0: the watchdog's time
};
std::mutex g_helperMutex;
HelperChoice g_helper;

HelperChoice ChosenHelper() {
  std::lock_guard<std::mutex> lock(g_helperMutex);
  return g_helper;
}

std::string HelperScript() {
  const std::string chosen = ChosenHelper().script;
  return chosen.empty() ? platform::ProgramDirectory() + kHelperScript : chosen;
}

// Fields travel percent-encoded, so no name can break a line or a field.
std::string Encode(const std::string& field) { return platform::PercentEncode(field, "/.,-_"); }

std::vector<std::string> DecodeFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\t') {
      fields.emplace_back();
    } else if (line[i] == '%' && i + 2 < line.size() && std::isxdigit(line[i + 1]) &&
               std::isxdigit(line[i + 2])) {
      fields.back() += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

// Milliseconds the office has for one answer; -1: no limit.
long long AnswerMs() {
  const long long chosen = ChosenHelper().answerMs;
  if (chosen > 0) return chosen;
  int seconds = platform::WatchdogSeconds();
  return seconds > 0 ? seconds * 1000LL : -1;
}

struct Office {
  platform::BackgroundChild helper;
  platform::StagingFolder folder;  // its profile and scratch files
};

std::mutex g_mutex;
std::unique_ptr<Office> g_office;
// The documents (full paths) the office died over in their last request,
// until they are retried or asked for again: one conversion's death never
// takes another's retry.
std::set<std::string> g_diedOver;
// Where documents meet the boxed office: each gets a copy of its own here,
// and the office writes its PDF beside it. It outlives a restarted office.
std::unique_ptr<platform::StagingFolder> g_exchange;
int g_exchanged = 0;

// A document's copy for the office to open, and where its PDF goes; both
// go when the request is done.
struct StagedDocument {
  std::string original;  // the caller's document, in full
  std::string folder, input, pdf;
  StagedDocument() = default;
  StagedDocument(const StagedDocument&) = delete;
  StagedDocument& operator=(const StagedDocument&) = delete;
  ~StagedDocument() {
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  }
};

// The office never sees the caller's files: only copies in the exchange
// folder. False with the reason noted.
// With g_mutex held.
bool MakeExchange(std::string* why) {
  if (g_exchange) return true;
  auto exchange = std::make_unique<platform::StagingFolder>();
  if (!exchange->CreateIn(platform::TempDirectory(), why)) {
    *why = "no folder to hand documents to the office: " + *why;
    return false;
  }
  g_exchange = std::move(exchange);
  return true;
}

bool StageDocument(const std::string& input, StagedDocument* staged, std::string* why) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string error;
  if (!MakeExchange(&error)) {
    NoteFailure(why, error);
    return false;
  }
  staged->original = input;
  staged->folder = g_exchange->path() + std::to_string(++g_exchanged) + "/";
  const platform::PathParts parts = platform::SplitPath(input);
  staged->input = staged->folder + parts.name + parts.ext;
  staged->pdf = staged->folder + "printed.pdf";
  if (mkdir(staged->folder.c_str(), 0700) != 0 ||
      !platform::CopyFileTo(input, staged->input, true)) {
    NoteFailure(why, "the document could not be copied for the office: " +
                         std::string(std::strerror(errno)));
    return false;
  }
  return true;
}

// Kills the office and its helper: its profile goes with it, so there is
// nothing to wait for.
void StopOffice() {
  if (!g_office) return;
  g_office->helper.Kill();  // its group, the office with it
  g_office.reset();         // and its folder
}

// The office of a run ends with the run.
struct EndAtExit {
  ~EndAtExit() {
    std::lock_guard<std::mutex> lock(g_mutex);
    StopOffice();
  }
} g_endAtExit;

// The kept office's answer to a request (none: its greeting), as fields;
// empty when none came, and then the office is stopped and *why says why.
// *died, when given, is set when the office ended in the middle of the request.
std::vector<std::string> Ask(const std::string& request, std::string* why, bool* died = nullptr) {
  platform::BackgroundChild& helper = g_office->helper;
  std::string line;
  auto outOfMemory = [&] {
    *why = "the office ran out of memory (" + std::to_string(helper.result().memoryMB) +
           " MB) and was stopped";
    StopOffice();
    return std::vector<std::string>{};
  };
  if ((request.empty() || helper.WriteLine(request)) && helper.ReadLine(&line, AnswerMs())) {
    std::vector<std::string> answer = DecodeFields(line);
    // An office its cap stopped is no office to try the document again in.
    if (answer[0] != "ok" && !helper.Running() && helper.result().outOfMemory) return outOfMemory();
    return answer;
  }
  if (!helper.Running() && helper.result().outOfMemory) return outOfMemory();
  if (helper.Running()) {
    const long long ms = AnswerMs();
    *why = "the office did not answer within " +
           (ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " ms") +
           " and was stopped";
  } else {
    // The last line the helper or the office wrote: why it ended.
    std::string last = platform::LastOutputLine(helper.result().output);
    *why = "the office ended unexpectedly" + (last.empty() ? "" : ": " + last);
    if (died) *died = true;
  }
  StopOffice();
  return {};
}

// A profile made once in the state root, which every office starts from
// with a copy of its own: a new profile makes the office start twice.
std::string ProfileTemplate() { return platform::StateRoot() + "office-profile"; }

// Makes the template from a new office's profile, before any document went
// through it, after that office ended (its settings are written then).
void SaveProfileTemplate(const std::string& profile) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string made = ProfileTemplate();
  platform::StagingFolder staging;  // beside it, so that it moves in whole
  if (!staging.CreateIn(platform::StateRoot())) return;
  fs::copy(profile, staging.path() + "profile", fs::copy_options::recursive, ec);
  if (!ec) fs::rename(staging.path() + "profile", made, ec);  // fails when another run won
}

// Starts the run's office; empty, or why it did not start.
std::string LaunchOffice(bool makeTemplate = true) {
  auto office = std::make_unique<Office>();
  std::string why;
  if (!MakeExchange(&why)) return why;
  if (!office->folder.CreateIn(platform::TempDirectory(), &why)) {
    return "no folder for the office's profile: " + why;
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string profile = office->folder.path() + "profile";
  if (fs::is_directory(ProfileTemplate(), ec)) {
    fs::copy(ProfileTemplate(), profile, fs::copy_options::recursive, ec);
    if (ec) fs::remove_all(profile, ec);  // a new one, then
  }
  const bool makesTemplate = makeTemplate && !fs::is_directory(profile, ec);
  // -I: the user's python settings and folders stay out of it.
  const std::vector<std::string> argv = {kPython, "-I", HelperScript(), OfficeProgram(),
                                         office->folder.path()};
  // In a box without network that sees its own folder and the documents'
  // copies, never the caller's files.
  platform::ChildOptions options;
  platform::Confinement box;
  box.writable = {office->folder.path(), g_exchange->path()};
  box.configuration = platform::kOfficeConfiguration;
  options.confinement.emplace(std::move(box));
  const std::string installation = OfficeOutsideSystem(argv[3]);
  if (!installation.empty()) options.confinement->readOnly.push_back(installation);
  // A stand-in lies where its test put it, perhaps beside what it reads.
  const std::string standIn = ChosenHelper().script;
  if (!standIn.empty()) options.confinement->readOnly.push_back(platform::SplitPath(standIn).dir);
  options.env = {{"TMPDIR", office->folder.path()}, {"HOME", office->folder.path()}};
  if (!office->helper.Start(argv, options, true)) {
    const std::string& refusal = office->helper.result().refusal;
    return "the office helper " + HelperScript() + " could not be started" +
           (refusal.empty() ? "" : ": " + refusal);
  }
  g_office = std::move(office);
  std::vector<std::string> answer = Ask("", &why);
  if (answer.empty()) return "the office did not start: " + why;
  if (answer[0] != "ready") {
    StopOffice();
    return "the office did not start: " + (answer.size() > 1 ? answer[1] : answer[0]);
  }
  if (makesTemplate) {
    // Once per state root: this office ends at once to leave its profile
    // behind, and the document's office starts from it.
    g_office->helper.WriteLine("quit");
    if (g_office->helper.Wait(kQuitWaitMs)) SaveProfileTemplate(profile);
    StopOffice();
    return LaunchOffice(false);
  }
  return "";
}

// Pages as the export filter takes them: digits, ",", "-" and blanks.
bool IsPageRange(const std::string& range) {
  return range.find_first_not_of("0123456789,- ") == std::string::npos;
}

std::string NotInstalled() {
  return "LibreOffice is not installed (the office program, " + std::string(kPython) + " or " +
         HelperScript() + " is missing)";
}

// Sends a request to the kept office, starting one when none is kept: true
// with its answer, else false with the reason noted and *died set when the
// office ended over the request.
bool Request(const std::string& request, std::vector<std::string>* answer, bool* died,
             std::string* why) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string error;
  for (bool retried = false;; retried = true) {
    // A kept office that died while it waited is no fault of this document.
    if (g_office && !g_office->helper.Running()) StopOffice();
    const bool kept = g_office != nullptr;
    if (!kept && !(error = LaunchOffice()).empty()) {
      NoteFailure(why, error);
      return false;
    }
    *answer = Ask(request, &error, died);
    if (answer->empty()) {
      NoteFailure(why, error);
      return false;
    }
    if ((*answer)[0] != "gone" || !kept || retried) return true;
    StopOffice();
  }
}

// Notes why the office refused a request ("error") or died over it; true
// when it died.
bool NoteRefusal(const std::vector<std::string>& answer, const std::string& what,
                 std::string* why) {
  const std::string reason = answer.size() > 1 ? answer[1] : "no reason given";
  if (answer[0] == "error") {
    NoteFailure(why, "the office could not " + what + ": " + reason);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    StopOffice();
  }
  NoteFailure(why, "the office died while it tried to " + what + ": " + reason);
  // "gone": it had died before, not over this document.
  return answer[0] == "fatal";
}

// Whether the office died over the document: a death is kept for one retry.
void NoteDeath(const std::string& document, bool died) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (died) {
    g_diedOver.insert(document);
  } else {
    g_diedOver.erase(document);
  }
}

// A new profile for the converter, with the settings the helper gives its
// office: no macros, no links updated or followed, no lock files.
constexpr const char* kConverterSettings =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>1</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="UseLocking" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";

// The document converted to PDF by the office's own command-line converter
// in a box that sees only a folder of its own, the chosen pages written to
// pdfPath; false with *why set.
bool ConvertWithOwnConverter(const std::string& document, const std::string& pdfPath,
                             const std::string& pageRange, std::string* why) {
  platform::StagingFolder work;
  if (!work.CreateIn(platform::TempDirectory(), why)) return false;
  // The converter names its PDF after the copy.
  const std::string copy = work.path() + "document" + platform::SplitPath(document).ext;
  const std::string settings = work.path() + "profile/user/registrymodifications.xcu";
  std::error_code ec;
  std::filesystem::create_directories(work.path() + "profile/user", ec);
  if (ec || !platform::WriteFileAtomically(settings, kConverterSettings) ||
      !platform::CopyFileTo(document, copy, true)) {
    *why = "the document could not be copied for the office's converter";
    return false;
  }
  const std::string launcher = OfficeLauncher();
  const std::vector<std::string> argv = {
      launcher,
      "--headless",
      "--invisible",
      "--nologo",
      "--norestore",
      "--nolockcheck",
      "-env:UserInstallation=file://" + Encode(work.path() + "profile"),
      "--convert-to",
      "pdf",
      "--outdir",
      work.path() + "out",
      copy};
  platform::Confinement box;
  box.writable = {work.path()};
  box.configuration = platform::kOfficeConfiguration;
  const std::string installation = OfficeOutsideSystem(launcher);
  if (!installation.empty()) box.readOnly.push_back(installation);
  HiddenProcessOptions options;
  options.confinement.emplace(std::move(box));
  options.env = {{"TMPDIR", work.path()}, {"HOME", work.path()}};
  std::string noted;
  options.why = &noted;
  int exitCode = -1;
  const bool ran = RunHiddenProcess(argv, &exitCode, options) == 1;
  if (!ran) {
    *why = noted.empty() ? "the office's converter did not run" : noted;
    return false;
  }
  // Its exit code says nothing: its PDF does.
  const std::string made = work.path() + "out/document.pdf";
  std::string unread;
  if (CountPdfPages(made, false, &unread) < 1) {
    *why = "the office's converter wrote no PDF (exit code " + std::to_string(exitCode) + ")" +
           (noted.empty() ? "" : ": " + noted);
    return false;
  }
  return WritePagesInRange(made, pageRange, pdfPath, why);
}

}  // namespace

int RetryWithOfficeConverter(const std::string& input, const std::string& pdfPath,
                             const std::string& pageRange, std::string* why) {
  if (input.empty() || pdfPath.empty()) return -1;
  const std::string document = platform::FullPath(input);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_diedOver.erase(document) == 0) return -1;  // one retry a death
  }
  if (!platform::IsRegularFile(document)) return -1;
  const std::string first = why ? *why : "";
  const platform::PathParts parts = platform::SplitPath(document);
  const std::string name = parts.name + parts.ext;
  std::string error;
  const bool converted = ConvertWithOwnConverter(document, pdfPath, pageRange, &error);
  if (why) why->clear();
  if (converted) {
    TraceMessage(
        "%s: the office stopped while it had the file open (%s); converted again with "
        "the office's own converter\n",
        name.c_str(), first.c_str());
    return 1;
  }
  NoteFailure(why,
              "the office stopped while it had " + name + " open (" + first +
                  "); converting it again with the office's own converter failed too: " + error);
  return 0;
}

bool OfficeAvailable() {
  // A stand-in helper speaks for the office.
  return (!ChosenHelper().script.empty() || !OfficeProgram().empty()) &&
         platform::IsRegularFile(kPython) && platform::IsRegularFile(HelperScript());
}

int ExportOfficePdf(const std::string& input, const std::string& pdfPath,
                    const OfficeExportOptions& options, int* partCount, std::string* why) {
  if (partCount) *partCount = 0;
  if (input.empty() || pdfPath.empty()) return -1;
  NoteDeath(platform::FullPath(input), false);
  if (!platform::IsRegularFile(input)) {
    NoteFailure(why, "no such document: " + input);
    return -1;
  }
  std::string parts;
  for (int part : options.parts) {
    if (part < 1) {
      NoteFailure(why, "sheets and slides count from 1");
      return -1;
    }
    parts += (parts.empty() ? "" : ",") + std::to_string(part);
  }
  if (!IsPageRange(options.pageRange) ||
      (options.scalePercent != 0 && (options.scalePercent < 10 || options.scalePercent > 400))) {
    NoteFailure(why, "bad page range or scale for the office export");
    return -1;
  }
  if (!OfficeAvailable()) {
    NoteFailure(why, NotInstalled());
    return 0;
  }
  platform::ReplacementFile out;
  std::string error;
  if (!out.Create(pdfPath, &error, true)) {
    NoteFailure(why, error);
    return 0;
  }
  std::string papers;
  for (const auto& [sheet, size] : options.sheetPaper) {
    if (sheet < 1 || size.first <= 0 || size.second <= 0) {
      NoteFailure(why, "bad sheet paper for the office export");
      return -1;
    }
    papers += (papers.empty() ? "" : ",") + std::to_string(sheet) + ":" +
              std::to_string(size.first) + "x" + std::to_string(size.second);
  }
  StagedDocument staged;
  if (!StageDocument(platform::FullPath(input), &staged, why)) return 0;
  std::string request = "export\t" + Encode(staged.input) + "\t" + Encode(staged.pdf) + "\t" +
                        Encode(options.pageRange) + "\t" + Encode(parts) + "\t" +
                        std::to_string(options.scalePercent);
  if (!papers.empty()) request += "\t" + Encode(papers);

  std::vector<std::string> answer;
  bool died = false;
  if (!Request(request, &answer, &died, why)) {
    NoteDeath(staged.original, died);
    return 0;
  }
  const std::string name = platform::SplitPath(input).name + platform::SplitPath(input).ext;
  if (answer[0] == "ok") {
    if (partCount && answer.size() > 1) *partCount = std::atoi(answer[1].c_str());
    if (CountPdfPages(staged.pdf, false, &error) < 1) {
      NoteFailure(why, "the office wrote no usable PDF for " + name + ": " + error);
      return 0;
    }
    if (!platform::CopyFileTo(staged.pdf, out.path(), false)) {
      NoteFailure(why, "the office's PDF could not be copied to " + pdfPath);
      return 0;
    }
    if (!out.Commit(&error)) {
      NoteFailure(why, error);
      return 0;
    }
    return 1;
  }
  NoteDeath(staged.original, NoteRefusal(answer, "print " + name, why));
  return 0;
}

int InspectOfficeDocument(const std::string& input, OfficeDocumentInfo* info, std::string* why) {
  *info = OfficeDocumentInfo{};
  NoteDeath(platform::FullPath(input), false);
  if (!platform::IsRegularFile(input)) {
    NoteFailure(why, "no such document: " + input);
    return -1;
  }
  if (!OfficeAvailable()) {
    NoteFailure(why, NotInstalled());
    return 0;
  }
  StagedDocument staged;
  if (!StageDocument(platform::FullPath(input), &staged, why)) return 0;
  std::vector<std::string> answer;
  bool died = false;
  if (!Request("inspect\t" + Encode(staged.input), &answer, &died, why)) {
    NoteDeath(staged.original, died);
    return 0;
  }
  if (answer[0] != "ok" || answer.size() < 3) {
    const platform::PathParts parts = platform::SplitPath(input);
    NoteDeath(staged.original, NoteRefusal(answer, "open " + parts.name + parts.ext, why));
    return 0;
  }
  info->kind = answer[1];
  info->partCount = std::atoi(answer[2].c_str());
  for (size_t i = 3; i + 6 <= answer.size(); i += 6) {
    OfficeSheetInfo sheet;
    sheet.name = answer[i];
    sheet.constants = answer[i + 1] == "1";
    sheet.formulas = answer[i + 2] == "1";
    sheet.charts = std::atoi(answer[i + 3].c_str());
    sheet.drawnObjects = std::atoi(answer[i + 4].c_str());
    sheet.shapes = std::atoi(answer[i + 5].c_str());
    info->sheets.push_back(sheet);
  }
  return 1;
}

int StartOffice(std::string* why) {
  if (!OfficeAvailable()) {
    NoteFailure(why, NotInstalled());
    return 0;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_office && g_office->helper.Running()) return 1;
  StopOffice();
  const std::string error = LaunchOffice();
  if (error.empty()) return 1;
  NoteFailure(why, error);
  return 0;
}

void EndOffice() {
  std::lock_guard<std::mutex> lock(g_mutex);
  StopOffice();
}

void UseOfficeHelper(const std::string& script, long long answerMs) {
  EndOffice();  // it ran the other helper
  std::lock_guard<std::mutex> lock(g_helperMutex);
  g_helper = {script.empty() ? "" : platform::FullPath(script), answerMs};
}

}  // namespace scrivex
