#include <gtest/gtest.h>

#include "automation/automation.h"
#include "automation/quire_members.h"
#include "servers/devtools_json.h"
#include "servers/register_servers.h"

namespace scrivex {
namespace {

TEST(DevtoolsJson, ReadsMessagesAndRefusesBrokenOnes) {
  JsonValue m;
  ASSERT_TRUE(ParseJson(R"({"id":7,"result":{"data":"a\"b\\c\u00e9\ud83d\ude00","ok":true,)"
                        R"("list":[1,-2.5e1,null]},"sessionId":"S"})",
                        &m));
  EXPECT_EQ(m.Number("id"), 7);
  const JsonValue* result = m.Find("result");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->Text("data"), "a\"b\\c\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(result->Find("list")->items[1].number, -25);
  EXPECT_EQ(m.Text("missing", "none"), "none");
  for (const char* bad : {"", "{", R"({"a":1,})", R"({"a" 1})", "[1] 2", R"("\x")", "tru"}) {
    EXPECT_FALSE(ParseJson(bad, &m)) << bad;
  }
  EXPECT_FALSE(ParseJson(std::string(1000, '['), &m));  // no stack overflow
  ASSERT_TRUE(ParseJson(JsonQuote("q\"\\\n\x01"), &m));
  EXPECT_EQ(m.text, "q\"\\\n\x01");

  std::string bytes;
  EXPECT_TRUE(DecodeBase64("JVBERi0=", &bytes));
  EXPECT_EQ(bytes, "%PDF-");
  EXPECT_FALSE(DecodeBase64("JVB*", &bytes));
  EXPECT_FALSE(DecodeBase64("J", &bytes));
}

TEST(QuireServer, UnknownMembersRaiseAndAMissingPagePrintsNothing) {
  RegisterServers();
  std::shared_ptr<Dispatch> quire = CreateObject("Vellum.Quire");
  if (!quire) GTEST_SKIP() << "neither a browser nor the office suite is installed";
  std::vector<Variant> none;
  EXPECT_THROW(quire->Invoke(99, InvokeKind::kGet, none), AutomationError);
  EXPECT_THROW(quire->Invoke(quire::kState, InvokeKind::kPut, none), AutomationError);
  EXPECT_THROW(Put(*quire, quire::kPaperSize, Bstr("A4")), AutomationError);
  EXPECT_EQ(ToInt(Get(*quire, quire::kState)), 0);

  Put(*quire, quire::kInput, Bstr("/no/such/page.html"));
  Call(*quire, quire::kStart);
  // The reason is raised once, as the application's own exception; the state stays -1.
  try {
    Get(*quire, quire::kState);
    ADD_FAILURE() << "a page that was not printed raises its reason";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.code, DISP_E_EXCEPTION);
    EXPECT_STREQ(e.what(), "the page could not be loaded: no such file");
  }
  EXPECT_EQ(ToInt(Get(*quire, quire::kState)), -1);
}

}  // namespace
}  // namespace scrivex
