// The "Brindle Converter and Creator" driver's work: the creator settings
// record (HKEY_CURRENT_USER "Software\brindle\quire") read when the job
// arrives, and the print stream written as the file it names.
#ifndef SCRIVEX_PRINTER_CREATOR_JOB_H_
#define SCRIVEX_PRINTER_CREATOR_JOB_H_

#include <string>
#include <vector>

#include "common/progress_report.h"
#include "printer/quire_settings.h"

namespace scrivex {

// Writes the stream as the record asks: with "AutomaticOutput" 1 and
// "AutomaticValue" 2, "AutomaticDirectory" as a PDF carrying the record's
// document information, encryption and page rotation, or, for another type,
// rendered at the record's resolution and depth. The written paths go to
// *written; false with *why set when the record asks for nothing (a print
// nobody prepared never overwrites the last job's output) or writing failed.
// How far it got goes to `progress`.
bool WriteCreatorJob(const std::string& stream, const QuireSettings& record,
                     std::vector<std::string>* written, std::string* why,
                     const ProgressSink& progress = {});

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_CREATOR_JOB_H_
