// The members of the PDF viewer's objects ("AcroExch.App", "AcroExch.AVDoc"
// and its document), by number: the route that calls them and the server
// that answers read them here.
#ifndef SCRIVEX_AUTOMATION_ACROBAT_MEMBERS_H_
#define SCRIVEX_AUTOMATION_ACROBAT_MEMBERS_H_

namespace scrivex::acrobat {

// App
constexpr int kExit = 1;
// AVDoc
constexpr int kOpen = 1;  // path, title
constexpr int kGetPDDoc = 2;
constexpr int kClose = 6;       // no save
constexpr int kPrintPages = 8;  // first, last, level, binary, shrink
// PDDoc
constexpr int kGetNumPages = 6;

}  // namespace scrivex::acrobat

#endif  // SCRIVEX_AUTOMATION_ACROBAT_MEMBERS_H_
