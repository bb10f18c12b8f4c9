// printer-admin: the virtual printers of this account (its state root).
//   printer-admin list                      printers, their paper and resolution, queues
//   printer-admin default PRINTER           makes PRINTER the default printer
//   printer-admin set PRINTER [paper=N] [dpi=N] [orientation=portrait|landscape]
//   printer-admin print PRINTER FILE.pdf    prints a PDF and lists the files written
// Exit 0 on success, 1 when the work failed, 2 for a wrong command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/path.h"
#include "printer/completion_mapping.h"
#include "spool/spooler.h"

namespace {

using namespace scrivex::platform;
using namespace scrivex::spool;

int Fail(const std::string& text) {
  std::fprintf(stderr, "printer-admin: %s\n", text.c_str());
  return 1;
}

int Usage() {
  std::fputs(
      "usage: printer-admin list\n"
      "       printer-admin default PRINTER\n"
      "       printer-admin set PRINTER [paper=CODE] [dpi=N] [orientation=portrait|landscape]\n"
      "       printer-admin print PRINTER FILE.pdf\n"
      "paper codes: 1 Letter, 5 Legal, 8 A3, 9 A4, 11 A5\n",
      stderr);
  return 2;
}

bool Open(const std::string& name, PrinterHandle* printer, PrinterInfo2* info) {
  uint32_t needed = 0;
  return OpenPrinter(name, printer) && GetPrinter(*printer, 2, info, &needed);
}

int List() {
  char buffer[256];
  uint32_t size = sizeof buffer;
  std::string defaultName = GetDefaultPrinterA(buffer, &size) ? buffer : "";
  for (const std::string& name : EnumPrinterNames()) {
    PrinterHandle printer;
    PrinterInfo2 info;
    if (!Open(name, &printer, &info)) continue;
    const DEVMODEA& d = info.devMode;
    std::printf("%s%s\n  driver %s, port %s, paper %d%s, %d dpi, %s, %u job(s)%s\n", name.c_str(),
                EqualsNoCase(name, defaultName) ? " (default)" : "", info.driverName.c_str(),
                info.portName.c_str(), d.dmPaperSize,
                (d.dmFields & DM_PAPERWIDTH) ? " (custom size)" : "", d.dmPrintQuality,
                d.dmOrientation == DMORIENT_LANDSCAPE ? "landscape" : "portrait", info.cJobs,
                (info.attributes & PRINTER_ATTRIBUTE_DIRECT) ? ", prints directly" : ", spools");
    ClosePrinter(&printer);
  }
  return 0;
}

int Set(const std::string& name, const std::vector<std::string>& settings) {
  PrinterHandle printer;
  PrinterInfo2 info;
  if (!Open(name, &printer, &info)) return Fail("no printer \"" + name + "\"");
  DEVMODEA& d = info.devMode;
  for (const std::string& setting : settings) {
    size_t eq = setting.find('=');
    std::string key = setting.substr(0, eq),
                value = eq == std::string::npos ? "" : setting.substr(eq + 1);
    int number = std::atoi(value.c_str());
    if (key == "paper" && number > 0 && number < 256) {
      d.dmPaperSize = static_cast<int16_t>(number);
      d.dmFields = (d.dmFields | DM_PAPERSIZE) & ~(DM_PAPERWIDTH | DM_PAPERLENGTH);
    } else if (key == "dpi" && number > 0 && number < 2000) {
      d.dmPrintQuality = d.dmYResolution = static_cast<int16_t>(number);
      d.dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
    } else if (key == "orientation" && (value == "portrait" || value == "landscape")) {
      d.dmOrientation = value == "portrait" ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE;
      d.dmFields |= DM_ORIENTATION;
    } else {
      return Usage();
    }
  }
  bool stored = SetPrinter(printer, 2, info);
  ClosePrinter(&printer);
  return stored ? 0 : Fail("the settings of \"" + name + "\" were not stored");
}

int Print(const std::string& name, const std::string& file) {
  // The drivers announce what they wrote in the completion mapping.
  scrivex::CompletionMapping mapping;
  if (!scrivex::CreateCompletionMapping(&mapping)) {
    return Fail("the completion mapping cannot be made");
  }
  SubmittedJob job;
  bool printed = SubmitPrintJob(name, FullPath(file), SplitPath(file).name, &job);
  int files = printed ? scrivex::WaitForDriver(mapping, name) : 0;
  mapping.block.Close();
  if (!printed) return Fail(job.failure);
  std::printf("job %u printed, %d file(s) announced\n", job.jobId, files);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "list") return List();
  if (args.size() == 2 && args[0] == "default") {
    return SetDefaultPrinterA(args[1].c_str()) ? 0 : Fail("no printer \"" + args[1] + "\"");
  }
  if (args.size() >= 3 && args[0] == "set") return Set(args[1], {args.begin() + 2, args.end()});
  if (args.size() == 3 && args[0] == "print") return Print(args[1], args[2]);
  return Usage();
}
