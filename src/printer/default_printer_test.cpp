#include "printer/default_printer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/registry.h"
#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

void RegisterOpenCommand(const std::string& command) {
  KeyHandle key = CreateKey(RegistryRoot::kClassesRoot, ".htm");
  WriteStringValue(key, "", "testhtml");
  CloseKey(key);
  key = CreateKey(RegistryRoot::kClassesRoot, "testhtml\\shell\\open\\command");
  WriteStringValue(key, "", command);
  CloseKey(key);
}

TEST(OpenUrl, RegisteredCommandKeepsTheAddressOneArgument) {
  const std::string address = "http://h/?q=\"a b\" \"-x\" %1 \\\"";
  struct Case {
    const char* command;
    std::vector<std::string> expected;  // the address follows
  };
  const std::vector<Case> cases = {
      {"\"/opt/b b/web\" -new \"%1\" --after", {"/opt/b b/web", "-new"}},
      {"web %1", {"web"}},
      {"web --url=%1 -z", {"web", "--url="}},
      {"web -a", {"web", "-a"}},
  };
  for (const Case& c : cases) {
    test::ScratchDir dir;
    EXPECT_TRUE(RegisteredOpenCommand(address).empty());
    RegisterOpenCommand(c.command);
    std::vector<std::string> expected = c.expected;
    expected.push_back(address);
    EXPECT_EQ(RegisteredOpenCommand(address), expected) << c.command;
  }
}

TEST(OpenUrl, StartsTheRegisteredBrowserWhenTheShellCannot) {
  test::ScratchDir dir;
  test::ScopedEnv env;
  env.Set("PATH", dir.Path("bin"));  // no xdg-open to be found
  const std::string script =
      dir.Write("browser",
                "#!/bin/sh\n{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; "
                "done; echo end; } > " +
                    dir.Path("args.txt") + "\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  RegisterOpenCommand("\"" + script + "\" --new \"%1\"");
  const std::string address = "http://h/\"; rm -rf x; \" -p \"a b\"";
  ASSERT_EQ(OpenUrlInBrowser(address), 1);
  std::string said;
  for (int i = 0; i < 400 && said.find("end\n") == std::string::npos; ++i) {
    platform::SleepMs(25);
    said = test::ReadBytes(dir.Path("args.txt"));
  }
  EXPECT_EQ(said, "2\n[--new]\n[" + address + "]\nend\n");
}

}  // namespace
}  // namespace scrivex
