#include "apps/shell_verb.h"

#include <gtest/gtest.h>

#include "common/registry.h"
#include "platform/files.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

using Args = std::vector<std::string>;

void SetDefault(const std::string& keyPath, const std::string& value) {
  KeyHandle key = CreateKey(RegistryRoot::kClassesRoot, keyPath);
  ASSERT_EQ(WriteStringValue(key, "", value), 1);
  CloseKey(key);
}

TEST(ShellVerb, TheHelperForItsTypesTheUsersOwnKeptAndTheNameOneArgument) {
  test::ScratchDir dir;
  const std::string hostile = dir.Path("a \"q\" %1 x\" --foo.docx");
  EXPECT_TRUE(ShellPrintCommand(hostile).empty());  // nothing registered yet
  SetDefault(".pdf", "Viewer.Pdf");
  SetDefault("Viewer.Pdf\\shell\\print\\command", "viewer -p \"--in=%1\" --quiet");
  SetDefault(".eps", "Viewer.Eps");
  SetDefault("Viewer.Eps\\shell\\print\\command", "\"/opt/eps viewer\" /p");

  RegisterPrintHelpers();
  const std::string helper = platform::ProgramDirectory() + "print-helper";
  EXPECT_EQ(ShellPrintCommand(hostile), (Args{helper, hostile}));
  EXPECT_EQ(ShellPrintCommand(dir.Path("b.PDF")),
            (Args{"viewer", "-p", "--in=" + dir.Path("b.PDF"), "--quiet"}));
  EXPECT_EQ(ShellPrintCommand(dir.Path("c.eps")),
            (Args{"/opt/eps viewer", "/p", dir.Path("c.eps")}));
  EXPECT_TRUE(ShellPrintCommand(dir.Path("d.doc")).empty());  // a route of its own
  EXPECT_TRUE(ShellPrintCommand(dir.Path("noext")).empty());
}

}  // namespace
}  // namespace scrivex
