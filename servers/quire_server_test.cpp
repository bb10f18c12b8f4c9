#include <gtest/gtest.h>

#include "automation/automation.h"
#include "automation/quire_members.h"
#include "servers/register_servers.h"

namespace scrivex {
namespace {

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
