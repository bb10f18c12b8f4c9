#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/background_child.h"
#include "platform/files.h"
#include "platform/named_objects.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/replacement_file.h"
#include "platform/test_support.h"

namespace scrivex::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;
using Names = std::vector<std::string>;

TEST(Path, SplitJoinAndFullPath) {
  PathParts p = SplitPath("/a/b.c/report.final.PDF");
  EXPECT_EQ(p.dir + "|" + p.name + "|" + p.ext, "/a/b.c/|report.final|.PDF");
  EXPECT_EQ(MakePath(p.drive, p.dir, p.name, p.ext), "/a/b.c/report.final.PDF");
  EXPECT_EQ(SplitPath("/x/.hidden").name + SplitPath("/x/dir/").name, ".hidden");
  EXPECT_EQ(MakePath("", "/d", "n", "ext"), "/d/n.ext");
  EXPECT_EQ(FullPath("/abs/x") + FullPath(""), "/abs/x");
  EXPECT_EQ(FullPath("./c"), CurrentDirectory() + "/c");
}

// Finding files by pattern is checked through the work list. The config copy
// in the program directory wins, even empty (all defaults); the system's is
// read only without one; with neither, settings written back go beside the
// program.
TEST(Files, WildcardsMovesAndConfigChoice) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"*.*", "noext", true},       {"*.doc", "A.DOC", true},   {"*.doc", "a.docx", false},
      {"a?.txt", "ab.txt", true},   {"a?.txt", "a.txt", false}, {"*a*b*", "xxaxxbxx", true},
      {"*a*b", "xxaxxbxxc", false},
  };
  for (const auto& [pattern, name, match] : cases) {
    EXPECT_EQ(MatchesWildcard(pattern, name), match) << pattern << " " << name;
  }
  ScratchDir dir;
  std::string a = dir.Write("a", "AAA"), b = dir.Write("b", "BBB");
  EXPECT_FALSE(MoveFileNoReplace(a, b));
  EXPECT_TRUE(MoveFileNoReplace(a, dir.Path("c")));
  EXPECT_EQ(dir.Files(), (Names{"b", "c"}));
  EXPECT_EQ(ReadBytes(dir.Path("c")) + ReadBytes(b), "AAABBB");

  fs::create_directories(dir.Path("prog"));
  const std::string beside = dir.Path("prog/config.ini"), system = dir.Path("etc.ini");
  EXPECT_EQ(ChooseConfigFile(beside, system), beside);
  dir.Write("etc.ini", "[Watchdog]\nChildSeconds=5\n");
  EXPECT_EQ(ChooseConfigFile(beside, system), system);
  dir.Write("prog/config.ini", "");
  EXPECT_EQ(ChooseConfigFile(beside, system), beside);
  fs::remove(system);
  EXPECT_EQ(ChooseConfigFile(beside, system), beside);
}

// The one way outputs are replaced: everything but a successful commit leaves
// the target as it was, and no staging file survives.
TEST(ReplacementFile, CommitReplacesAndAnythingElseLeavesTheTarget) {
  ScratchDir dir;
  std::string target = dir.Write("out.pdf", "old");
  chmod(target.c_str(), 0640);
  ASSERT_EQ(symlink(target.c_str(), dir.Path("link.pdf").c_str()), 0);
  {
    ReplacementFile discarded, dropped;
    ASSERT_TRUE(discarded.Create(target));
    ASSERT_EQ(write(discarded.fd(), "partial", 7), 7);
    discarded.Discard();
    ASSERT_TRUE(dropped.Create(dir.Path("link.pdf"), nullptr, true));
    std::fputs("partial", dropped.Stream());
  }
  EXPECT_EQ(ReadBytes(target), "old");
  EXPECT_EQ(dir.Files(), (Names{"link.pdf", "out.pdf"}));

  ReplacementFile r;
  ASSERT_TRUE(r.Create(dir.Path("link.pdf"), nullptr, true));
  EXPECT_EQ(r.path().rfind(dir.Path() + kStagingPrefix, 0), 0u) << r.path();
  EXPECT_EQ(SplitPath(r.path()).ext, ".pdf");
  std::fputs("new", r.Stream());
  ASSERT_TRUE(r.Commit());
  EXPECT_TRUE(fs::is_symlink(dir.Path("link.pdf")));
  EXPECT_EQ(ReadBytes(dir.Path("link.pdf")), "new");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));

  // A child that replaces the file by name.
  ASSERT_TRUE(r.Create(target));
  ChildResult child =
      RunChild({"sh", "-c", "printf child >\"$0.x\" && mv \"$0.x\" \"$0\"", r.path()});
  ASSERT_EQ(child.exitCode, 0);
  ASSERT_TRUE(r.Commit());
  EXPECT_EQ(ReadBytes(target), "child");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
  EXPECT_EQ(dir.Files(), (Names{"link.pdf", "out.pdf"}));

  fs::create_directory(dir.Path("sub"));
  std::string error;
  EXPECT_FALSE(r.Create(dir.Path("sub"), &error));
  EXPECT_NE(error.find("is a directory"), std::string::npos);
}

// The queue across concurrent runs is checked end to end; here a process
// that ends holding the mutex and its count, as a crashed run would.
TEST(NamedObjects, MutexAndCounterAcrossProcesses) {
  ScratchDir dir;
  NamedMutex mine;
  ASSERT_EQ(mine.Create("Marrow_Inkwell"), NamedMutex::Result::kCreated);
  EXPECT_EQ(RaiseJobCounter(), 1);
  pid_t child = fork();
  if (child == 0) {
    NamedMutex other;
    bool held = other.Create("Marrow_Inkwell") == NamedMutex::Result::kAlreadyExists;
    _exit(held && RaiseJobCounter() == 2 ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadJobCounter(), 1);  // the dead process no longer counts
  EXPECT_EQ(LowerJobCounter(), 0);
  mine.Close();
  EXPECT_EQ(NamedMutex().Create("Marrow_Inkwell"), NamedMutex::Result::kCreated);
}

// A waited-for child's lines reach the caller while it runs: this child
// goes on only once the caller has seen its first line. The lines the caller
// claims are left out of the output; the rest keep their line ends, and a
// last line without one still comes.
TEST(RunChild, LinesComeAsPrintedAndClaimedOnesAreLeftOut) {
  ScratchDir dir;
  const std::string flag = dir.Path("seen");
  for (const bool whole : {true, false}) {
    std::remove(flag.c_str());
    std::vector<std::string> lines;
    ChildOptions options;
    (whole ? options.captureOutput : options.discardOutput) = true;
    options.timeoutMs = 20000;
    options.onOutputLine = [&](const std::string& line) {
      lines.push_back(line);
      if (line == "first") WriteBytes(flag, "");
      return line.rfind("Page ", 0) == 0;
    };
    const ChildResult r =
        RunChild({"sh", "-c",
                  "echo first; while [ ! -e '" + flag +
                      "' ]; do sleep 0.01; done; printf 'Page 1\r\nkept\n' ; echo err >&2; "
                      "printf 'Page 2\nlast'"},
                 options);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(lines, (Names{"first", "Page 1", "kept", "err", "Page 2", "last"}));
    EXPECT_EQ(r.output, "first\nkept\nerr\nlast");
  }
  // A line without an end is not held for ever: past a few KiB it is kept
  // unread, and the output stays drained.
  std::vector<std::string> lines;
  ChildOptions options;
  options.discardOutput = true;
  options.onOutputLine = [&](const std::string& line) {
    lines.push_back(line);
    return true;
  };
  const ChildResult r =
      RunChild({"sh", "-c", "head -c 3000000 /dev/zero; echo; echo Page 9"}, options);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Page 9");
  EXPECT_LE(r.output.size(), 3 * 4096u);
}

TEST(BackgroundChild, TalksIsPolledAndDiesOnItsDeadline) {
  BackgroundChild talker;
  ASSERT_TRUE(
      talker.Start({"sh", "-c", "read x; echo oops >&2; echo \"got $x\"; sleep 30"}, {}, true));
  std::string line;
  EXPECT_FALSE(talker.ReadLine(&line, 50));
  ASSERT_TRUE(talker.WriteLine("a b"));
  ASSERT_TRUE(talker.ReadLine(&line, 5000));
  EXPECT_EQ(line, "got a b");
  EXPECT_TRUE(talker.Running());
  talker.Kill();
  EXPECT_FALSE(talker.Running());
  EXPECT_NE(talker.result().output.find("oops"), std::string::npos);

  ChildOptions limited;
  limited.timeoutMs = 200;
  BackgroundChild sleeper;
  ASSERT_TRUE(sleeper.Start({"sleep", "30"}, limited));
  EXPECT_TRUE(sleeper.Wait(-1));
  EXPECT_TRUE(sleeper.result().timedOut);

  BackgroundChild quick;
  ASSERT_TRUE(quick.Start({"sh", "-c", "exit 3"}, {}));
  EXPECT_TRUE(quick.Wait(5000));
  EXPECT_EQ(quick.result().exitCode, 3);
  EXPECT_FALSE(BackgroundChild().Start({"/no/such/program"}, {}));
}

// One encoder for printer file names, bridge fields and file addresses: the
// printers' stored names keep their lower-case form.
TEST(PercentEncode, KeepsOnlyWhatItIsTold) {
  EXPECT_EQ(PercentEncode("\\\\srv\\Queue 1", " -_"), "%5c%5csrv%5cQueue 1");
  EXPECT_EQ(PercentEncode(std::string("a%/b\0c", 6), "/"), "a%25/b%00c");
  EXPECT_EQ(PercentEncode("Größe.pdf", "."), "Gr%c3%b6%c3%9fe.pdf");
}

}  // namespace
}  // namespace scrivex::platform
