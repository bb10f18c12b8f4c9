// The one LibreOffice bridge the office servers and the print helper share:
// one headless office per run, with a profile folder of its own (a shared
// profile would hand the work to another running office), driven over UNO by
// the helper script "office_bridge.py" beside the program, run by the
// system's python3. The office is kept for the run's next document and ended
// at exit; every answer it owes comes within the watchdog's time or the
// office is killed, and the next document starts a new one.
#ifndef SCRIVEX_SERVERS_OFFICE_BRIDGE_H_
#define SCRIVEX_SERVERS_OFFICE_BRIDGE_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace scrivex {

// What of a document to export; the defaults give all of it as laid out.
struct OfficeExportOptions {
  // Pages of the export, as "1,3-5"; empty: every page.
  std::string pageRange;
  // Sheets of a workbook or slides of a presentation, from 1; the others are
  // left out before the pages are counted. Empty: all.
  std::vector<int> parts;
  // A workbook's pages at this zoom in percent (10 to 400); 0: as its page
  // styles say. Other kinds of documents refuse it.
  int scalePercent = 0;
  // A workbook's sheets (from 1) on a paper of their own: width and height
  // in hundredths of a millimetre, turned to the sheet's orientation.
  std::map<int, std::pair<int, int>> sheetPaper;
};

// What a document holds, as far as the office servers ask.
struct OfficeSheetInfo {
  std::string name;
  bool constants = false;  // cells with values or texts
  bool formulas = false;
  int charts = 0;
  int drawnObjects = 0;  // drawn objects other than charts
  int shapes = 0;        // everything drawn, charts included
};
struct OfficeDocumentInfo {
  std::string kind;                     // "workbook", "presentation", "drawing" or "text"
  int partCount = 0;                    // sheets, slides or drawing pages; 0 for text
  std::vector<OfficeSheetInfo> sheets;  // a workbook's, in order
};

// The office program, the system's python3 and the helper script are there.
bool OfficeAvailable();

// Starts the run's office unless one is kept: 1 when it runs, else 0 with
// the reason noted in *why.
int StartOffice(std::string* why);

// Exports the document as a PDF at pdfPath, which only a complete export
// replaces. 1 written; 0 not, with the reason noted in *why; -1 for bad
// arguments or a missing input. Starts the office when none is kept.
// *partCount, when given, gets the number of sheets or slides the document
// has (0 for other kinds).
int ExportOfficePdf(const std::string& input, const std::string& pdfPath,
                    const OfficeExportOptions& options, int* partCount, std::string* why);

// Reads what the document holds: 1; 0 with the reason noted in *why; -1 for
// a missing input. Starts the office when none is kept.
int InspectOfficeDocument(const std::string& input, OfficeDocumentInfo* info, std::string* why);

// After a failed ExportOfficePdf or InspectOfficeDocument of the document:
// when the office died over it (not when it refused the document, ran out of
// time or hit its memory cap), converts it once more in a fresh office of its
// own through the office's command-line converter, boxed and under the
// watchdog, and writes the pages `pageRange` names ("1,3-5"; empty: all) as
// a PDF at pdfPath. *why holds the first try's reason: 1 written, *why
// emptied and the trace saying why; 0 when that failed too, *why naming both
// tries; -1 when the office did not die over the document, with nothing
// tried and *why left as it was.
int RetryWithOfficeConverter(const std::string& input, const std::string& pdfPath,
                             const std::string& pageRange, std::string* why);

// Ends the kept office; the next export starts a new one.
void EndOffice();

// The helper the bridge runs. Empty: office_bridge.py beside the program,
// for the office found in PATH, with the watchdog's time for each answer.
// Tests name a stand-in speaking the same lines without an office (no office
// program is needed then); the box shows it with its folder. answerMs > 0
// gives it that much time for an answer instead. Ends the kept office.
void UseOfficeHelper(const std::string& script, long long answerMs = 0);

}  // namespace scrivex

#endif  // SCRIVEX_SERVERS_OFFICE_BRIDGE_H_
