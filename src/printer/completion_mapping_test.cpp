#include "printer/completion_mapping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>

#include "platform/shared_memory.h"
#include "platform/state_root.h"
#include "platform/test_support.h"

namespace scrivex {
namespace {

struct Case {
  std::vector<std::string> announced;  // by the driver before the wait
  int busyPolls;                       // polls that still see a job in the queue
  int expectedPolls;
};

TEST(WaitForDriver, AnnouncedFilesAndTheQueueRule) {
  test::ScratchDir dir;  // a state root of its own: its own block
  CompletionMapping mapping;
  mapping.pollMs = 1;
  EXPECT_EQ(WaitForDriver(mapping, "Inkwell"), 0) << "no mapping";
  EXPECT_FALSE(AnnounceFiles({"/out/a.pdf"})) << "no block to announce in";
  ASSERT_EQ(CreateCompletionMapping(&mapping), 1);
  const Case cases[] = {
      {{"/out/a_0001.tif", "/out/a_0002.tif", "/out/a_0003.tif"}, 0, 0},
      {{}, 0, kIdlePollsBeforeGivingUp},
      // The idle count starts again after each poll that saw a job.
      {{}, 5, 5 + kIdlePollsBeforeGivingUp},
  };
  for (const Case& c : cases) {
    int polls = 0;
    mapping.readJobs = [&](const std::string& printer, std::vector<uint32_t>* jobs) {
      EXPECT_EQ(printer, "Inkwell") << "the queue of the printer printed to";
      if (++polls <= c.busyPolls) jobs->push_back(7);
      return 1;
    };
    ASSERT_TRUE(c.announced.empty() || AnnounceFiles(c.announced));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(WaitForDriver(mapping, "Inkwell"), static_cast<int>(c.announced.size()));
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(polls, c.expectedPolls);
    for (size_t i = 0; i < c.announced.size(); ++i) {
      EXPECT_NE(out.find("Page " + std::to_string(i + 1) + ": " + c.announced[i] + "\n"),
                std::string::npos)
          << out;
    }
    if (c.expectedPolls) {
      EXPECT_NE(out.find("Waiting here (" + std::to_string(c.expectedPolls - 1) + ")...\n"),
                std::string::npos);
    }
  }
  mapping.block.Close();
  // A list without its terminator ends at the block's end.
  const unsigned char unterminated[] = {'a', 0, 'x', 'y', 'z'};
  EXPECT_EQ(ReadAnnouncedPaths(unterminated, 5), (std::vector<std::string>{"a", "xyz"}));
  EXPECT_FALSE(AnnounceFiles({"/out/a.pdf"})) << "the block goes with its creator";
}

// What the wait prints with nothing in the queue: any "Page" line is forged.
std::string WaitOutput(CompletionMapping& mapping) {
  mapping.pollMs = 1;
  mapping.readJobs = [](const std::string&, std::vector<uint32_t>*) { return 1; };
  ::testing::internal::CaptureStdout();
  WaitForDriver(mapping, "Inkwell");
  return ::testing::internal::GetCapturedStdout();
}

std::string Forged(size_t size) {
  std::string block(size, '\0');
  block.replace(0, 18, "/tmp/injected.pdf");
  return block;
}

// The POSIX shared-memory name earlier versions used: anyone could work it
// out from the state root and make it first.
std::string OldObjectName() {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : platform::StateRoot()) hash = (hash ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return "/scrivex-" + std::string(hex) + "-" + kCompletionMappingName;
}

// Runs body in a forked child: whether it returned true.
bool InChild(const std::function<bool()>& body) {
  pid_t child = fork();
  if (child == 0) _exit(body() ? 0 : 1);
  int status = -1;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Another account planted a block with an announcement of its own, under the
// old name and under the new one: neither is used, nor followed as a link.
TEST(CompletionBlock, PlantedAndStaleBlocksAreNeverUsed) {
  test::ScratchDir dir;
  CompletionMapping mapping;
  const std::string path = platform::SharedMemory::PathOf(kCompletionMappingName);
  const std::string forged = Forged(kCompletionMappingBytes);
  int shm = shm_open(OldObjectName().c_str(), O_RDWR | O_CREAT, 0666);
  ASSERT_GE(shm, 0);
  ASSERT_EQ(write(shm, forged.data(), forged.size()), static_cast<ssize_t>(forged.size()));
  close(shm);
  for (bool asLink : {false, true}) {
    const std::string planted = asLink ? dir.Write("elsewhere", forged) : path;
    if (!asLink) test::WriteBytes(path, forged);
    chmod(planted.c_str(), 0666);
    ASSERT_TRUE(!asLink || symlink(planted.c_str(), path.c_str()) == 0);
    ASSERT_EQ(CreateCompletionMapping(&mapping), 1);
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & 07777) == 0600) << std::oct << st.st_mode;
    EXPECT_EQ(WaitOutput(mapping).find("injected"), std::string::npos)
        << (asLink ? "link" : "file");
    // The block at the name is a new one; a link's end is left as it was.
    EXPECT_EQ(test::ReadBytes(planted).substr(0, 17),
              asLink ? "/tmp/injected.pdf" : std::string(17, '\0'));
    mapping.block.Close();
    EXPECT_NE(lstat(path.c_str(), &st), 0) << "the block goes with its creator";
  }
  shm_unlink(OldObjectName().c_str());

  // The driver side announces only into a block of ours, open to nobody else.
  ASSERT_EQ(CreateCompletionMapping(&mapping), 1);
  std::string why;
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  EXPECT_FALSE(AnnounceFiles({"/out/a.pdf"}, &why));
  EXPECT_NE(why.find("open to others"), std::string::npos) << why;
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(AnnounceFiles({"/out/a.pdf"}, &why));
    EXPECT_NE(why.find("another account"), std::string::npos) << why;
    ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
  }
  // A second run of the same root does not take a block that is in use.
  EXPECT_TRUE(InChild([] {
    return !platform::SharedMemory().Create(kCompletionMappingName, kCompletionMappingBytes);
  }));
  EXPECT_TRUE(AnnounceFiles({"/out/a.pdf"}, &why)) << why;
  EXPECT_NE(WaitOutput(mapping).find("Page 1: /out/a.pdf\n"), std::string::npos);
  mapping.block.Close();

  // A killed run leaves its block behind: no driver announces into it, and
  // the next run makes a fresh one.
  ASSERT_TRUE(InChild([&] { return CreateCompletionMapping(&mapping) == 1; }));
  EXPECT_FALSE(AnnounceFiles({"/out/a.pdf"}, &why));
  EXPECT_NE(why.find("left by a run that ended"), std::string::npos) << why;
  ASSERT_EQ(CreateCompletionMapping(&mapping), 1);
  EXPECT_TRUE(AnnounceFiles({"/out/b.pdf"}, &why)) << why;
  EXPECT_NE(WaitOutput(mapping).find("Page 1: /out/b.pdf\n"), std::string::npos);
  mapping.block.Close();
}

// The driver reports how far it got into the block only when the program
// asked for it, and the program reads each report once; the announced paths
// never reach the report.
TEST(DriverProgress, ReportsReachTheProgramOnlyWhenAsked) {
  test::ScratchDir dir;
  CompletionMapping mapping;
  ASSERT_EQ(CreateCompletionMapping(&mapping), 1);
  platform::SharedMemory driver;
  ASSERT_TRUE(driver.OpenExisting(kCompletionMappingName, kCompletionMappingBytes));
  EXPECT_FALSE(DriverProgressSink(driver)) << "nobody asked";
  AskDriverProgress(mapping);
  const ProgressSink report = DriverProgressSink(driver);
  ASSERT_TRUE(report);
  uint32_t seen = 0;
  ProgressUpdate update;
  EXPECT_FALSE(ReadDriverProgress(mapping, &seen, &update)) << "nothing reported yet";
  report({"rendering", 3, 139});
  ASSERT_TRUE(ReadDriverProgress(mapping, &seen, &update));
  EXPECT_EQ(update, (ProgressUpdate{"printer: rendering", 3, 139}));
  EXPECT_FALSE(ReadDriverProgress(mapping, &seen, &update)) << "read once";
  report({std::string(1000, 's'), 0, 0});
  ASSERT_TRUE(ReadDriverProgress(mapping, &seen, &update));
  EXPECT_EQ(update.stage, "printer: " + std::string(kDriverProgressBytes - 33, 's'));

  // Paths up to the report and not one byte into it.
  const size_t room = kCompletionMappingBytes - kDriverProgressBytes - 2;
  EXPECT_FALSE(AnnounceFiles({std::string(room + 1, 'x')}));
  ASSERT_TRUE(AnnounceFiles({std::string(room, 'x')}));
  report({"writing TIFF", 1, 2});
  std::vector<std::string> announced;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(WaitForDriver(mapping, "Inkwell", &announced), 1);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(announced, std::vector<std::string>{std::string(room, 'x')});
  EXPECT_FALSE(DriverProgressSink(driver)) << "the wait ends the print, and the asking";
}

}  // namespace
}  // namespace scrivex
