// The per-input records of --json: one JSON object a line, for programs that
// read a run's results.
#ifndef SCRIVEX_DRIVER_JSON_REPORT_H_
#define SCRIVEX_DRIVER_JSON_REPORT_H_

#include <string>

#include "driver/pipeline.h"

namespace scrivex {

// {"input", "output", "result": "Successful"|"Failed", "files": [...],
// "pages", "reason" (when failed), "seconds"}, without a line end. A name
// that is not UTF-8 has its stray bytes replaced by U+FFFD.
std::string FileRecordJson(const FileRecord& record);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_JSON_REPORT_H_
