#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

#include "apps/routes.h"
#include "automation/automation.h"
#include "automation/excel_members.h"
#include "automation/powerpoint_members.h"
#include "automation/word_members.h"
#include "platform/profile.h"
#include "platform/test_support.h"
#include "printer/device_settings.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

using ::testing::ElementsAre;

struct Invocation {
  std::string object;
  int dispid;
  InvokeKind kind;
  std::vector<Variant> args;  // by-reference arguments resolved
};

// An automation object that logs every call and answers from a table by
// member number, or from a function for the members that depend on args.
class Fake : public Dispatch {
 public:
  Fake(std::string name, std::vector<Invocation>* log) : name_(std::move(name)), log_(log) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    std::vector<Variant> resolved;
    for (const Variant& v : args) resolved.push_back((v.vt & VT_BYREF) ? *v.ref : v);
    log_->push_back({name_, dispid, kind, resolved});
    if (answer) return answer(dispid, args);
    auto it = answers.find(dispid);
    return it == answers.end() ? Variant{} : it->second;
  }
  std::map<int, Variant> answers;
  std::function<Variant(int, std::vector<Variant>&)> answer;

 private:
  std::string name_;
  std::vector<Invocation>* log_;
};

class OfficeRoutes : public ::testing::Test {
 protected:
  std::shared_ptr<Fake> Make(const std::string& name) {
    return std::make_shared<Fake>(name, &log_);
  }
  // The calls to one object's member, in order.
  std::vector<Invocation> CallsTo(const std::string& object, int dispid) const {
    std::vector<Invocation> found;
    for (const Invocation& i : log_)
      if (i.object == object && i.dispid == dispid) found.push_back(i);
    return found;
  }
  void Serve(const char* progId, std::shared_ptr<Fake> app) {
    RegisterServer(progId, [app] { return app; });
  }
  // A fresh job for the input and output with options_ and printer_.
  PrintJob& Job(const std::string& input, const std::string& output) {
    job_.emplace();
    job_->input = input;
    job_->output = output;
    job_->printer = printer_;
    job_->options = options_;
    job_->run = &run_;
    job_->why = &why_;
    why_.clear();
    return *job_;
  }
  test::ScratchDir dir_;
  std::vector<Invocation> log_;
  ConversionOptions options_;
  std::string printer_ = kCreatorPrinterName;
  PrintRun run_;
  std::string why_;
  std::optional<PrintJob> job_;
};

// Pages as a list, the zoom paper, and background printing that ignores the
// zoom and waits for the application.
TEST_F(OfficeRoutes, WordPrintOutForms) {
  auto app = Make("app"), documents = Make("documents"), document = Make("document");
  app->answers = {{word::kDocuments, Object(documents)}, {word::kBackgroundPrinting, I4(0)}};
  documents->answers = {{word::kOpen, Object(document)}};
  Serve("Word.Application", app);

  options_.pageRange = "3";
  options_.printZoomPaper = "11907x16839";
  ASSERT_EQ(PrintWithWord(Job("/in/a.doc", "/out/a.pdf")), 1);
  options_.hidePrintDialog = 1;
  ASSERT_EQ(PrintWithWord(Job("/in/a.doc", "/out/a.pdf")), 1);

  auto zoomed = CallsTo("app", word::kPrintOutZoomed);
  ASSERT_EQ(zoomed.size(), 1u);
  EXPECT_EQ(zoomed[0].args.size(), 19u);
  EXPECT_EQ(ToInt(zoomed[0].args[2]), 4);
  EXPECT_EQ(ToString(zoomed[0].args[8]), "3");
  EXPECT_EQ(ToInt(zoomed[0].args[17]) * 100000 + ToInt(zoomed[0].args[18]), 1190716839);
  auto background = CallsTo("app", word::kPrintOut);
  ASSERT_EQ(background.size(), 1u);
  EXPECT_EQ(background[0].args.size(), 15u);
  EXPECT_TRUE(ToBool(background[0].args[0]));
  EXPECT_EQ(CallsTo("app", word::kBackgroundPrinting).size(), 1u);
  // Quit after each document, closed without saving each time.
  EXPECT_EQ(CallsTo("app", word::kQuit).size(), 2u);
  EXPECT_FALSE(ToBool(CallsTo("document", word::kClose)[0].args[0]));
}

// Three sheets, the second empty: two sheet files named for the output,
// listed for the join in a private folder with -E 0; -E 1 lists none;
// paper codes from -f.
TEST_F(OfficeRoutes, ExcelSheetsByMode) {
  auto app = Make("app"), workbooks = Make("workbooks"), sheets = Make("sheets");
  auto none = Make("none"), some = Make("some"), used = Make("used"), setup = Make("setup");
  std::vector<std::shared_ptr<Fake>> sheet;
  for (int n = 1; n <= 3; ++n) sheet.push_back(Make("sheet" + std::to_string(n)));
  none->answers = {{excel::kCount, I4(0)}};
  some->answers = {{excel::kCount, I4(2)}};
  used->answer = [&](int, std::vector<Variant>&) -> Variant {
    throw AutomationError(DISP_E_EXCEPTION, "no cells");
  };
  for (int n = 0; n < 3; ++n) {
    sheet[n]->answers = {{excel::kUsedRange, Object(used)},
                         {excel::kCharts, Object(none)},
                         {excel::kDrawnObjects, Object(none)},
                         {excel::kShapes, Object(n == 1 ? none : some)},
                         {excel::kName, Bstr("S" + std::to_string(n + 1))},
                         {excel::kPageSetup, Object(setup)}};
  }
  sheets->answer = [&](int dispid, std::vector<Variant>& args) -> Variant {
    if (dispid == excel::kCount) return I4(3);
    if (dispid == excel::kItem) return Object(sheet[ToInt(args[0]) - 1]);
    return Variant{};
  };
  app->answers = {{excel::kWorkbooks, Object(workbooks)}, {excel::kWorksheets, Object(sheets)}};
  Serve("Excel.Application", app);

  options_.paperSize = "11x17in";
  ASSERT_EQ(PrintWithExcel(Job("/in/b.xls", dir_.Path("out.pdf"))), 1);
  const OutputFileList& files = job_->outputFiles;
  ASSERT_EQ(files.files.size(), 2u);
  EXPECT_EQ(files.files[0], files.privateFolder.path() + "out-0001.pdf");
  EXPECT_EQ(files.files[1], files.privateFolder.path() + "out-0002.pdf");
  EXPECT_EQ(CallsTo("sheet2", excel::kPrintOut).size(), 0u);

  // Printing to Inkwell, each sheet is named in its driver's settings.
  printer_ = kInkwellPrinterName;
  options_.excelMode = 1;
  options_.paperSize = "abc";
  ASSERT_EQ(PrintWithExcel(Job("/in/b.xls", dir_.Path("out.pdf"))), 1);
  EXPECT_TRUE(job_->outputFiles.files.empty());
  EXPECT_EQ(platform::GetProfileString(spool::InkwellConfigPath(), "AutoSave", "OutputFile", ""),
            dir_.Path("out-0002.pdf"));
  std::vector<int> papers;
  for (const Invocation& i : CallsTo("setup", excel::kPaperSize))
    papers.push_back(ToInt(i.args[0]));
  EXPECT_THAT(papers, ElementsAre(kUserDefinedPaper, kUserDefinedPaper, 1, 1));
}

TEST_F(OfficeRoutes, EmptyPresentationAndSlideRange) {
  auto app = Make("app"), list = Make("list"), deck = Make("deck"), slides = Make("slides");
  app->answers = {{powerpoint::kPresentations, Object(list)}};
  list->answers = {{powerpoint::kOpen, Object(deck)}};
  deck->answers = {{powerpoint::kSlides, Object(slides)},
                   {powerpoint::kPrintOptions, Object(Make("print options"))}};
  slides->answers = {{powerpoint::kCount, I4(0)}};
  Serve("PowerPoint.Application", app);
  EXPECT_EQ(PrintWithPowerPoint(Job("/in/c.ppt", "/out/c.pdf")), 1);
  EXPECT_TRUE(CallsTo("deck", powerpoint::kPrintOut).empty());
  EXPECT_EQ(CallsTo("deck", powerpoint::kClose).size(), 1u);

  // A range reads as it does everywhere else: "0,4" is slide 4 alone.
  slides->answers = {{powerpoint::kCount, I4(9)}};
  options_.pageRange = "0,4";
  EXPECT_EQ(PrintWithPowerPoint(Job("/in/c.ppt", "/out/c.pdf")), 1);
  auto printed = CallsTo("deck", powerpoint::kPrintOut);
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(ToInt(printed[0].args[0]) * 100 + ToInt(printed[0].args[1]), 404);
}

// -D keeps one application for the run's documents; a failure is noted in
// the job that met it, in the application's own words when it raised them.
TEST_F(OfficeRoutes, KeptApplicationAndEachJobsFailure) {
  int created = 0;
  auto app = Make("app"), documents = Make("documents"), document = Make("document");
  app->answers = {{word::kDocuments, Object(documents)}};
  documents->answer = [&](int, std::vector<Variant>& args) -> Variant {
    const std::string path = ToString(*args[0].ref);
    if (path == "/in/dies.doc") {
      throw AutomationError(DISP_E_EXCEPTION, "the office died while it tried to print dies.doc");
    }
    if (path == "/in/odd.doc") throw AutomationError(DISP_E_TYPEMISMATCH, "type mismatch");
    return Object(document);
  };
  RegisterServer("Word.Application", [&]() -> std::shared_ptr<Dispatch> {
    ++created;
    return app;
  });
  options_.fastOfficeMode = 1;
  EXPECT_EQ(PrintWithWord(Job("/in/a.doc", "/out/a.pdf")), 1);
  EXPECT_EQ(PrintWithWord(Job("/in/dies.doc", "/out/b.pdf")), 0);
  EXPECT_EQ(why_, "the office died while it tried to print dies.doc");
  EXPECT_EQ(PrintWithWord(Job("/in/odd.doc", "/out/c.pdf")), 0);
  EXPECT_EQ(why_, "Word failed: type mismatch");
  EXPECT_EQ(PrintWithWord(Job("/in/a.doc", "/out/d.pdf")), 1);
  EXPECT_EQ(why_, "");
  EXPECT_EQ(created, 1);
  EXPECT_TRUE(CallsTo("app", word::kQuit).empty());
  QuitKeptApplications(run_);
  EXPECT_EQ(CallsTo("app", word::kQuit).size(), 1u);
  EXPECT_FALSE(run_.kept[kWord]);
}

}  // namespace
}  // namespace scrivex
