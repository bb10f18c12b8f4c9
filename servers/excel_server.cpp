// "Excel.Application": workbooks (.xls and whatever the office reads as a
// spreadsheet) printed through the office bridge, all sheets or one, each
// sheet on the paper its page setup names.
#include <algorithm>
#include <map>
#include <memory>

#include "automation/excel_members.h"
#include "common/paper_sizes.h"
#include "printer/device_settings.h"
#include "servers/office_print.h"
#include "servers/register_servers.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

constexpr int kConstants = 2, kFormulas = -4123;
constexpr double kMm100PerPoint = 2540.0 / 72;

struct Workbook {
  std::string path;
  OfficeDocumentInfo info;
  std::map<int, std::pair<int, int>> paper;  // by sheet, hundredths of a mm
  std::map<int, int> paperCode;
};

// Asks the workbook is still open: its objects outlive Workbooks.Close.
Workbook& Open(const std::shared_ptr<Workbook>& book) {
  if (book->path.empty()) RaiseOfficeError("the workbook is closed");
  return *book;
}

class Counted : public Dispatch {
 public:
  explicit Counted(int count) : count_(count) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& /*args*/) override {
    if (dispid == excel::kCount && kind == InvokeKind::kGet) return I4(count_);
    ThrowUnknownMember("Excel collection", dispid, kind);
  }

 private:
  int count_;
};

// A sheet's used range: it only answers which kinds of cells it holds.
class UsedRange : public Dispatch {
 public:
  UsedRange(std::shared_ptr<Workbook> book, int sheet) : book_(std::move(book)), sheet_(sheet) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (dispid == excel::kSpecialCells && kind == InvokeKind::kMethod) {  // type, value
      RequireArgs(args, 1, "SpecialCells");
      const OfficeSheetInfo& sheet = Open(book_).info.sheets[sheet_ - 1];
      const int type = ToInt(args[0]);
      if (type != kConstants && type != kFormulas) {
        RaiseOfficeError("SpecialCells finds constants or formulas, not type " +
                         std::to_string(type));
      }
      if (!(type == kConstants ? sheet.constants : sheet.formulas)) {
        throw AutomationError(DISP_E_EXCEPTION, "No cells were found.");
      }
      return Object(std::make_shared<UsedRange>(book_, sheet_));
    }
    ThrowUnknownMember("Excel.Range", dispid, kind);
  }

 private:
  std::shared_ptr<Workbook> book_;
  int sheet_;
};

class PageSetup : public Dispatch {
 public:
  PageSetup(std::shared_ptr<Workbook> book, int sheet) : book_(std::move(book)), sheet_(sheet) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (dispid == excel::kPaperSize && kind == InvokeKind::kPut) {
      RequireArgs(args, 1, "PaperSize");
      const int code = ToInt(args[0]);
      double width, height;
      if (code == kUserDefinedPaper) {
        Open(book_).paper.erase(sheet_);  // the printer's, once it is known
      } else if (PaperSizePoints(code, &width, &height)) {
        Open(book_).paper[sheet_] = {static_cast<int>(width * kMm100PerPoint + 0.5),
                                     static_cast<int>(height * kMm100PerPoint + 0.5)};
      } else {
        RaiseOfficeError("Unable to set the PaperSize property: no paper " + std::to_string(code));
      }
      book_->paperCode[sheet_] = code;
      return Variant{};
    }
    if (dispid == excel::kPaperSize && kind == InvokeKind::kGet) {
      auto it = Open(book_).paperCode.find(sheet_);
      return I4(it == book_->paperCode.end() ? 0 : it->second);
    }
    ThrowUnknownMember("Excel.PageSetup", dispid, kind);
  }

 private:
  std::shared_ptr<Workbook> book_;
  int sheet_;
};

// PrintOut(from, to, copies, preview, printer, ...) of some sheets' pages.
void PrintSheets(Workbook& book, const std::vector<int>& sheets, std::vector<Variant>& args) {
  OfficeExportOptions what;
  what.parts = sheets;
  auto given = [&](size_t i) { return i < args.size() && !IsOmitted(args[i]); };
  const std::string printer = given(4) ? ToString(args[4]) : "";
  for (int sheet : sheets) {
    auto it = book.paper.find(sheet);
    if (it != book.paper.end()) what.sheetPaper[sheet] = it->second;
    auto code = book.paperCode.find(sheet);
    if (code != book.paperCode.end() && code->second == kUserDefinedPaper) {
      int width = 0, length = 0;
      if (!PrinterCustomPaper(printer.empty() ? spool::DefaultPrinterName() : printer, &width,
                              &length)) {
        RaiseOfficeError("the printer has no user-defined paper size");
      }
      what.sheetPaper[sheet] = {width * 10, length * 10};  // tenths to hundredths of a mm
    }
  }
  if (given(0) && given(1)) {
    what.pageRange = PageSpan(ToInt(args[0]), ToInt(args[1]));
  } else if (given(0) || given(1)) {  // to the end, or from the start
    what.pageRange =
        given(0) ? std::to_string(std::max(1, ToInt(args[0]))) + "-" : PageSpan(1, ToInt(args[1]));
  }
  if (given(3) && ToBool(args[3])) RaiseOfficeError("there is no print preview here");
  const int copies = given(2) ? ToInt(args[2]) : 1;
  for (int copy = 0; copy < copies; ++copy) PrintOfficeDocument(book.path, what, printer);
}

class Worksheet : public Dispatch {
 public:
  Worksheet(std::shared_ptr<Workbook> book, int sheet) : book_(std::move(book)), sheet_(sheet) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    const OfficeSheetInfo& sheet = Open(book_).info.sheets[sheet_ - 1];
    if (kind == InvokeKind::kGet) {
      switch (dispid) {
        case excel::kName:
          return Bstr(sheet.name);
        case excel::kPageSetup:
          return Object(std::make_shared<PageSetup>(book_, sheet_));
        case excel::kUsedRange:
          return Object(std::make_shared<UsedRange>(book_, sheet_));
        case excel::kCharts:
          return Object(std::make_shared<Counted>(sheet.charts));
        case excel::kDrawnObjects:
          return Object(std::make_shared<Counted>(sheet.drawnObjects));
        case excel::kShapes:
          return Object(std::make_shared<Counted>(sheet.shapes));
      }
    }
    if (dispid == excel::kPrintOut && kind == InvokeKind::kMethod) {
      PrintSheets(*book_, {sheet_}, args);
      return Variant{};
    }
    ThrowUnknownMember("Excel.Worksheet", dispid, kind);
  }

 private:
  std::shared_ptr<Workbook> book_;
  int sheet_;
};

class Worksheets : public Dispatch {
 public:
  explicit Worksheets(std::shared_ptr<Workbook> book) : book_(std::move(book)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    const int count = static_cast<int>(Open(book_).info.sheets.size());
    if (dispid == excel::kCount && kind == InvokeKind::kGet) return I4(count);
    if (dispid == excel::kItem && kind == InvokeKind::kGet) {  // number or name
      RequireArgs(args, 1, "Item");
      const Variant& index = (args[0].vt & VT_BYREF) ? *args[0].ref : args[0];
      int n = 0;
      if (index.vt == VT_BSTR) {
        for (int i = 0; i < count; ++i)
          if (book_->info.sheets[i].name == index.text) n = i + 1;
      } else {
        n = ToInt(index);
      }
      if (n < 1 || n > count) throw AutomationError(DISP_E_EXCEPTION, "Subscript out of range");
      return Object(std::make_shared<Worksheet>(book_, n));
    }
    if (dispid == excel::kPrintOut && kind == InvokeKind::kMethod) {
      std::vector<int> all;
      for (int n = 1; n <= count; ++n) all.push_back(n);
      PrintSheets(*book_, all, args);
      return Variant{};
    }
    ThrowUnknownMember("Excel.Worksheets", dispid, kind);
  }

 private:
  std::shared_ptr<Workbook> book_;
};

class WorkbookObject : public Dispatch {
 public:
  explicit WorkbookObject(std::shared_ptr<Workbook> book) : book_(std::move(book)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& /*args*/) override {
    if (dispid == excel::kWorksheets && kind == InvokeKind::kGet) {
      Open(book_);
      return Object(std::make_shared<Worksheets>(book_));
    }
    ThrowUnknownMember("Excel.Workbook", dispid, kind);
  }

 private:
  std::shared_ptr<Workbook> book_;
};

struct ExcelState {
  std::shared_ptr<Workbook> active;
};

class Workbooks : public Dispatch {
 public:
  explicit Workbooks(std::shared_ptr<ExcelState> state) : state_(std::move(state)) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (dispid == excel::kOpen && kind == InvokeKind::kMethod) {  // path, 12 options
      RequireArgs(args, 1, "Open");
      auto book = std::make_shared<Workbook>();
      book->info = OpenOfficeDocument(ToString(args[0]), "workbook");
      book->path = ToString(args[0]);
      if (state_->active) state_->active->path.clear();
      state_->active = book;
      return Object(std::make_shared<WorkbookObject>(book));
    }
    if (dispid == excel::kClose && kind == InvokeKind::kMethod) {
      if (state_->active) state_->active->path.clear();
      state_->active.reset();
      return Variant{};
    }
    ThrowUnknownMember("Excel.Workbooks", dispid, kind);
  }

 private:
  std::shared_ptr<ExcelState> state_;
};

class ExcelApp : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    switch (kind) {
      case InvokeKind::kPut:
        // DisplayAlerts, Visible, ScreenUpdating and the other switches: it
        // never shows, asks or updates anything.
        if (dispid == excel::kDisplayAlerts || dispid == excel::kVisible ||
            dispid == excel::kSwitch1212 || dispid == excel::kScreenUpdating ||
            dispid == excel::kSwitch992 || dispid == excel::kSwitch356) {
          RequireArgs(args, 1, "switch");
          ToBool(args[0]);
          return Variant{};
        }
        break;
      case InvokeKind::kGet:
        if (dispid == excel::kWorkbooks) return Object(std::make_shared<Workbooks>(state_));
        if (dispid == excel::kWorksheets) {
          if (!state_->active) RaiseOfficeError("no workbook is open");
          return Object(std::make_shared<Worksheets>(state_->active));
        }
        break;
      case InvokeKind::kMethod:
        if (dispid == excel::kQuit) {
          if (state_->active) state_->active->path.clear();
          state_->active.reset();
          EndOffice();
          return Variant{};
        }
        break;
    }
    ThrowUnknownMember("Excel.Application", dispid, kind);
  }

 private:
  std::shared_ptr<ExcelState> state_ = std::make_shared<ExcelState>();
};

}  // namespace

void RegisterExcelServer() {
  RegisterServer("Excel.Application", []() -> std::shared_ptr<Dispatch> {
    if (!OfficeAvailable()) return nullptr;
    return std::make_shared<ExcelApp>();
  });
}

}  // namespace scrivex
