#include "spool/spooler.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry_store.h"
#include "platform/state_root.h"
#include "platform/test_support.h"

namespace scrivex::spool {
namespace {

using namespace platform;
using namespace test;
using Names = std::vector<std::string>;
using Ids = std::vector<uint32_t>;

Ids JobIds(const std::string& printer) {
  PrinterHandle h;
  std::vector<JobInfo2> jobs;
  Ids ids;
  if (OpenPrinter(printer, &h) && EnumJobs(h, 0, 100, 2, &jobs, nullptr)) {
    for (const JobInfo2& j : jobs) ids.push_back(j.JobId);
  }
  ClosePrinter(&h);
  return ids;
}

Ids ParseIds(const std::string& text) {
  Ids ids;
  std::istringstream in(text);
  for (uint32_t id; in >> id;) ids.push_back(id);
  return ids;
}

// Points the printer at another driver program, printing directly or spooling.
void UseDriver(const std::string& printer, const Names& program, bool direct) {
  PrinterHandle h;
  PrinterInfo2 info;
  ASSERT_TRUE(OpenPrinter(printer, &h));
  ASSERT_TRUE(GetPrinter(h, 2, &info, nullptr));
  info.driverProgram = program;
  info.attributes = direct ? PRINTER_ATTRIBUTE_DIRECT : 0;
  ASSERT_TRUE(SetPrinter(h, 2, info));
}

const std::string kSelf = std::filesystem::read_symlink("/proc/self/exe").string();
const Names kHelper = {kSelf, "--gtest_also_run_disabled_tests",
                       "--gtest_filter=Spooler.DISABLED_Helper"};
const std::string kHelperLine = kHelper[0] + " " + kHelper[1] + " " + kHelper[2];

// Run as a child by the tests: SPOOLER_HELPER=list writes the printer's
// queued job ids to SPOOLER_OUT, =submit submits five jobs and writes theirs.
TEST(Spooler, DISABLED_Helper) {
  std::string mode = GetEnv("SPOOLER_HELPER"), printer = GetEnv("SPOOLER_PRINTER"), text;
  if (mode == "list") {
    for (uint32_t id : JobIds(printer)) text += std::to_string(id) + " ";
  }
  for (int i = 0; mode == "submit" && i < 5; ++i) {
    SubmittedJob job;
    ASSERT_TRUE(SubmitPrintJob(printer, GetEnv("SPOOLER_STREAM"), "doc", &job)) << job.failure;
    text += std::to_string(job.jobId) + " ";
  }
  test::WriteBytes(GetEnv("SPOOLER_OUT"), text);
}

TEST(Spooler, FirstUseInstallsPrintersDefaultAndConfigFile) {
  ScratchDir scratch;
  char name[64];
  uint32_t size = 5;
  EXPECT_FALSE(GetDefaultPrinterA(name, &size));
  EXPECT_EQ(SpoolerLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(size, std::strlen(kCreatorPrinterName) + 1);
  ASSERT_TRUE(GetDefaultPrinterA(name, &size));
  EXPECT_STREQ(name, kCreatorPrinterName);

  Hive hive{"HKEY_LOCAL_MACHINE", {}};
  ASSERT_EQ(ReadHiveFile(StateRoot() + "machine.reg", &hive), HiveReadResult::kRead);
  const HiveKey* key = FindKey(hive, "software\\MARROW\\inkwell");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(FindValue(*key, "configfile")->data, InkwellConfigPath() + '\0');

  for (auto [printer, driver] : {std::pair{kCreatorPrinterName, "printers/creator-driver"},
                                 std::pair{kInkwellPrinterName, "printers/inkwell-driver"}}) {
    PrinterHandle h;
    PrinterInfo2 info;
    ASSERT_TRUE(OpenPrinter(printer, &h));
    ASSERT_TRUE(GetPrinter(h, 2, &info, nullptr));
    EXPECT_EQ(info.driverProgram, Names{ProgramDirectory() + driver});
    EXPECT_EQ(info.devMode.dmPaperSize, DMPAPER_LETTER);
    EXPECT_EQ(info.devMode.dmPrintQuality * 1000 + info.devMode.dmYResolution, 300300);
    EXPECT_EQ(info.devMode.dmFields & (DM_PAPERSIZE | DM_YRESOLUTION),
              DM_PAPERSIZE | DM_YRESOLUTION);
    EXPECT_STREQ(info.devMode.dmDeviceName, printer);
  }
  ASSERT_TRUE(SetDefaultPrinterA("INKWELL"));
  ASSERT_TRUE(SetDefaultPrinterA(""));  // keeps the default there is
  size = sizeof name;
  ASSERT_TRUE(GetDefaultPrinterA(name, &size));
  EXPECT_STREQ(name, "Inkwell");
  EXPECT_FALSE(SetDefaultPrinterA("Inkwell2"));
  EXPECT_EQ(SpoolerLastError(), ERROR_INVALID_PRINTER_NAME);
}

TEST(Spooler, NamesMatchWithoutCaseAndConnectionsAddInkwellPrinters) {
  ScratchDir scratch;
  struct Case {
    const char* asked;
    const char* found;  // empty: unknown
  };
  for (Case c :
       {Case{"inkwell", "Inkwell"}, Case{"brindle CONVERTER and creator", kCreatorPrinterName},
        Case{"Inkwel", ""}, Case{"", ""}, Case{"\\\\SERVER\\Queue A", ""}}) {
    PrinterHandle h;
    EXPECT_EQ(OpenPrinter(c.asked, &h), *c.found != '\0') << c.asked;
    EXPECT_EQ(h.name, c.found);
    EXPECT_EQ(SpoolerLastError(), *c.found ? 0 : ERROR_INVALID_PRINTER_NAME);
  }
  for (const char* bad : {"\\\\server", "\\\\\\queue", "server\\queue", "\\\\s\\q\\x", "\\\\s\\"}) {
    EXPECT_FALSE(AddPrinterConnectionA(bad)) << bad;
    EXPECT_EQ(SpoolerLastError(), ERROR_INVALID_PRINTER_NAME);
  }
  EXPECT_FALSE(AddPrinterConnectionA(nullptr));
  ASSERT_TRUE(AddPrinterConnectionA("\\\\server\\Queue A"));
  ASSERT_TRUE(AddPrinterConnectionA("\\\\SERVER\\queue a"));  // already there
  EXPECT_EQ(EnumPrinterNames(),
            (Names{"\\\\server\\Queue A", kCreatorPrinterName, kInkwellPrinterName}));
  PrinterHandle h;
  PrinterInfo2 info;
  ASSERT_TRUE(OpenPrinter("\\\\SERVER\\queue a", &h));
  ASSERT_TRUE(GetPrinter(h, 2, &info, nullptr));
  EXPECT_EQ(info.printerName + "|" + info.driverName + "|" + info.portName,
            "\\\\server\\Queue A|Inkwell|\\\\server\\Queue A");
  EXPECT_EQ(info.driverProgram, Names{ProgramDirectory() + "printers/inkwell-driver"});
}

TEST(Spooler, DeviceSettingsRoundTrip) {
  ScratchDir scratch;
  PrinterHandle h, other;
  ASSERT_TRUE(OpenPrinter("inkwell", &h));
  EXPECT_EQ(DocumentProperties(h, "Inkwell", nullptr, nullptr, 0), 156);
  uint32_t needed = 0;
  EXPECT_FALSE(GetPrinter(h, 2, nullptr, &needed));
  EXPECT_EQ(SpoolerLastError(), ERROR_INSUFFICIENT_BUFFER);
  PrinterInfo2 info;
  ASSERT_TRUE(GetPrinter(h, 2, &info, nullptr));
  DEVMODEA& dm = info.devMode;
  dm.dmFields = DM_ORIENTATION | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME;
  dm.dmOrientation = DMORIENT_LANDSCAPE;
  dm.dmPaperSize = 0;
  dm.dmPaperWidth = 792;
  dm.dmPaperLength = 1224;
  std::strcpy(dm.dmFormName, "Tabloid");
  dm.dmPanningHeight = 0xA1B2C3D4;
  ASSERT_TRUE(SetPrinter(h, 2, info));

  DEVMODEA out{};
  ASSERT_TRUE(OpenPrinter("INKWELL", &other));
  ASSERT_EQ(DocumentProperties(other, "", &out, nullptr, DM_OUT_BUFFER), IDOK);
  EXPECT_EQ(std::memcmp(&out, &dm, kDevModeSize), 0);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&out);
  EXPECT_EQ(bytes[50] | bytes[51] << 8, 792);  // dmPaperWidth in the Windows place
  EXPECT_EQ(bytes[155], 0xA1);

  PrinterInfo2 damaged = info;
  damaged.devMode.dmSize = 100;
  PrinterHandle closed = other;
  ClosePrinter(&closed);
  struct Check {
    bool failed;
    uint32_t error, expected;
  };
  for (auto [failed, error, expected] :
       {Check{!SetPrinter(h, 2, damaged), SpoolerLastError(), ERROR_INVALID_PARAMETER},
        Check{!GetPrinter(h, 1, &info, nullptr), SpoolerLastError(), ERROR_INVALID_LEVEL},
        Check{DocumentProperties(h, "", nullptr, nullptr, DM_OUT_BUFFER) == -1, SpoolerLastError(),
              ERROR_INVALID_PARAMETER},
        Check{DocumentProperties(h, "Brindle", &out, nullptr, DM_OUT_BUFFER) == -1,
              SpoolerLastError(), ERROR_INVALID_PRINTER_NAME},
        Check{DocumentProperties(closed, "", &out, nullptr, DM_OUT_BUFFER) == -1,
              SpoolerLastError(), ERROR_INVALID_HANDLE},
        Check{!ClosePrinter(&closed), SpoolerLastError(), ERROR_INVALID_HANDLE}}) {
    EXPECT_TRUE(failed);
    EXPECT_EQ(error, expected);
  }
}

TEST(Spooler, DirectJobRunsDriverThatSeesItsJob) {
  ScratchDir scratch;
  std::string stream = scratch.Write("in.pdf", "%PDF-1.4 stream");
  std::string script = scratch.Write(
      "driver.sh",
      "printf '%s\\n' \"$@\" > " + scratch.Path("args") + "\ncmp -s \"$1\" " + stream +
          " || exit 9\nSCRIVEX_HOME=\"$4\" SPOOLER_HELPER=list SPOOLER_PRINTER=\"$2\" " +
          "SPOOLER_OUT=" + scratch.Path("seen") + " " + kHelperLine + " >/dev/null\n");
  Names program = {"/bin/sh", script};
  UseDriver("inkwell", program, true);
  SubmittedJob job;
  ASSERT_TRUE(SubmitPrintJob("INKWELL", stream, "in.pdf", &job)) << job.failure;
  std::string spooled = SpoolDirectory() + "jobs/1.pdf";
  EXPECT_EQ(ReadBytes(scratch.Path("args")), spooled + "\nInkwell\n1\n" + StateRoot() + "\n");
  EXPECT_EQ(ParseIds(ReadBytes(scratch.Path("seen"))), Ids{1});  // queued while it ran
  EXPECT_EQ(JobIds("inkwell"), Ids{});
  EXPECT_FALSE(FileExists(spooled));

  struct Case {
    uint32_t error;
    std::string driverScript;  // empty: a driver program that does not exist
    std::string printer, stream, failure;
  };
  const std::string gone = scratch.Path("gone.pdf"), text = scratch.Write("in.txt", "text");
  for (const Case& c :
       {Case{ERROR_PRINT_CANCELLED, "echo no >&2; exit 3", "Inkwell", stream, "3: no"},
        Case{ERROR_PRINT_CANCELLED, "kill -9 $$", "Inkwell", stream, "by signal 9"},
        Case{ERROR_FILE_NOT_FOUND, "", "Inkwell", stream, "cannot be started"},
        Case{ERROR_INVALID_PRINTER_NAME, "true", "Inkwell 2", stream, "no printer"},
        Case{ERROR_FILE_NOT_FOUND, "true", "Inkwell", gone, "cannot be read"},
        Case{ERROR_INVALID_PARAMETER, "true", "Inkwell", text, "not a PDF"}}) {
    UseDriver("Inkwell",
              c.driverScript.empty() ? Names{gone} : Names{"/bin/sh", "-c", c.driverScript}, true);
    EXPECT_FALSE(SubmitPrintJob(c.printer, c.stream, "x", &job));
    EXPECT_EQ(SpoolerLastError(), c.error);
    EXPECT_NE(job.failure.find(c.failure), std::string::npos) << job.failure;
    EXPECT_EQ(JobIds("Inkwell"), Ids{});
  }
  UseDriver("Inkwell", {"/bin/true"}, true);
  ASSERT_TRUE(SubmitPrintJob("Inkwell", stream, "in.pdf", &job));
  EXPECT_EQ(job.jobId, 5u);  // ids of failed jobs are not given again
}

// A boxed printing program keeps its jobs in its folder; the program submits
// them afterwards, in order, to the printer it chose.
TEST(Spooler, HeldJobsWaitInTheOutboxUntilSubmitted) {
  ScratchDir scratch;
  const std::string outbox = scratch.Path("outbox/");
  std::filesystem::create_directories(outbox);
  std::string first = scratch.Write("a.pdf", "%PDF-1.4 first"),
              second = scratch.Write("b.pdf", "%PDF-1.4 second");
  std::string text = scratch.Write("t.txt", "no pdf");
  std::string script =
      scratch.Write("driver.sh", "cat \"$1\" >> " + scratch.Path("printed") + "; echo >> " +
                                     scratch.Path("printed") + "\n");
  UseDriver("Inkwell", {"/bin/sh", script}, true);
  SubmittedJob job;
  {
    test::ScopedEnv env;
    env.Set(kJobOutboxVariable, outbox);
    ASSERT_TRUE(SubmitPrintJob("Inkwell", first, "a.pdf", &job)) << job.failure;
    EXPECT_EQ(job.jobId, 1u);
    ASSERT_TRUE(SubmitPrintJob("No Such Printer", second, "b\nforged", &job)) << job.failure;
    EXPECT_EQ(job.jobId, 2u);
    EXPECT_FALSE(SubmitPrintJob("Inkwell", text, "t", &job));  // held jobs are PDFs too
    EXPECT_EQ(JobIds("Inkwell"), Ids{});
    EXPECT_FALSE(FileExists(scratch.Path("printed")));  // nothing printed from the box
  }
  EXPECT_EQ(ReadBytes(HeldStreamPath(outbox, 2) + ".name"), "");  // a name that breaks a line goes
  std::string why;
  EXPECT_EQ(SubmitHeldJobs(outbox, "Inkwell", &why), 2) << why;
  EXPECT_EQ(ReadBytes(scratch.Path("printed")), "%PDF-1.4 first\n%PDF-1.4 second\n");
  EXPECT_EQ(SubmitHeldJobs(scratch.Path("empty/"), "Inkwell", &why), 0);
  UseDriver("Inkwell", {"/bin/false"}, true);
  EXPECT_EQ(SubmitHeldJobs(outbox, "Inkwell", &why), -1);
  EXPECT_NE(why.find("exit code 1"), std::string::npos) << why;
}

TEST(Spooler, SpooledJobsLeaveWhenRemovedOrWhenTheirDriverDies) {
  ScratchDir scratch;
  // Each driver leaves its process id in "<job id>.pid", then waits.
  const std::string dir = scratch.Path();
  UseDriver(
      "Inkwell",
      {"/bin/sh", "-c",
       "echo $$ > " + dir + "$3.new && mv " + dir + "$3.new " + dir + "$3.pid && exec sleep 30",
       "driver"},
      false);
  std::string stream = scratch.Write("in.pdf", "%PDF-1.4");
  SubmittedJob job;
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(SubmitPrintJob("Inkwell", stream, "in", &job));
  for (int i = 0; i < 500 && !FileExists(dir + "2.pid"); ++i) SleepMs(10);
  EXPECT_EQ(JobIds("Inkwell"), (Ids{1, 2}));
  PrinterHandle h;
  PrinterInfo2 info;
  ASSERT_TRUE(OpenPrinter("Inkwell", &h) && GetPrinter(h, 2, &info, nullptr));
  EXPECT_EQ(info.cJobs, 2u);
  ASSERT_TRUE(SetJob(h, 2, JOB_CONTROL_DELETE));  // as a driver does when done
  EXPECT_FALSE(SetJob(h, 2, JOB_CONTROL_DELETE));
  EXPECT_EQ(SpoolerLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(JobIds("Inkwell"), Ids{1});
  for (const char* pid : {"1.pid", "2.pid"}) {
    ASSERT_EQ(kill(std::stoi(ReadBytes(dir + pid)), SIGKILL), 0);
  }
  Ids left = {1};
  for (int i = 0; i < 500 && !left.empty(); ++i, SleepMs(10)) left = JobIds("Inkwell");
  EXPECT_EQ(left, Ids{});
  EXPECT_TRUE(FindFiles(SpoolDirectory() + "jobs/*").empty());  // streams gone too
}

TEST(Spooler, ConcurrentSubmittersGetDistinctIncreasingIds) {
  ScratchDir scratch;
  UseDriver("Inkwell", {"/bin/sh", "-c", "echo $3 >> " + scratch.Path("log"), "driver"}, true);
  std::string stream = scratch.Write("in.pdf", "%PDF-1.4");
  std::vector<std::thread> submitters;
  for (std::string out : {scratch.Path("a"), scratch.Path("b")}) {
    submitters.emplace_back([=] {
      ChildOptions options;
      options.env = {{"SPOOLER_HELPER", "submit"},
                     {"SPOOLER_PRINTER", "inkwell"},
                     {"SPOOLER_STREAM", stream},
                     {"SPOOLER_OUT", out}};
      options.discardOutput = true;
      RunChild(kHelper, options);
    });
  }
  for (auto& t : submitters) t.join();
  Ids all;
  for (const char* name : {"a", "b"}) {
    Ids ids = ParseIds(ReadBytes(scratch.Path(name)));
    EXPECT_TRUE(ids.size() == 5 && std::is_sorted(ids.begin(), ids.end()))
        << ::testing::PrintToString(ids);
    all.insert(all.end(), ids.begin(), ids.end());
  }
  auto sorted = [](Ids ids) { return std::sort(ids.begin(), ids.end()), ids; };
  EXPECT_EQ(sorted(all), (Ids{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(sorted(ParseIds(ReadBytes(scratch.Path("log")))), sorted(all));  // every driver ran
}

}  // namespace
}  // namespace scrivex::spool
