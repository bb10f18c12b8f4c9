// HTML files and web addresses, printed by the HTML creator object.
#ifndef SCRIVEX_APPS_HTML_ROUTE_H_
#define SCRIVEX_APPS_HTML_ROUTE_H_

#include <string>

#include "apps/print_job.h"

namespace scrivex {

constexpr const char* kQuireProgId = "Vellum.Quire";

// Hands the page, the job's printer, the -f paper and the -l wait time to
// "Vellum.Quire" and waits while it prints. 1 when it printed; 0 when the
// object is missing, raised an error or reports that it printed nothing
// (state -1).
int PrintHtmlWithCreator(PrintJob& job);

}  // namespace scrivex

#endif  // SCRIVEX_APPS_HTML_ROUTE_H_
