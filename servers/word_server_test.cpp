#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <thread>

#include "automation/automation.h"
#include "automation/word_members.h"
#include "platform/files.h"
#include "platform/process.h"
#include "servers/office_bridge_fake.h"
#include "servers/register_servers.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

using test::FakeOffice;
using test::ReadFakeRequest;

// Word's PrintOut range kinds.
constexpr int kAllPages = 0, kCurrentPage = 2, kFromTo = 3, kPageList = 4;

// A Word application over the stand-in office whose print jobs are held in
// a folder of the test's, not printed.
struct WordFixture {
  FakeOffice office;
  test::ScopedEnv env;
  std::string outbox = office.dir().Path("outbox/");
  std::shared_ptr<Dispatch> word;

  WordFixture() {
    mkdir(outbox.c_str(), 0700);
    env.Set(spool::kJobOutboxVariable, outbox);
    RegisterServers();
    word = CreateObject("Word.Application");
  }
  ~WordFixture() {
    if (word) Call(*word, word::kQuit, {OmittedArg, OmittedArg, OmittedArg});
  }
  std::shared_ptr<Dispatch> Open(const std::string& name, const std::string& what) {
    std::vector<Variant> args(1, Bstr(office.Document(name, what)));
    return ToObject(Call(*ToObject(Get(*word, word::kDocuments)), word::kOpen, args));
  }
  // PrintOut with the range's arguments; the others omitted.
  void Print(bool background, Variant range, Variant from = OmittedArg, Variant to = OmittedArg,
             Variant pages = OmittedArg) {
    std::vector<Variant> args(15, OmittedArg);
    args[0] = Bool(background);
    args[2] = range;
    args[4] = from;
    args[5] = to;
    args[8] = pages;
    Call(*word, word::kPrintOut, args);
  }
  // The page range the office was asked for in the held job `id` (from 1);
  // "none" when there is no such job.
  std::string PagesOfJob(uint32_t id) const {
    const std::string stream = spool::HeldStreamPath(outbox, id);
    if (!platform::IsRegularFile(stream)) return "none";
    const test::FakeRequest request = ReadFakeRequest(stream);
    return request.fields.size() > 3 ? request.fields[3] : "no record";
  }
  bool Busy() { return ToInt(Get(*word, word::kBackgroundPrinting)) != 0; }
  // Waits for the background print's end, however long the machine takes.
  void AwaitIdle() {
    for (int i = 0; i < 3000 && Busy(); ++i) platform::SleepMs(10);
  }
};

// What the call raised as the application's own exception.
std::string Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.code, DISP_E_EXCEPTION);
    return e.what();
  }
  return "nothing raised";
}

TEST(WordServer, PrintOutAsksTheOfficeForTheChosenPages) {
  WordFixture f;
  ASSERT_TRUE(f.word);
  EXPECT_THROW(f.Print(false, I4(kAllPages)), AutomationError);  // nothing open
  f.Open("letter.doc", "ok");
  f.Print(false, OmittedArg);
  f.Print(false, I4(kAllPages), I4(2), I4(3), Bstr("7"));
  f.Print(false, I4(kFromTo), I4(2), I4(4));
  f.Print(false, I4(kFromTo), I4(0), I4(3));
  f.Print(false, I4(kPageList), OmittedArg, OmittedArg, Bstr("1,3-5"));
  EXPECT_EQ(f.PagesOfJob(1), "");
  EXPECT_EQ(f.PagesOfJob(2), "");
  EXPECT_EQ(f.PagesOfJob(3), "2-4");
  EXPECT_EQ(f.PagesOfJob(4), "1-3");
  EXPECT_EQ(f.PagesOfJob(5), "1,3-5");
  EXPECT_EQ(test::ReadBytes(spool::HeldStreamPath(f.outbox, 1) + ".name"), "letter");

  // What cannot be printed raises its reason and prints nothing.
  EXPECT_EQ(Raised([&] { f.Print(false, I4(kCurrentPage)); }),
            "Word prints all pages, a span or a list of pages, not range 2");
  EXPECT_EQ(Raised([&] { f.Print(false, I4(kFromTo), I4(5), I4(2)); }), "no pages from 5 to 2");
  EXPECT_EQ(Raised([&] { f.Print(false, I4(kPageList), OmittedArg, OmittedArg, Bstr("1;3")); }),
            "bad page range or scale for the office export");
  f.Open("damaged.doc", "error the document is damaged");
  EXPECT_EQ(Raised([&] { f.Print(false, I4(kAllPages)); }),
            "the office could not print damaged.doc: the document is damaged");
  EXPECT_EQ(f.PagesOfJob(6), "none");
}

TEST(WordServer, ABackgroundPrintReadsBusyUntilItEndsAndCloseWaitsForIt) {
  WordFixture f;
  ASSERT_TRUE(f.word);
  // The stand-in answers once the test makes the file the document names.
  const std::string gate = f.office.dir().Path("gate");
  f.Open("slow.doc", "wait " + gate);
  f.Print(true, I4(kFromTo), I4(2), I4(3));
  EXPECT_TRUE(f.Busy());
  EXPECT_TRUE(f.Busy());
  EXPECT_EQ(f.PagesOfJob(1), "none");
  test::WriteBytes(gate, "");
  f.AwaitIdle();
  EXPECT_FALSE(f.Busy());
  EXPECT_EQ(f.PagesOfJob(1), "2-3");

  // Closed while it prints, the document is printed before Close returns.
  const std::string later = f.office.dir().Path("later");
  std::shared_ptr<Dispatch> document = f.Open("closing.doc", "wait " + later);
  f.Print(true, I4(kPageList), OmittedArg, OmittedArg, Bstr("4"));
  std::thread opener([&] {
    platform::SleepMs(200);
    test::WriteBytes(later, "");
  });
  Call(*document, word::kClose, {OmittedArg, OmittedArg, OmittedArg});
  EXPECT_EQ(f.PagesOfJob(2), "4");
  EXPECT_FALSE(f.Busy());
  opener.join();

  // A failed background print raises its reason, once, when it has ended.
  f.Open("damaged.doc", "error the document is damaged");
  f.Print(true, I4(kAllPages));
  EXPECT_EQ(Raised([&] { f.AwaitIdle(); }),
            "the office could not print damaged.doc: the document is damaged");
  EXPECT_FALSE(f.Busy());
  EXPECT_EQ(f.PagesOfJob(3), "none");
}

}  // namespace
}  // namespace scrivex
