// The members of "Word.Application" and its objects, by number: the route
// that calls them and the server that answers read them here.
#ifndef SCRIVEX_AUTOMATION_WORD_MEMBERS_H_
#define SCRIVEX_AUTOMATION_WORD_MEMBERS_H_

namespace scrivex::word {

// Application
constexpr int kDocuments = 6;            // get
constexpr int kVisible = 23;             // put
constexpr int kActivePrinter = 66;       // put
constexpr int kBackgroundPrinting = 86;  // get: not 0 while a background print runs
constexpr int kPrintOut = 302;           // 15 arguments
constexpr int kPrintOutZoomed = 448;     // 19 arguments, with the print-zoom paper
constexpr int kQuit = 1105;              // save, format, route
// Documents
constexpr int kOpen = 12;
// Document
constexpr int kClose = 1105;  // save, format, route

}  // namespace scrivex::word

#endif  // SCRIVEX_AUTOMATION_WORD_MEMBERS_H_
