#include "spool/spooler.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/registry_store.h"
#include "platform/replacement_file.h"
#include "platform/state_root.h"
#include "platform/unique_fd.h"

namespace scrivex::spool {

using platform::AddKey;
using platform::ChildOptions;
using platform::ChildResult;
using platform::CopyFileTo;
using platform::DirEntry;
using platform::EqualsNoCase;
using platform::FileExists;
using platform::FileSize;
using platform::FindFiles;
using platform::FindValue;
using platform::GetEnv;
using platform::Hive;
using platform::HiveKey;
using platform::IsRegularFile;
using platform::kRegSz;
using platform::LastOutputLine;
using platform::PercentEncode;
using platform::PrivateTempFolder;
using platform::ProgramDirectory;
using platform::ReadFileAt;
using platform::ReadWholeFile;
using platform::RemoveFile;
using platform::RunChild;
using platform::SetValue;
using platform::StateRoot;
using platform::TickCountMs;
using platform::ToLower;
using platform::UniqueFd;
using platform::UpdateHiveFile;
using platform::WatchdogSeconds;
using platform::WriteFileAtomically;

namespace {

thread_local uint32_t t_lastError = 0;

bool Fail(uint32_t code) {
  t_lastError = code;
  return false;
}

bool Succeed() {
  t_lastError = 0;
  return true;
}

struct PrinterRecord {
  std::string name;
  std::string port;
  std::string driverName;
  std::vector<std::string> driverProgram;
  uint32_t attributes = PRINTER_ATTRIBUTE_DIRECT;
  DEVMODEA devMode{};
};

struct JobRecord {
  uint32_t id = 0;
  std::string printer;
  std::string document;
  long long ownerPid = 0;    // the submitter while printing directly, else the driver
  long long ownerStart = 0;  // its start time, so a reused process id is not taken for it
  long long group = 0;       // a spooled driver's process group, killed at its deadline
  long long deadlineMs = 0;  // TickCountMs; 0: none
};

// Names are stored and shown as given; files are named by the folded name.
std::string PrinterKey(const std::string& name) { return PercentEncode(ToLower(name), " -_"); }

bool IsValidPrinterName(const std::string& name) {
  if (name.empty() || name.size() > 220) return false;
  return std::none_of(name.begin(), name.end(),
                      [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

bool IsValidLine(const std::string& text) {
  return text.find_first_of("\r\n") == std::string::npos;
}

std::string PrinterPath(const std::string& dir, const std::string& name) {
  return dir + "printers/" + PrinterKey(name) + ".printer";
}
std::string JobPath(const std::string& dir, uint32_t id) {
  return dir + "jobs/" + std::to_string(id) + ".job";
}
std::string StreamPath(const std::string& dir, uint32_t id) {
  return dir + "jobs/" + std::to_string(id) + ".pdf";
}

std::string ToHex(const void* data, size_t size) {
  static const char* kHex = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    unsigned char c = static_cast<const unsigned char*>(data)[i];
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex;
}

bool FromHex(const std::string& hex, void* data, size_t size) {
  if (hex.size() != 2 * size) return false;
  for (size_t i = 0; i < size; ++i) {
    unsigned value = 0;
    if (std::sscanf(hex.c_str() + 2 * i, "%2x", &value) != 1) return false;
    static_cast<unsigned char*>(data)[i] = static_cast<unsigned char>(value);
  }
  return true;
}

DEVMODEA DefaultDevMode(const std::string& printerName) {
  DEVMODEA dm{};
  std::strncpy(dm.dmDeviceName, printerName.c_str(), sizeof dm.dmDeviceName - 1);
  dm.dmSpecVersion = DM_SPECVERSION;
  dm.dmSize = kDevModeSize;
  dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_SCALE | DM_COPIES | DM_PRINTQUALITY | DM_COLOR |
                DM_YRESOLUTION;
  dm.dmOrientation = DMORIENT_PORTRAIT;
  dm.dmPaperSize = DMPAPER_LETTER;
  dm.dmScale = 100;
  dm.dmCopies = 1;
  dm.dmPrintQuality = 300;
  dm.dmYResolution = 300;
  dm.dmColor = DMCOLOR_COLOR;
  return dm;
}

// "Key=value" lines; a key may repeat.
std::vector<std::pair<std::string, std::string>> ParseLines(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return lines;
}

bool ReadPrinter(const std::string& dir, const std::string& name, PrinterRecord* printer) {
  std::string text;
  if (!ReadWholeFile(PrinterPath(dir, name), &text)) return false;
  PrinterRecord p;
  bool haveDevMode = false;
  for (const auto& [key, value] : ParseLines(text)) {
    if (key == "Name") p.name = value;
    if (key == "Port") p.port = value;
    if (key == "DriverName") p.driverName = value;
    if (key == "Program") p.driverProgram.push_back(value);
    if (key == "Attributes")
      p.attributes = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
    if (key == "DevMode") haveDevMode = FromHex(value, &p.devMode, kDevModeSize);
  }
  if (p.name.empty()) return false;
  if (!haveDevMode) p.devMode = DefaultDevMode(p.name);  // damaged settings fall back
  *printer = std::move(p);
  return true;
}

bool WritePrinter(const std::string& dir, const PrinterRecord& p) {
  std::string text = "Name=" + p.name + "\nPort=" + p.port + "\nDriverName=" + p.driverName + "\n";
  for (const auto& arg : p.driverProgram) text += "Program=" + arg + "\n";
  text += "Attributes=" + std::to_string(p.attributes) + "\n";
  text += "DevMode=" + ToHex(&p.devMode, kDevModeSize) + "\n";
  return WriteFileAtomically(PrinterPath(dir, p.name), text);
}

bool WriteJob(const std::string& dir, const JobRecord& j) {
  std::string text =
      "Printer=" + j.printer + "\nDocument=" + j.document +
      "\nOwner=" + std::to_string(j.ownerPid) + "\nOwnerStart=" + std::to_string(j.ownerStart) +
      "\nGroup=" + std::to_string(j.group) + "\nDeadline=" + std::to_string(j.deadlineMs) + "\n";
  return WriteFileAtomically(JobPath(dir, j.id), text);
}

std::vector<JobRecord> ReadJobs(const std::string& dir) {
  std::vector<JobRecord> jobs;
  for (const DirEntry& e : FindFiles(dir + "jobs/*.job")) {
    std::string text;
    if (e.isDirectory || !ReadWholeFile(dir + "jobs/" + e.name, &text)) continue;
    JobRecord j;
    j.id = static_cast<uint32_t>(std::strtoul(e.name.c_str(), nullptr, 10));
    if (j.id == 0) continue;  // not ours
    for (const auto& [key, value] : ParseLines(text)) {
      long long number = std::atoll(value.c_str());
      if (key == "Printer") j.printer = value;
      if (key == "Document") j.document = value;
      if (key == "Owner") j.ownerPid = number;
      if (key == "OwnerStart") j.ownerStart = number;
      if (key == "Group") j.group = number;
      if (key == "Deadline") j.deadlineMs = number;
    }
    jobs.push_back(std::move(j));
  }
  std::sort(jobs.begin(), jobs.end(),
            [](const JobRecord& a, const JobRecord& b) { return a.id < b.id; });
  return jobs;
}

void RemoveJobFiles(const std::string& dir, uint32_t id) {
  RemoveFile(JobPath(dir, id));
  RemoveFile(StreamPath(dir, id));
}

// Start time (clock ticks after boot) of a running process, -1 when it is gone
// or has ended and waits to be reaped.
long long ProcessStart(long long pid, long long* group = nullptr) {
  std::string stat;
  if (pid <= 0 || !ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", &stat)) return -1;
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream in(stat.substr(close + 1));
  std::string state, skip;
  long long parent = 0, pgrp = 0, start = -1;
  in >> state >> parent >> pgrp;
  for (int field = 6; field < 22; ++field) in >> skip;
  in >> start;
  if (!in || state == "Z" || state == "X") return -1;
  if (group) *group = pgrp;
  return start;
}

// Drops the jobs whose owner has died, and ends spooled drivers that ran out
// of time. The caller holds the lock.
std::vector<JobRecord> LiveJobs(const std::string& dir) {
  std::vector<JobRecord> live;
  for (JobRecord& j : ReadJobs(dir)) {
    bool alive = ProcessStart(j.ownerPid) == j.ownerStart;
    if (alive && j.deadlineMs > 0 && TickCountMs() > j.deadlineMs) {
      if (j.group > 1 && j.group != getpgrp()) kill(static_cast<pid_t>(-j.group), SIGKILL);
      kill(static_cast<pid_t>(j.ownerPid), SIGKILL);
      alive = false;
    }
    if (alive) {
      live.push_back(std::move(j));
    } else {
      RemoveJobFiles(dir, j.id);
    }
  }
  return live;
}

UniqueFd LockSpool(const std::string& dir) {
  UniqueFd fd(open((dir + "spool.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  // A boxed printer sees the spool read-only: it may read the printers, and
  // every write fails on its own.
  if (!fd.valid() && errno == EROFS)
    fd.Reset(open((dir + "spool.lock").c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return fd;
  while (flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return UniqueFd();
  }
  return fd;
}

PrinterRecord NewPrinter(const std::string& name, const std::string& port,
                         const std::string& driverName, const std::string& program) {
  PrinterRecord p;
  p.name = name;
  p.port = port;
  p.driverName = driverName;
  p.driverProgram = {ProgramDirectory() + program};
  p.devMode = DefaultDevMode(name);
  return p;
}

std::string ReadDefaultName(const std::string& dir) {
  std::string name;
  PrinterRecord p;
  if (!ReadWholeFile(dir + "default", &name) || !ReadPrinter(dir, name, &p)) return "";
  return p.name;
}

bool Install(const std::string& dir) {
  UniqueFd lock = LockSpool(dir);
  if (!lock.valid()) return false;
  if (FileExists(dir + "installed")) return true;  // another process was first
  PrinterRecord existing;
  for (const PrinterRecord& p :
       {NewPrinter(kCreatorPrinterName, "brindle:", kCreatorPrinterName, "printers/creator-driver"),
        NewPrinter(kInkwellPrinterName, "inkwell:", kInkwellPrinterName,
                   "printers/inkwell-driver")}) {
    if (!ReadPrinter(dir, p.name, &existing) && !WritePrinter(dir, p)) return false;
  }
  if (ReadDefaultName(dir).empty() && !WriteFileAtomically(dir + "default", kCreatorPrinterName)) {
    return false;
  }
  bool registered =
      UpdateHiveFile(StateRoot() + "machine.reg", "HKEY_LOCAL_MACHINE", [](Hive& hive) {
        HiveKey* key = AddKey(&hive, "SOFTWARE\\marrow\\inkwell");
        if (key == nullptr) return false;
        if (FindValue(*key, "ConfigFile") == nullptr) {
          SetValue(key, "ConfigFile", kRegSz, InkwellConfigPath() + std::string(1, '\0'));
        }
        return true;
      });
  return registered && WriteFileAtomically(dir + "installed", "");
}

// The spool folder, installed, or empty with the last error set.
std::string Spool() {
  std::string root = StateRoot();
  std::string dir = root + "spool/";
  if (!root.empty() && FileExists(dir + "installed")) return dir;
  if (!root.empty()) {
    for (const char* sub : {"", "printers", "jobs"}) mkdir((dir + sub).c_str(), 0700);
    if (Install(dir)) return dir;
  }
  Fail(ERROR_WRITE_FAULT);
  return "";
}

// The printer of an open handle, read fresh; false with the last error set.
bool HandlePrinter(const PrinterHandle& printer, std::string* dir, PrinterRecord* record) {
  if (!printer.open) return Fail(ERROR_INVALID_HANDLE);
  *dir = Spool();
  if (dir->empty()) return false;
  if (!ReadPrinter(*dir, printer.name, record)) return Fail(ERROR_INVALID_PRINTER_NAME);
  return true;
}

std::vector<JobRecord> JobsOf(const std::vector<JobRecord>& jobs, const std::string& printer) {
  std::vector<JobRecord> mine;
  for (const JobRecord& j : jobs) {
    if (EqualsNoCase(j.printer, printer)) mine.push_back(j);
  }
  return mine;
}

// Readers skip up to 1024 bytes of junk before the header, so do we.
bool IsPdfStream(const std::string& path) {
  char head[1024] = {};
  long long size = std::min<long long>(FileSize(path), sizeof head);
  return size > 0 && ReadFileAt(path, 0, head, static_cast<size_t>(size)) &&
         std::string_view(head, static_cast<size_t>(size)).find("%PDF-") != std::string_view::npos;
}

// The driver's last words, as ": <line>", to say why it failed.
}  // namespace

uint32_t SpoolerLastError() { return t_lastError; }

std::string SpoolDirectory() { return Spool(); }

std::string InkwellConfigPath() { return StateRoot() + "inkwell.ini"; }

bool GetDefaultPrinterA(char* buffer, uint32_t* size) {
  if (size == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string dir = Spool();
  if (dir.empty()) return false;
  std::string name = ReadDefaultName(dir);
  if (name.empty()) return Fail(ERROR_FILE_NOT_FOUND);
  uint32_t needed = static_cast<uint32_t>(name.size() + 1);
  bool fits = buffer != nullptr && *size >= needed;
  *size = needed;
  if (!fits) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, name.c_str(), needed);
  return Succeed();
}

bool SetDefaultPrinterA(const char* name) {
  std::string dir = Spool();
  if (dir.empty()) return false;
  UniqueFd lock = LockSpool(dir);
  if (!lock.valid()) return Fail(ERROR_WRITE_FAULT);
  std::string wanted = name ? name : "";
  if (wanted.empty()) {
    if (!ReadDefaultName(dir).empty()) return Succeed();
    lock.Reset();
    std::vector<std::string> names = EnumPrinterNames();
    if (names.empty()) return Fail(ERROR_INVALID_PRINTER_NAME);
    return SetDefaultPrinterA(names.front().c_str());
  }
  PrinterRecord p;
  if (!IsValidPrinterName(wanted) || !ReadPrinter(dir, wanted, &p)) {
    return Fail(ERROR_INVALID_PRINTER_NAME);
  }
  return WriteFileAtomically(dir + "default", p.name) ? Succeed() : Fail(ERROR_WRITE_FAULT);
}

bool AddPrinterConnectionA(const char* name) {
  std::string text = name ? name : "";
  // "\\server\queue": both parts present, no further backslash.
  size_t split = text.find('\\', 2);
  if (!IsValidPrinterName(text) || text.rfind("\\\\", 0) != 0 || split == std::string::npos ||
      split == 2 || split + 1 == text.size() || text.find('\\', split + 1) != std::string::npos) {
    return Fail(ERROR_INVALID_PRINTER_NAME);
  }
  std::string dir = Spool();
  if (dir.empty()) return false;
  UniqueFd lock = LockSpool(dir);
  if (!lock.valid()) return Fail(ERROR_WRITE_FAULT);
  PrinterRecord p;
  if (ReadPrinter(dir, text, &p)) return Succeed();
  p = NewPrinter(text, text, kInkwellPrinterName, "printers/inkwell-driver");
  return WritePrinter(dir, p) ? Succeed() : Fail(ERROR_WRITE_FAULT);
}

bool OpenPrinter(const std::string& name, PrinterHandle* printer) {
  if (printer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *printer = {};
  std::string dir = Spool();
  if (dir.empty()) return false;
  PrinterRecord p;
  if (!IsValidPrinterName(name) || !ReadPrinter(dir, name, &p)) {
    return Fail(ERROR_INVALID_PRINTER_NAME);
  }
  *printer = {p.name, true};
  return Succeed();
}

bool ClosePrinter(PrinterHandle* printer) {
  if (printer == nullptr || !printer->open) return Fail(ERROR_INVALID_HANDLE);
  *printer = {};
  return Succeed();
}

bool GetPrinter(const PrinterHandle& printer, uint32_t level, PrinterInfo2* info,
                uint32_t* bytesNeeded) {
  if (level != 2) return Fail(ERROR_INVALID_LEVEL);
  std::string dir;
  PrinterRecord p;
  if (!HandlePrinter(printer, &dir, &p)) return false;
  if (bytesNeeded) *bytesNeeded = sizeof(PrinterInfo2);
  if (info == nullptr) return Fail(ERROR_INSUFFICIENT_BUFFER);
  UniqueFd lock = LockSpool(dir);
  if (!lock.valid()) return Fail(ERROR_WRITE_FAULT);
  info->printerName = p.name;
  info->portName = p.port;
  info->driverName = p.driverName;
  info->driverProgram = p.driverProgram;
  info->attributes = p.attributes;
  info->cJobs = static_cast<uint32_t>(JobsOf(LiveJobs(dir), p.name).size());
  info->devMode = p.devMode;
  return Succeed();
}

bool SetPrinter(const PrinterHandle& printer, uint32_t level, const PrinterInfo2& info) {
  if (level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (info.devMode.dmSize != kDevModeSize || !IsValidLine(info.portName) ||
      !std::all_of(info.driverProgram.begin(), info.driverProgram.end(), IsValidLine) ||
      (!info.driverProgram.empty() && info.driverProgram[0].empty())) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  std::string dir;
  PrinterRecord p;
  if (!HandlePrinter(printer, &dir, &p)) return false;
  UniqueFd lock = LockSpool(dir);
  if (!lock.valid()) return Fail(ERROR_WRITE_FAULT);
  if (!ReadPrinter(dir, printer.name, &p)) return Fail(ERROR_INVALID_PRINTER_NAME);
  p.devMode = info.devMode;
  p.attributes = info.attributes;
  if (!info.portName.empty()) p.port = info.portName;
  if (!info.driverProgram.empty()) p.driverProgram = info.driverProgram;
  return WritePrinter(dir, p) ? Succeed() : Fail(ERROR_WRITE_FAULT);
}

long DocumentProperties(const PrinterHandle& printer, const std::string& deviceName, DEVMODEA* out,
                        const DEVMODEA* /*in*/, uint32_t mode) {
  std::string dir;
  PrinterRecord p;
  if (!HandlePrinter(printer, &dir, &p)) return -1;
  if (!deviceName.empty() && !EqualsNoCase(deviceName, p.name)) {
    return Fail(ERROR_INVALID_PRINTER_NAME), -1;
  }
  if (mode == 0) return Succeed(), static_cast<long>(kDevModeSize);
  // Merging a caller's settings is the device-settings code's job, above.
  if ((mode & DM_IN_BUFFER) || !(mode & DM_OUT_BUFFER) || out == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER), -1;
  }
  *out = p.devMode;
  return Succeed(), IDOK;
}

bool EnumJobs(const PrinterHandle& printer, uint32_t firstJob, uint32_t count, uint32_t level,
              std::vector<JobInfo2>* jobs, uint32_t* bytesNeeded) {
  if (level != 2) return Fail(ERROR_INVALID_LEVEL);
  std::string dir;
  PrinterRecord p;
  if (!HandlePrinter(printer, &dir, &p)) return false;
  std::vector<JobRecord> mine;
  {
    UniqueFd lock = LockSpool(dir);
    if (!lock.valid()) return Fail(ERROR_WRITE_FAULT);
    mine = JobsOf(LiveJobs(dir), p.name);
  }
  std::vector<JobInfo2> found;
  for (size_t i = firstJob; i < mine.size() && found.size() < count; ++i) {
    found.push_back({mine[i].id, p.name, mine[i].document, static_cast<uint32_t>(i + 1)});
  }
  if (bytesNeeded) *bytesNeeded = static_cast<uint32_t>(found.size() * sizeof(JobInfo2));
  if (jobs == nullptr) return found.empty() ? Succeed() : Fail(ERROR_INSUFFICIENT_BUFFER);
  *jobs = std::move(found);
  return Succeed();
}

bool SetJob(const PrinterHandle& printer, uint32_t jobId, uint32_t command) {
  std::string dir;
  PrinterRecord p;
  if (!HandlePrinter(printer, &dir, &p)) return false;
  if (command != JOB_CONTROL_DELETE) return Fail(ERROR_INVALID_PARAMETER);
  UniqueFd lock = LockSpool(dir);
  if (!lock.valid()) return Fail(ERROR_WRITE_FAULT);
  std::vector<JobRecord> mine = JobsOf(ReadJobs(dir), p.name);
  if (std::none_of(mine.begin(), mine.end(), [&](const JobRecord& j) { return j.id == jobId; })) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  RemoveJobFiles(dir, jobId);
  return Succeed();
}

std::vector<std::string> EnumPrinterNames() {
  std::vector<std::string> names;
  std::string dir = Spool();
  if (dir.empty()) return names;
  for (const DirEntry& e : FindFiles(dir + "printers/*.printer")) {
    PrinterRecord p;
    std::string text;
    if (!e.isDirectory && ReadWholeFile(dir + "printers/" + e.name, &text)) {
      for (const auto& [key, value] : ParseLines(text)) {
        if (key == "Name") names.push_back(value);
      }
    }
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return ToLower(a) < ToLower(b); });
  return names;
}

bool SubmitPrintJob(const std::string& printerName, const std::string& streamPath,
                    const std::string& documentName, SubmittedJob* job) {
  *job = {};
  auto fail = [&](uint32_t code, const std::string& why) {
    job->failure = why;
    return Fail(code);
  };
  const std::string outbox = GetEnv(kJobOutboxVariable);
  if (!outbox.empty()) {
    // A boxed printer: the job waits in its folder for the program to submit.
    if (!IsRegularFile(streamPath) || !IsPdfStream(streamPath)) {
      return fail(ERROR_INVALID_PARAMETER, "the print stream " + streamPath + " is not a PDF file");
    }
    uint32_t id = 1;
    while (FileExists(HeldStreamPath(outbox, id))) ++id;
    if (!CopyFileTo(streamPath, HeldStreamPath(outbox, id), true) ||
        !WriteFileAtomically(HeldStreamPath(outbox, id) + ".name",
                             IsValidLine(documentName) ? documentName : "")) {
      return fail(ERROR_WRITE_FAULT, "the print stream cannot be kept in " + outbox);
    }
    job->jobId = id;
    return Succeed();
  }
  std::string dir = Spool();
  if (dir.empty()) return fail(ERROR_WRITE_FAULT, "the spool folder cannot be made");
  if (!IsRegularFile(streamPath)) {
    return fail(ERROR_FILE_NOT_FOUND, "the print stream " + streamPath + " cannot be read");
  }
  if (!IsPdfStream(streamPath)) {
    return fail(ERROR_INVALID_PARAMETER, "the print stream " + streamPath + " is not a PDF file");
  }
  PrinterRecord p;
  JobRecord j;
  {
    UniqueFd lock = LockSpool(dir);
    if (!lock.valid()) return fail(ERROR_WRITE_FAULT, "the spool folder cannot be locked");
    if (!IsValidPrinterName(printerName) || !ReadPrinter(dir, printerName, &p)) {
      return fail(ERROR_INVALID_PRINTER_NAME, "there is no printer \"" + printerName + "\"");
    }
    if (p.driverProgram.empty()) {
      return fail(ERROR_FILE_NOT_FOUND, "the printer \"" + p.name + "\" has no driver program");
    }
    std::string next;
    ReadWholeFile(dir + "next-job-id", &next);
    j.id = std::max<uint32_t>(1, static_cast<uint32_t>(std::strtoul(next.c_str(), nullptr, 10)));
    j.printer = p.name;
    j.document = IsValidLine(documentName) ? documentName : "";
    j.ownerPid = getpid();
    j.ownerStart = ProcessStart(j.ownerPid);
    if (!WriteFileAtomically(dir + "next-job-id", std::to_string(j.id + 1)) || !WriteJob(dir, j)) {
      return fail(ERROR_WRITE_FAULT, "the job cannot be written to the spool folder");
    }
  }
  job->jobId = j.id;
  auto drop = [&] {
    UniqueFd lock = LockSpool(dir);
    RemoveJobFiles(dir, j.id);
  };
  std::string stream = StreamPath(dir, j.id);
  if (!CopyFileTo(streamPath, stream, false)) {
    drop();
    return fail(ERROR_WRITE_FAULT, "the print stream cannot be copied into the spool folder");
  }
  std::vector<std::string> argv = p.driverProgram;
  argv.insert(argv.end(), {stream, p.name, std::to_string(j.id), StateRoot()});
  ChildOptions options;
  const long long timeoutMs = 1000LL * WatchdogSeconds();
  const std::string driver = "the driver " + argv[0] + " of printer \"" + p.name + "\"";

  if (p.attributes & PRINTER_ATTRIBUTE_DIRECT) {
    options.discardOutput = true;
    options.timeoutMs = timeoutMs;
    ChildResult r = RunChild(argv, options);
    drop();  // done, whether or not the driver removed it
    if (!r.started) return fail(ERROR_FILE_NOT_FOUND, driver + " cannot be started");
    if (r.timedOut) {
      return fail(ERROR_PRINT_CANCELLED,
                  driver + " ran out of time after " + std::to_string(timeoutMs / 1000) + " s");
    }
    if (!r.exitedNormally || r.exitCode != 0) {
      std::string why = r.exitedNormally ? "failed with exit code " : "was killed by signal ";
      const std::string said = LastOutputLine(r.output);
      return fail(ERROR_PRINT_CANCELLED, driver + " " + why + std::to_string(r.exitCode) +
                                             (said.empty() ? "" : ": " + said));
    }
    return Succeed();
  }

  options.detached = true;
  // A spooled driver outlives this run and its private temporary folder.
  options.env = {{"TMPDIR", PrivateTempFolder::OriginalValue()}};
  ChildResult r = RunChild(argv, options);
  if (!r.started || r.pid <= 0) {
    drop();
    return fail(ERROR_FILE_NOT_FOUND, driver + " cannot be started");
  }
  // From here the driver owns the job; it may already have removed it.
  UniqueFd lock = LockSpool(dir);
  if (FileExists(JobPath(dir, j.id))) {
    j.ownerPid = r.pid;
    j.ownerStart = ProcessStart(r.pid, &j.group);
    j.deadlineMs = timeoutMs > 0 ? TickCountMs() + timeoutMs : 0;
    if (j.ownerStart < 0 || !WriteJob(dir, j)) RemoveJobFiles(dir, j.id);
  }
  return Succeed();
}

std::string DefaultPrinterName() {
  uint32_t size = 0;
  GetDefaultPrinterA(nullptr, &size);
  if (size == 0) return "";
  std::vector<char> name(size);
  return GetDefaultPrinterA(name.data(), &size) ? std::string(name.data()) : "";
}

std::string HeldStreamPath(const std::string& outbox, uint32_t id) {
  return outbox + (outbox.empty() || outbox.back() == '/' ? "" : "/") + "held-job-" +
         std::to_string(id) + ".pdf";
}

int SubmitHeldJobs(const std::string& outbox, const std::string& printerName,
                   std::string* failure) {
  int submitted = 0;
  for (uint32_t id = 1;; ++id) {
    const std::string stream = HeldStreamPath(outbox, id);
    if (!FileExists(stream)) break;
    std::string document;
    ReadWholeFile(stream + ".name", &document);
    SubmittedJob job;
    if (!SubmitPrintJob(printerName, stream, document, &job)) {
      *failure = job.failure.empty() ? "the printer \"" + printerName + "\" did not print it"
                                     : job.failure;
      return -1;
    }
    ++submitted;
  }
  return submitted;
}

}  // namespace scrivex::spool
