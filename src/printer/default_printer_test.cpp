#include "printer/default_printer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/registry.h"
#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

void RegisterOpenCommand(const std::string& command) {
  for (const auto& [path, value] : {std::pair<std::string, std::string>{".htm", "testhtml"},
                                    {"testhtml\\shell\\open\\command", command}}) {
    KeyHandle key = CreateKey(RegistryRoot::kClassesRoot, path);
    WriteStringValue(key, "", value);
    CloseKey(key);
  }
}

TEST(OpenUrl, TheAddressReachesTheRegisteredBrowserAsOneArgument) {
  const std::string address = "http://h/\"; rm x; \" -p \"a b\" %1 \\\"";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"\"/b b/web\" -n \"%1\" --after", {"/b b/web", "-n", address}},
      {"web --url=%1 -z", {"web", "--url=", address}},
      {"web -a", {"web", "-a", address}},
  };
  for (const auto& [command, expected] : cases) {
    test::ScratchDir dir;
    EXPECT_TRUE(RegisteredOpenCommand(address).empty());
    RegisterOpenCommand(command);
    EXPECT_EQ(RegisteredOpenCommand(address), expected) << command;
  }

  test::ScratchDir dir;
  test::ScopedEnv env;
  env.Set("PATH", dir.Path("bin"));  // no xdg-open to be found
  const std::string browser =
      dir.Write("browser", "#!/bin/sh\n{ echo $#; printf '[%s]\\n' \"$@\"; echo end; } >" +
                               dir.Path("args") + "\n");
  std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
  RegisterOpenCommand("\"" + browser + "\" --new \"%1\"");
  ASSERT_EQ(OpenUrlInBrowser(address), 1);
  std::string said;
  for (int i = 0; i < 400 && said.find("end\n") == std::string::npos; ++i) {
    platform::SleepMs(25);
    said = test::ReadBytes(dir.Path("args"));
  }
  EXPECT_EQ(said, "2\n[--new]\n[" + address + "]\nend\n");
}

}  // namespace
}  // namespace scrivex
