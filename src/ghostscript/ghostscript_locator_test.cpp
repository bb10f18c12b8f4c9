#include "ghostscript/ghostscript_locator.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

// Every test gets its own state root (registry hives) and temporary folder.
class GhostscriptLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(P("tmp"));
    fs::permissions(P("tmp"), fs::perms::owner_all);
    env_.Set("TMPDIR", P("tmp"));
    SetSystemGhostscriptDirForTesting(P("nosystem"));
  }
  void TearDown() override { SetSystemGhostscriptDirForTesting(""); }
  std::string P(const std::string& name) const { return dir_.Path(name); }

  // A folder holding the program and the library; returns it with its "/".
  std::string MakeProgramDir(const std::string& name) {
    fs::create_directories(P(name));
    dir_.Write(name + "/gs", "");
    dir_.Write(name + "/libgs.so", "");
    return P(name + "/");
  }
  void Register(RegistryRoot root, const std::string& key, const std::string& dll,
                const std::string& lib) {
    KeyHandle handle = CreateKey(root, "SOFTWARE\\" + key);
    ASSERT_NE(handle, nullptr);
    WriteStringValue(handle, "GS_DLL", dll);
    WriteStringValue(handle, "GS_LIB", lib);
    CloseKey(handle);
  }

  test::ScratchDir dir_;
  test::ScopedEnv env_;
};

TEST_F(GhostscriptLocatorTest, FixedPlacesInOrderBeforeTheRegistry) {
  EXPECT_EQ(FixedGhostscriptCandidates(),
            (std::vector<std::string>{platform::ProgramDirectory() + "gs/", P("tmp/p2t/"),
                                      P("nosystem/")}));
  std::string dir = "keep", lib = "keep";
  EXPECT_EQ(FindGhostscript(&dir, &lib), 0);
  EXPECT_EQ(dir + lib, "keepkeep");

  std::string system = MakeProgramDir("system");
  SetSystemGhostscriptDirForTesting(system);
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript\\8.54",
           MakeProgramDir("registered") + "libgs.so", "/reg/lib");
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir + " " + lib, system + " " + system);

  // The temporary folder's copy comes first, unless others may write there.
  std::string copy = MakeProgramDir("tmp/p2t");
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir + " " + lib, copy + " " + system);                    // a null output is skipped
  fs::permissions(P("tmp"), fs::perms::all | fs::perms::sticky_bit);  // like /tmp
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir, system);
}

TEST_F(GhostscriptLocatorTest, RegistryProductOrderThenMachineBeforeUser) {
  // Versions without the library, without the program beside it, or without
  // GS_LIB do not count.
  std::string good = MakeProgramDir("good");
  fs::create_directories(P("noprogram"));
  dir_.Write("noprogram/libgs.so", "");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript\\1.0", good + "missing.so", "/a");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript\\2.0", P("noprogram/libgs.so"), "/b");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript\\3.0", good + "libgs.so", "");
  std::string dir, lib;
  EXPECT_EQ(FindGhostscriptInRegistry(RegistryRoot::kLocalMachine, &dir, &lib), 0);

  const struct {
    RegistryRoot root;
    const char* key;
  } steps[] = {{RegistryRoot::kCurrentUser, "AFPL Ghostscript\\9.0"},
               {RegistryRoot::kLocalMachine, "GPL Ghostscript\\9.0"},
               {RegistryRoot::kLocalMachine, "AFPL Ghostscript\\8.0"}};
  int n = 0;
  for (const auto& step : steps) {
    std::string name = "found" + std::to_string(++n);
    Register(step.root, step.key, MakeProgramDir(name) + "libgs.so", "/" + name);
    ASSERT_EQ(FindGhostscript(&dir, &lib), 1) << step.key;
    EXPECT_EQ(dir + " " + lib, P(name + "/") + " /" + name) << step.key;
  }
}

}  // namespace
}  // namespace scrivex
