// The jobs waiting in a printer's queue.
#ifndef SCRIVEX_PRINTER_PRINTER_JOBS_H_
#define SCRIVEX_PRINTER_PRINTER_JOBS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace scrivex {

// Fills jobs with the ids of the jobs queued for the printer, in queue
// order; 1 on success, 0 (with the reason on standard error) on failure.
int GetAllPrinterJobs(const std::string& printerName, std::vector<uint32_t>* jobs);

}  // namespace scrivex

#endif  // SCRIVEX_PRINTER_PRINTER_JOBS_H_
