#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "platform/named_objects.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/state_root.h"

namespace scrivex::platform {
namespace {

class TempDir {
 public:
  TempDir() {
    char buf[] = "/tmp/scrivex-platform-XXXXXX";
    path_ = std::string(mkdtemp(buf)) + "/";
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string Touch(const std::string& name, const std::string& text = "x") const {
    std::ofstream(path_ + name) << text;
    return path_ + name;
  }

 private:
  std::string path_;
};

TEST(Path, SplitAndJoin) {
  PathParts p = SplitPath("/a/b.c/report.final.PDF");
  EXPECT_EQ(p.drive, "");
  EXPECT_EQ(p.dir, "/a/b.c/");
  EXPECT_EQ(p.name, "report.final");
  EXPECT_EQ(p.ext, ".PDF");
  EXPECT_EQ(MakePath(p.drive, p.dir, p.name, p.ext), "/a/b.c/report.final.PDF");
  EXPECT_EQ(SplitPath("noext").ext, "");
  EXPECT_EQ(SplitPath("/x/.hidden").name, ".hidden");
  EXPECT_EQ(SplitPath("/x/dir/").name, "");
  EXPECT_TRUE(HasExtension("a.TiF", ".tif"));
  EXPECT_EQ(MakePath("", "/d", "n", "ext"), "/d/n.ext");
}

TEST(Path, FullPathKeepsAbsoluteAndResolvesRelative) {
  EXPECT_EQ(FullPath("/abs/x"), "/abs/x");
  EXPECT_EQ(FullPath(""), "");
  std::string cwd = CurrentDirectory();
  EXPECT_EQ(FullPath("a/b.doc"), cwd + "/a/b.doc");
  EXPECT_EQ(FullPath("./c"), cwd + "/c");
}

TEST(Files, WildcardSemantics) {
  EXPECT_TRUE(MatchesWildcard("*.*", "noext"));
  EXPECT_TRUE(MatchesWildcard("*.*", ".hidden"));
  EXPECT_TRUE(MatchesWildcard("*.doc", "A.DOC"));
  EXPECT_FALSE(MatchesWildcard("*.doc", "a.docx"));
  EXPECT_TRUE(MatchesWildcard("a?.txt", "ab.txt"));
  EXPECT_FALSE(MatchesWildcard("a?.txt", "a.txt"));
  EXPECT_TRUE(MatchesWildcard("out*.tif", "out_0001.tif"));
  EXPECT_TRUE(MatchesWildcard("*a*b*", "xxaxxbxx"));
  EXPECT_FALSE(MatchesWildcard("*a*b", "xxaxxbxxc"));
}

TEST(Files, FindFilesListsMatchesButNeverDotEntries) {
  TempDir dir;
  dir.Touch("one.doc");
  dir.Touch(".hidden.doc");
  dir.Touch("two.txt");
  std::filesystem::create_directory(dir.path() + "sub.doc");
  auto names = [](const std::vector<DirEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.name + (e.isDirectory ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(names(FindFiles(dir.path() + "*.doc")),
            (std::vector<std::string>{".hidden.doc", "one.doc", "sub.doc/"}));
  EXPECT_EQ(FindFiles(dir.path() + "*.*").size(), 4u);
  EXPECT_TRUE(FindFiles(dir.path() + "missing/*.*").empty());
}

TEST(Files, MovesAndCopies) {
  TempDir dir;
  std::string a = dir.Touch("a", "AAA");
  std::string b = dir.Touch("b", "BBB");
  EXPECT_FALSE(MoveFileNoReplace(a, b));  // target exists
  EXPECT_TRUE(FileExists(a));
  EXPECT_TRUE(MoveFileReplace(a, b));
  EXPECT_FALSE(FileExists(a));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(b, &text));
  EXPECT_EQ(text, "AAA");
  EXPECT_TRUE(CopyFileTo(b, dir.path() + "c", true));
  EXPECT_FALSE(CopyFileTo(b, dir.path() + "c", true));
  EXPECT_TRUE(MoveFileNoReplace(dir.path() + "c", dir.path() + "d"));
  EXPECT_EQ(FileSize(dir.path() + "d"), 3);
  std::string unique = CreateUniqueFile(dir.path(), "pdf");
  EXPECT_TRUE(IsRegularFile(unique));
  EXPECT_EQ(SplitPath(unique).ext, ".tmp");
  EXPECT_EQ(SplitPath(unique).name.substr(0, 3), "pdf");
}

TEST(Process, SplitsByWindowsRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\gs.exe\" -a \"b c\" d"),
            (V{"C:\\Program Files\\gs.exe", "-a", "b c", "d"}));
  EXPECT_EQ(SplitCommandLine("p a\\\\\\\"b c\\\\\"d e\" f\\g"), (V{"p", "a\\\"b", "c\\d e", "f\\g"}));
  EXPECT_EQ(SplitCommandLine("p \"\" \"x\"\"y\""), (V{"p", "", "x\"y"}));
  EXPECT_EQ(SplitCommandLine("   "), V{});
  EXPECT_EQ(SplitCommandLine("\"/t/tools.cfg\" -i \"/o/ex.pdf\" \"-*\" \"1|0|/n.pdf\""),
            (V{"/t/tools.cfg", "-i", "/o/ex.pdf", "-*", "1|0|/n.pdf"}));
}

TEST(Process, RunsWaitsAndCapturesWithoutAShell) {
  ChildOptions capture;
  capture.captureOutput = true;
  capture.env = {{"SCRIVEX_PT", std::string("v1")}, {"HOME", std::nullopt}};
  ChildResult r = RunChild({"sh", "-c", "echo out $SCRIVEX_PT ${HOME-unset}; echo err >&2; exit 3"},
                           capture);
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.exitedNormally);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.output, "out v1 unset\nerr\n");
  EXPECT_FALSE(RunChild({"/nonexistent/program"}).started);
  // Metacharacters reach the child as plain text.
  r = RunChild({"echo", "$(id) ; *"}, capture);
  EXPECT_EQ(r.output, "$(id) ; *\n");
  r = RunChild({"sh", "-c", "kill -9 $$"});
  EXPECT_FALSE(r.exitedNormally);
  ChildOptions detached;
  detached.detached = true;
  r = RunChild({"sleep", "5"}, detached);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0);
}

TEST(Profile, WindowsSemantics) {
  TempDir dir;
  std::string ini = dir.path() + "config.ini";
  EXPECT_EQ(GetProfileString(ini, "debug", "outlog", "dflt"), "dflt");
  ASSERT_TRUE(WriteProfileString(ini, "BlankTIF", "blackpoints", "0.5"));
  EXPECT_EQ(GetProfileString(ini, "blanktif", "BLACKPOINTS", ""), "0.5");
  std::ofstream(ini) << "; comment\n[Debug]\noutlog = No \n\n[Other]\nk=\"quoted\"\n";
  EXPECT_EQ(GetProfileString(ini, "debug", "outlog", ""), "No");
  EXPECT_EQ(GetProfileString(ini, "other", "k", ""), "quoted");
  ASSERT_TRUE(WriteProfileString(ini, "DEBUG", "OutLog", "Yes"));
  ASSERT_TRUE(WriteProfileString(ini, "debug", "level", "2"));
  ASSERT_TRUE(WriteProfileString(ini, "New", "a", "1"));
  std::string text;
  ReadWholeFile(ini, &text);
  EXPECT_EQ(text, "; comment\n[Debug]\nOutLog=Yes\nlevel=2\n\n[Other]\nk=\"quoted\"\n\n[New]\na=1\n");
  EXPECT_EQ(GetProfileInt(ini, "debug", "level", 0), 2);
}

TEST(NamedObjects, MutexAndCounterAcrossProcesses) {
  TempDir dir;
  setenv("SCRIVEX_HOME", dir.path().c_str(), 1);
  NamedMutex mine;
  ASSERT_EQ(mine.Create("Marrow_Inkwell"), NamedMutex::Result::kCreated);
  EXPECT_EQ(RaiseJobCounter(), 1);

  int pipeFd[2];
  ASSERT_EQ(pipe(pipeFd), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0) << "fork: " << strerror(errno);
  if (child == 0) {
    close(pipeFd[0]);
    NamedMutex other;
    char seen = other.Create("Marrow_Inkwell") == NamedMutex::Result::kAlreadyExists ? 'E' : 'C';
    char count = static_cast<char>('0' + RaiseJobCounter());
    char report[2] = {seen, count};
    ssize_t w = write(pipeFd[1], report, 2);
    (void)w;
    pause();  // dies holding its count, as a crashed process would
    _exit(0);
  }
  // The child is killed on every way out of the test.
  struct Reaper {
    pid_t pid;
    ~Reaper() {
      if (pid <= 0) return;
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } reaper{child};
  close(pipeFd[1]);  // a child that dies early ends the read
  char got[2] = {0, 0};
  ssize_t n = read(pipeFd[0], got, 2);
  close(pipeFd[0]);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(got[0], 'E');
  EXPECT_EQ(got[1], '2');
  EXPECT_EQ(ReadJobCounter(), 2);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  reaper.pid = 0;
  EXPECT_EQ(ReadJobCounter(), 1);  // the dead process no longer counts
  EXPECT_EQ(LowerJobCounter(), 0);
  mine.Close();
  NamedMutex again;
  EXPECT_EQ(again.Create("Marrow_Inkwell"), NamedMutex::Result::kCreated);
  unsetenv("SCRIVEX_HOME");
}

}  // namespace
}  // namespace scrivex::platform
