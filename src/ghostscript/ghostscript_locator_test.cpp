#include "ghostscript/ghostscript_locator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "ghostscript/scoped_env.h"
#include "platform/files.h"

namespace scrivex {
namespace {

namespace fs = std::filesystem;

// Taken before any test points TMPDIR at its own folder.
const fs::path kBaseTemp = fs::temp_directory_path();

// Every test gets its own state root (registry hives) and temporary folder.
class GhostscriptLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = kBaseTemp / ("scrivex-locator-" + std::to_string(std::random_device()()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "tmp");
    fs::permissions(root_ / "tmp", fs::perms::owner_all);
    fs::create_directories(root_ / "nosystem");
    env_.Set("SCRIVEX_HOME", (root_ / "home").string());
    env_.Set("TMPDIR", (root_ / "tmp").string());
    SetSystemGhostscriptDirForTesting((root_ / "nosystem").string());
  }
  void TearDown() override {
    SetSystemGhostscriptDirForTesting("");
    fs::remove_all(root_);
  }

  std::string MakeProgramDir(const std::string& name) {
    fs::path dir = root_ / name;
    fs::create_directories(dir);
    std::ofstream(dir / "gs") << "#!/bin/sh\n";
    std::ofstream(dir / "libgs.so") << "";
    return dir.string() + "/";
  }

  void Register(RegistryRoot root, const std::string& product, const std::string& version,
                const std::string& dll, const std::string& lib) {
    KeyHandle key = CreateKey(root, "SOFTWARE\\" + product + "\\" + version);
    ASSERT_NE(key, nullptr);
    WriteStringValue(key, "GS_DLL", dll);
    WriteStringValue(key, "GS_LIB", lib);
    CloseKey(key);
  }

  fs::path root_;
  ScopedEnv env_;
};

TEST_F(GhostscriptLocatorTest, FixedCandidatesInOrder) {
  std::vector<std::string> candidates = FixedGhostscriptCandidates();
  ASSERT_EQ(candidates.size(), 3u);
  EXPECT_EQ(candidates[0], platform::ProgramDirectory() + "gs/");
  EXPECT_EQ(candidates[1], (root_ / "tmp").string() + "/p2t/");
  EXPECT_EQ(candidates[2], (root_ / "nosystem").string() + "/");
  SetSystemGhostscriptDirForTesting("");
  EXPECT_EQ(FixedGhostscriptCandidates()[2], "/usr/bin/");
}

TEST_F(GhostscriptLocatorTest, NothingFoundLeavesOutputsAlone) {
  std::string dir = "keep", lib = "keep";
  EXPECT_EQ(FindGhostscript(&dir, &lib), 0);
  EXPECT_EQ(dir, "keep");
  EXPECT_EQ(lib, "keep");
  EXPECT_EQ(FindGhostscript(nullptr, nullptr), 0);
}

TEST_F(GhostscriptLocatorTest, TemporaryCopyWinsOverTheSystemAndTheRegistry) {
  std::string system = MakeProgramDir("system");
  SetSystemGhostscriptDirForTesting(system);
  std::string registered = MakeProgramDir("registered");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "8.54", registered + "libgs.so",
           "/reg/lib");
  std::string dir, lib;
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir, system);
  EXPECT_EQ(lib, system);

  fs::create_directories(root_ / "tmp" / "p2t");
  std::ofstream(root_ / "tmp" / "p2t" / "gs") << "";
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir, (root_ / "tmp").string() + "/p2t/");
  EXPECT_EQ(lib, system);  // a null output is skipped, the other stays
}

TEST_F(GhostscriptLocatorTest, SharedTemporaryFolderIsNeverTrusted) {
  fs::create_directories(root_ / "tmp" / "p2t");
  std::ofstream(root_ / "tmp" / "p2t" / "gs") << "";
  fs::permissions(root_ / "tmp", fs::perms::all | fs::perms::sticky_bit);  // like /tmp
  std::string dir;
  EXPECT_EQ(FindGhostscript(&dir, nullptr), 0);
  fs::permissions(root_ / "tmp", fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
  ASSERT_EQ(FindGhostscript(&dir, nullptr), 1);
  EXPECT_EQ(dir, (root_ / "tmp").string() + "/p2t/");
}

TEST_F(GhostscriptLocatorTest, RegisteredInstallationGivesItsLibraryPath) {
  std::string registered = MakeProgramDir("gpl");
  Register(RegistryRoot::kLocalMachine, "GPL Ghostscript", "9.05", registered + "libgs.so",
           "/gpl/lib;/gpl/fonts");
  std::string dir, lib;
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir, registered);
  EXPECT_EQ(lib, "/gpl/lib;/gpl/fonts");
}

TEST_F(GhostscriptLocatorTest, UnqualifiedVersionsAreSkipped) {
  std::string noProgram = (root_ / "noprogram").string() + "/";
  fs::create_directories(noProgram);
  std::ofstream(noProgram + "libgs.so") << "";
  std::string good = MakeProgramDir("good");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "1.0", good + "missing.so", "/a");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "2.0", noProgram + "libgs.so", "/b");
  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "3.0", good + "libgs.so", "");
  std::string dir, lib;
  EXPECT_EQ(FindGhostscriptInRegistry(RegistryRoot::kLocalMachine, &dir, &lib), 0);
  Register(RegistryRoot::kLocalMachine, "GNU Ghostscript", "7.0", good + "libgs.so", "/gnu");
  ASSERT_EQ(FindGhostscriptInRegistry(RegistryRoot::kLocalMachine, &dir, &lib), 1);
  EXPECT_EQ(dir, good);
  EXPECT_EQ(lib, "/gnu");
}

TEST_F(GhostscriptLocatorTest, ProductOrderThenMachineBeforeUser) {
  std::string afpl = MakeProgramDir("afpl");
  std::string gpl = MakeProgramDir("gpl");
  std::string user = MakeProgramDir("user");
  Register(RegistryRoot::kCurrentUser, "AFPL Ghostscript", "9.0", user + "libgs.so", "/user");
  std::string dir, lib;
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(lib, "/user");

  Register(RegistryRoot::kLocalMachine, "GPL Ghostscript", "9.0", gpl + "libgs.so", "/gpl");
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(lib, "/gpl");

  Register(RegistryRoot::kLocalMachine, "AFPL Ghostscript", "8.0", afpl + "libgs.so", "/afpl");
  ASSERT_EQ(FindGhostscript(&dir, &lib), 1);
  EXPECT_EQ(dir, afpl);
  EXPECT_EQ(lib, "/afpl");

  EXPECT_EQ(FindGhostscriptInRegistry(RegistryRoot::kClassesRoot, &dir, &lib), 0);
}

}  // namespace
}  // namespace scrivex
