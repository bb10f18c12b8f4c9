// The "Brindle Converter and Creator" printer's driver: writes each job as
// the creator settings record asks, and announces the file it wrote.
#include "printer/creator_job.h"
#include "printer/driver_run.h"
#include "printer/quire_settings.h"

int main(int argc, char** argv) {
  return scrivex::RunPrinterDriver(
      argc, argv, "creator-driver",
      [](const std::string& stream, std::vector<std::string>* written, bool* announce,
         std::string* why, const scrivex::ProgressSink& progress) {
        scrivex::QuireSettings record;
        scrivex::LoadQuireSettings(&record);
        // Announced too, so a successful print never waits out the idle polls.
        *announce = true;
        return scrivex::WriteCreatorJob(stream, record, written, why, progress);
      });
}
