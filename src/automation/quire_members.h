// The members of the HTML creator object "Vellum.Quire", by number: the
// route that calls them and the server that answers read them here.
#ifndef SCRIVEX_AUTOMATION_QUIRE_MEMBERS_H_
#define SCRIVEX_AUTOMATION_QUIRE_MEMBERS_H_

namespace scrivex::quire {

constexpr int kInput = 2;         // put
constexpr int kOutputFile = 10;   // put
constexpr int kStart = 15;        // method
constexpr int kState = 16;        // get: 1 while printing
constexpr int kPaperWidth = 17;   // put, points
constexpr int kPaperLength = 18;  // put, points
constexpr int kPaperSize = 19;    // put: a paper code, -1 for the width and length
constexpr int kWaitEnabled = 38;  // put
constexpr int kWaitMs = 39;       // put
constexpr int kPrinterName = 44;  // put
// Our own: put 1 keeps the object's browser running for its next page (the
// run's -D), until the object goes.
constexpr int kKeepBrowser = 100;

}  // namespace scrivex::quire

#endif  // SCRIVEX_AUTOMATION_QUIRE_MEMBERS_H_
