// The "Inkwell" printer's driver, run by the spooler for each job:
//   inkwell-driver <print stream> <printer name> <job id> <state root>
// It reads the job's settings from the driver's ini file, writes the files
// they ask for and announces them in the completion mapping. Exit 0 when
// the job was written or dropped, 1 when it failed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "printer/completion_mapping.h"
#include "printer/inkwell_job.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: inkwell-driver STREAM PRINTER JOB STATE-ROOT\n");
    return 2;
  }
  const std::string stream = argv[1];
  // The spooler names the state root: children of office programs and
  // browsers may have cleaned the environment.
  setenv("SCRIVEX_HOME", argv[4], 1);
  scrivex::InkwellJob job = scrivex::ReadInkwellJob(scrivex::InkwellConfigFile());
  if (!job.autoSave) return 0;  // nobody prepared this print: write nothing
  std::vector<std::string> written;
  std::string why;
  if (!scrivex::WriteInkwellJob(stream, job, &written, &why)) {
    std::fprintf(stderr, "inkwell-driver: job %s on %s: %s\n", argv[3], argv[2], why.c_str());
    return 1;
  }
  if (job.announce && !scrivex::AnnounceFiles(written)) {
    std::fprintf(stderr, "inkwell-driver: job %s: the files could not be announced\n", argv[3]);
  }
  return 0;
}
