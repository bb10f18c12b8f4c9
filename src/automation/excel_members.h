// The members of "Excel.Application" and its objects, by number: the route
// that calls them and the server that answers read them here.
#ifndef SCRIVEX_AUTOMATION_EXCEL_MEMBERS_H_
#define SCRIVEX_AUTOMATION_EXCEL_MEMBERS_H_

namespace scrivex::excel {

// Application
constexpr int kDisplayAlerts = 343;   // put
constexpr int kVisible = 558;         // put
constexpr int kSwitch1212 = 1212;     // put: a switch set to false
constexpr int kScreenUpdating = 382;  // put
constexpr int kSwitch992 = 992;       // put: a switch set to false
constexpr int kSwitch356 = 356;       // put: a switch set to true
constexpr int kWorkbooks = 572;       // get
constexpr int kWorksheets = 494;      // get
constexpr int kQuit = 302;
// Workbooks
constexpr int kOpen = 682;
constexpr int kClose = 277;
// Worksheets and every collection below them
constexpr int kCount = 118;  // get
constexpr int kItem = 170;   // get
// Worksheets, Worksheet
constexpr int kPrintOut = 905;
// Worksheet
constexpr int kName = 110;           // get
constexpr int kPageSetup = 998;      // get
constexpr int kUsedRange = 412;      // get
constexpr int kCharts = 575;         // get: a collection
constexpr int kDrawnObjects = 1434;  // get: a collection of drawn objects other than charts
constexpr int kShapes = 1377;        // get
// Range
constexpr int kSpecialCells = 410;
// PageSetup
constexpr int kPaperSize = 1007;  // put, get

}  // namespace scrivex::excel

#endif  // SCRIVEX_AUTOMATION_EXCEL_MEMBERS_H_
