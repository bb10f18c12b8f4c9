// What the office servers share: a document's pages printed through the
// office bridge, and the errors their members raise.
#ifndef SCRIVEX_SERVERS_OFFICE_PRINT_H_
#define SCRIVEX_SERVERS_OFFICE_PRINT_H_

#include <string>

#include "automation/automation.h"
#include "servers/office_bridge.h"

namespace scrivex {

// Raises the automation error of a failed member: an exception the
// application raised (DISP_E_EXCEPTION), the reason its description.
[[noreturn]] void RaiseOfficeError(const std::string& why);

// Exports what of the document is asked for and submits it as one job to the
// printer (empty: the default printer). With a paper (points), every page is
// scaled onto it, up or down. Raises an automation error when nothing printed.
void PrintOfficeDocument(const std::string& input, const OfficeExportOptions& what,
                         const std::string& printer, double paperWidth = 0, double paperHeight = 0);

// Reads the document the way the servers open it: raises when the office
// cannot, or when it is not of the kind the application opens.
OfficeDocumentInfo OpenOfficeDocument(const std::string& input, const char* kind);

// Pages from..to as the export takes them; from below 1 counts from 1.
std::string PageSpan(int from, int to);

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_OFFICE_PRINT_H_
