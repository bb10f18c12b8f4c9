// The "Brindle Converter and Creator" printer's driver, run by the spooler
// for each job:
//   creator-driver <print stream> <printer name> <job id> <state root>
// It reads the creator settings record, writes the file it names and
// announces it in the completion mapping. Exit 0 when written, 1 when the
// job wrote nothing.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pdf/quire_settings.h"
#include "printer/completion_mapping.h"
#include "printer/creator_job.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: creator-driver STREAM PRINTER JOB STATE-ROOT\n");
    return 2;
  }
  // The spooler names the state root: children of office programs and
  // browsers may have cleaned the environment.
  setenv("SCRIVEX_HOME", argv[4], 1);
  scrivex::QuireSettings record;
  scrivex::LoadQuireSettings(&record);
  std::vector<std::string> written;
  std::string why;
  if (!scrivex::WriteCreatorJob(argv[1], record, &written, &why)) {
    std::fprintf(stderr, "creator-driver: job %s on %s: %s\n", argv[3], argv[2], why.c_str());
    return 1;
  }
  // Announced too, so a successful print never waits out the idle polls.
  if (!scrivex::AnnounceFiles(written)) {
    std::fprintf(stderr, "creator-driver: job %s: the files could not be announced\n", argv[3]);
  }
  return 0;
}
