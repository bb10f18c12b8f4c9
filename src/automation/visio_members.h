// The members of "Visio.Application" and its objects, by number: the route
// that calls them and the server that answers read them here.
#ifndef SCRIVEX_AUTOMATION_VISIO_MEMBERS_H_
#define SCRIVEX_AUTOMATION_VISIO_MEMBERS_H_

namespace scrivex::visio {

// Application
constexpr int kDocuments = 4;  // get
constexpr int kQuit = 9;
constexpr int kStartupSwitch = 67;  // put: false once, right after the application is made
// Documents
constexpr int kOpenWithFlags = 6;
// Document
constexpr int kPrintLayout0 = 64;  // put: set to 0
constexpr int kPrintLayout1 = 45;  // put: the three settings set to 1
constexpr int kPrintLayout2 = 46;
constexpr int kPrintLayout3 = 48;
constexpr int kPrint = 22;
constexpr int kSaved = 10;  // put: 1 after printing, no save needed
constexpr int kClose = 23;

}  // namespace scrivex::visio

#endif  // SCRIVEX_AUTOMATION_VISIO_MEMBERS_H_
