#include "ghostscript/ghostscript_locator.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"
#include "platform/test_support.h"
#include "platform/files.h"

namespace scrivex {
namespace {

using tiff_test::ScratchDir;
namespace fs = std::filesystem;

// Every test gets its own state root (registry hives) and temporary folder.
class GhostscriptLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "tmp");
    fs::permissions(root_ / "tmp", fs::perms::owner_all);
    env_.Set("TMPDIR", (root_ / "tmp").string());
    SetSystemGhostscriptDirForTesting((root_ / "nosystem").string());
  }
  void TearDown() override { SetSystemGhostscriptDirForTesting(""); }

  std::string MakeProgramDir(const std::string& name) {
    fs::create_directories(root_ / name);
    std::ofstream(root_ / name / "gs") << "#!/bin/sh\n";
    std::ofstream(root_ / name / "libgs.so") << "";
    return (root_ / name).string() + "/";
  }
  std::string MakeTemporaryCopy() {
    fs::create_directories(root_ / "tmp" / "p2t");
    std::ofstream(root_ / "tmp" / "p2t" / "gs") << "";
    return (root_ / "tmp").string() + "/p2t/";
  }
  void Register(RegistryRoot root, const std::string& product, const std::string& version,
                const std::string& dll, const std::string& lib) {
    KeyHandle key = CreateKey(root, "SOFTWARE\\" + product + "\\" + version);
    ASSERT_NE(key, nullptr);
    WriteStringValue(key, "GS_DLL", dll);
    WriteStringValue(key, "GS_LIB", lib);
    CloseKey(key);
  }

  ScratchDir dir_;
  const fs::path& root_ = dir_.path;
  ScopedEnv env_;
};

TEST_F(GhostscriptLocatorTest, FixedPlacesInOrderBeforeTheRegistry) {
  std::vector<std::string> candidates = FixedGhostscriptCandidates();
  ASSERT_EQ(candidates.size(), 3u);
  EXPECT_EQ(candidates[0], platform::ProgramDirectory() + "gs/");
  EXPECT_EQ(candidates[1], (root_ / "tmp").string() + "/p2t/");
  EXPECT_EQ(candidates[2], (root_ / "nosystem").string() + "/");

  std::string dir = "keep", lib = "keep";
  EXPECT_EQ(FindGhostscript(&dir, &lib), 0);
  EXPECT_EQ(dir, "keep");
  EXPECT_EQ(lib, "keep");

  std::string system = MakeProgramDir("system");
  SetSystemGhostscriptDirForTesting(system);
  std::string registered = MakeProgramDir("registered");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "8.54", registered + "libgs.so",
           "/reg/lib");
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir, system);
  EXPECT_EQ(lib, system);

  std::string copy = MakeTemporaryCopy();
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir, copy);
  EXPECT_EQ(lib, system);  // a null output is skipped, the other stays
}

TEST_F(GhostscriptLocatorTest, SharedTemporaryFolderIsNeverTrusted) {
  std::string copy = MakeTemporaryCopy();
  fs::permissions(root_ / "tmp", fs::perms::all | fs::perms::sticky_bit);  // like /tmp
  std::string dir;
  EXPECT_EQ(FindGhostscript(&dir, nullptr), 0);
  fs::permissions(root_ / "tmp", fs::perms::owner_all);
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir, copy);
}

TEST_F(GhostscriptLocatorTest, RegistryProductOrderThenMachineBeforeUser) {
  // Versions without the library, without the program beside it, or without
  // GS_LIB do not count.
  std::string noProgram = (root_ / "noprogram").string() + "/";
  fs::create_directories(noProgram);
  std::ofstream(noProgram + "libgs.so") << "";
  std::string good = MakeProgramDir("good");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "1.0", good + "missing.so", "/a");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "2.0", noProgram + "libgs.so", "/b");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "3.0", good + "libgs.so", "");
  std::string dir, lib;
  EXPECT_EQ(FindGhostscriptInRegistry(RegistryRoot::kLocalMachine, &dir, &lib), 0);

  std::string user = MakeProgramDir("user");
  Register(RegistryRoot::kCurrentUser, "AFPL Ghostscript", "9.0", user + "libgs.so", "/user");
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(lib, "/user");

  std::string gpl = MakeProgramDir("gpl");
  Register(RegistryRoot::kLocalMachine, "GPL Ghostscript", "9.0", gpl + "libgs.so",
           "/gpl/lib;/gpl/fonts");
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir, gpl);
  EXPECT_EQ(lib, "/gpl/lib;/gpl/fonts");

  std::string afpl = MakeProgramDir("afpl");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "8.0", afpl + "libgs.so", "/afpl");
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir, afpl);
  EXPECT_EQ(lib, "/afpl");
}

}  // namespace
}  // namespace scrivex
