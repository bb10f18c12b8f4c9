// One file's conversion while it runs: what was asked for, the printer its
// documents go to and why it failed.
// Each conversion has its own record and hands it down the road it takes, so
// two conversions can run side by side in one process.
#ifndef SCRIVEX_COMMON_JOB_H_
#define SCRIVEX_COMMON_JOB_H_

#include <string>
#include <vector>

#include "common/conversion_options.h"
#include "common/progress_report.h"

namespace scrivex {

struct Job {
  ConversionOptions options;
  // The creator printer, or Inkwell for -e (and, by the pipeline, for
  // metafile outputs).
  std::string printer = kCreatorPrinterName;
  std::string failure;  // the first reason noted (NoteFailure(&job.failure, ...))
  // The files the conversion wrote, in page order, under their final names.
  std::vector<std::string> written;
  // Where the steps tell how far they got; empty: nobody watches.
  ProgressSink progress = {};
};

}  // namespace scrivex

#endif  // SCRIVEX_COMMON_JOB_H_
