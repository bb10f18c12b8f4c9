// The "Inkwell" printer's driver: writes each job as the settings in the
// driver's ini file ask, or nothing when nobody prepared the print.
#include "printer/driver_run.h"
#include "printer/driver_settings.h"
#include "printer/inkwell_job.h"

int main(int argc, char** argv) {
  return scrivex::RunPrinterDriver(
      argc, argv, "inkwell-driver",
      [](const std::string& stream, std::vector<std::string>* written, bool* announce,
         std::string* why, const scrivex::ProgressSink& progress) {
        std::string ini;
        scrivex::GetDriverConfigPath(&ini);
        scrivex::InkwellJob job = scrivex::ReadInkwellJob(ini);
        *announce = job.announce;
        return !job.autoSave || scrivex::WriteInkwellJob(stream, job, written, why, progress);
      });
}
