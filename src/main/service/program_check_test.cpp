#include "main/service/program_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/replacement_file.h"

namespace scrivex {
namespace {

// A program "helper" in its own folder, first in PATH, that exits with code.
class Helper {
 public:
  Helper() {
    folder_.CreateIn(platform::TempDirectory());
    path_ = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (folder_.path() + ":" + path_).c_str(), 1);
  }
  ~Helper() { setenv("PATH", path_.c_str(), 1); }
  void ExitWith(int code) {
    const std::string file = folder_.path() + "helper";
    std::ofstream(file) << "#!/bin/sh\necho 'said on its way out' >&2\nexit " << code << "\n";
    chmod(file.c_str(), 0755);
  }

 private:
  platform::StagingFolder folder_;
  std::string path_;
};

TEST(ProgramCheck, SaysWhichProgramCannotStartAndKeepsItsAnswerUntilChecked) {
  Helper helper;
  helper.ExitWith(0);
  std::string why;
  EXPECT_TRUE(ProgramsStart({"helper"}, 10000, &why)) << why;
  EXPECT_FALSE(ProgramsStart({"helper", "no-such-program-here"}, 10000, &why));
  EXPECT_EQ(why, "no-such-program-here cannot be found");
  helper.ExitWith(4);
  EXPECT_FALSE(ProgramsStart({"helper"}, 10000, &why));
  EXPECT_EQ(why, "helper cannot start (exit 4): said on its way out");

  // Kept for an hour: a program broken since is not noticed.
  helper.ExitWith(0);
  ProgramCheck kept({"helper"}, 3600 * 1000);
  EXPECT_TRUE(kept.Ok(&why)) << why;
  helper.ExitWith(4);
  EXPECT_TRUE(kept.Ok(&why));

  // Kept for no time: the next answers show it, once the background check ran.
  helper.ExitWith(0);
  ProgramCheck fresh({"helper"}, 0);
  EXPECT_TRUE(fresh.Ok(&why)) << why;
  helper.ExitWith(4);
  bool ok = true;
  for (int i = 0; i < 200 && ok; ++i) {
    ok = fresh.Ok(&why);
    if (ok) platform::SleepMs(20);
  }
  EXPECT_FALSE(ok);
  EXPECT_EQ(why, "helper cannot start (exit 4): said on its way out");
}

}  // namespace
}  // namespace scrivex
