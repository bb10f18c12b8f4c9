#include "apps/html_route.h"

#include <gtest/gtest.h>

#include <map>

#include "apps/routes.h"
#include "automation/automation.h"
#include "automation/quire_members.h"

namespace scrivex {
namespace {

// Records what the route puts; reads "running" twice, then its final state.
struct FakeQuire : Dispatch {
  std::map<int, Variant> puts;
  int polls = 0, finalState = 0;
  bool broken = false, started = false;
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (broken) throw AutomationError(DISP_E_EXCEPTION, "broken");
    if (kind == InvokeKind::kPut) puts[dispid] = args.at(0);
    if (kind == InvokeKind::kMethod && dispid == quire::kStart) started = true;
    if (kind == InvokeKind::kGet && dispid == quire::kState)
      return I4(started && ++polls <= 2 ? 1 : finalState);
    return {};
  }
};

// Prints in.html to out.pdf with the options: the route's result, and *why
// what it noted.
int Print(const ConversionOptions& options, std::string* why = nullptr,
          const std::string& printer = "Inkwell") {
  PrintRun run;
  std::string noted;
  PrintJob job;
  job.input = "in.html";
  job.output = "out.pdf";
  job.printer = printer;
  job.options = options;
  job.run = &run;
  job.why = why ? why : &noted;
  return PrintHtmlWithCreator(job);
}

std::shared_ptr<FakeQuire> Install(int finalState = 0, bool broken = false) {
  auto fake = std::make_shared<FakeQuire>();
  fake->finalState = finalState;
  fake->broken = broken;
  RegisterServer(kQuireProgId, [fake] { return fake; });
  return fake;
}

TEST(PrintHtmlWithCreator, HandsPagePrinterPaperAndWaitToTheObject) {
  struct Case {
    const char* paper;
    int wait, code;
    float width, length;
  } cases[] = {{"8", 0, 8, -1, -1}, {"612x792pt", 10000, -1, 612, 792}, {"", 0, -1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.paper);
    auto fake = Install();
    ConversionOptions options;
    options.paperSize = c.paper;
    options.htmlWaitMs = c.wait;
    EXPECT_EQ(Print(options), 1);
    EXPECT_EQ(fake->polls, 3);
    EXPECT_EQ(fake->puts[quire::kPrinterName].text, "Inkwell");
    EXPECT_EQ(fake->puts[quire::kOutputFile].text, "out.pdf");
    EXPECT_EQ(fake->puts[quire::kInput].text, "in.html");
    // -1: not put at all.
    auto value = [&](int id) { return fake->puts.count(id) ? fake->puts[id].value : -1; };
    auto real = [&](int id) { return fake->puts.count(id) ? fake->puts[id].real : -1.0f; };
    EXPECT_EQ(value(quire::kPaperSize), c.code);
    EXPECT_EQ(real(quire::kPaperWidth), c.width);
    EXPECT_EQ(real(quire::kPaperLength), c.length);
    EXPECT_EQ(value(quire::kWaitEnabled), c.wait > 0 ? 1 : -1);
    EXPECT_EQ(value(quire::kWaitMs), c.wait > 0 ? c.wait : -1);
  }
  auto defaults = Install();
  EXPECT_EQ(Print({}, nullptr, kCreatorPrinterName), 1);
  EXPECT_EQ(defaults->puts[quire::kPrinterName].text, kCreatorPrinterName);
  EXPECT_EQ(defaults->puts[quire::kPaperSize].value, 1);
  EXPECT_EQ(defaults->puts.count(quire::kWaitEnabled), 0u);
}

TEST(PrintHtmlWithCreator, NothingPrintedIsNoSuccess) {
  Install(-1);
  EXPECT_EQ(Print({}), 0);
  Install(0, true);
  std::string why;
  EXPECT_EQ(Print({}, &why), 0);
  EXPECT_EQ(why, "broken") << "the object's own words";
  RegisterServer(kQuireProgId, [] { return nullptr; });
  testing::internal::CaptureStdout();
  EXPECT_EQ(Print({}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Can't locate 'Vellum.Quire' in this computer, please reinstall this product to try "
            "again.\n");
}

TEST(PrintHtmlWithCreator, WithDTheRunKeepsOneObjectForItsPagesUntilItQuits) {
  for (int fast : {0, 1}) {
    SCOPED_TRACE(fast);
    auto fake = std::make_shared<FakeQuire>();
    int created = 0;
    RegisterServer(kQuireProgId, [fake, &created] { return ++created, fake; });
    PrintRun run;
    std::string why;
    PrintJob job;
    job.options.fastOfficeMode = fast;
    job.run = &run;
    job.why = &why;
    EXPECT_EQ(PrintHtmlWithCreator(job), 1);
    EXPECT_EQ(PrintHtmlWithCreator(job), 1);
    EXPECT_EQ(created, fast ? 1 : 2);
    EXPECT_EQ(fake->puts.count(quire::kKeepBrowser), fast ? 1u : 0u);
    QuitKeptApplications(run);
    EXPECT_FALSE(run.keptQuire);
  }
}

}  // namespace
}  // namespace scrivex
