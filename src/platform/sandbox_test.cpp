#include "platform/sandbox.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/memory_cap.h"
#include "platform/process.h"
#include "platform/test_support.h"

namespace scrivex::platform {
namespace {

using test::ReadBytes;

size_t IndexOf(const std::vector<std::string>& v, const std::string& s, size_t from = 0) {
  auto it = std::find(v.begin() + static_cast<long>(from), v.end(), s);
  return it == v.end() ? std::string::npos : static_cast<size_t>(it - v.begin());
}

TEST(SandboxTest, CommandShape) {
  EXPECT_EQ(ParseSandboxMode("Required"), SandboxMode::kRequired);
  EXPECT_EQ(ParseSandboxMode("OFF"), SandboxMode::kOff);
  EXPECT_EQ(ParseSandboxMode("maybe"), SandboxMode::kAuto);

  Confinement box;
  box.readOnly = {"/tmp/in dir/page.html"};
  box.writable = {"/tmp/work/"};
  std::vector<std::string> c = ConfinedCommand("/usr/bin/bwrap", box, {"/usr"}, {"prog", "--x"});
  EXPECT_EQ(IndexOf(c, "--share-net"), std::string::npos);  // no network unless asked
  EXPECT_NE(IndexOf(c, "--unshare-all"), std::string::npos);
  EXPECT_NE(IndexOf(c, "--die-with-parent"), std::string::npos);
  // The private /tmp comes before the files in it, or it would hide them.
  size_t tmp = IndexOf(c, "/tmp"), in = IndexOf(c, "/tmp/in dir/page.html");
  ASSERT_TRUE(tmp != std::string::npos && in != std::string::npos);
  EXPECT_LT(tmp, in);
  EXPECT_EQ(c[in - 1], "--ro-bind");
  EXPECT_EQ(c[IndexOf(c, "/tmp/work/") - 1], "--bind");
  // The program comes last, after "--", so nothing of it reads as an option.
  ASSERT_GE(c.size(), 3u);
  EXPECT_EQ(c[c.size() - 3], "--");
  EXPECT_EQ(c.back(), "--x");
  box.network = true;
  EXPECT_NE(IndexOf(ConfinedCommand("bwrap", box, {}, {"p"}), "--share-net"), std::string::npos);
}

TEST(SandboxTest, BoxedChildSeesOnlyWhatItWasGiven) {
  test::ScratchDir dir;
  const std::string input = dir.Write("input.txt", "the document");
  const std::string secret = dir.Write("secret.txt", "not for the child");
  const std::string work = dir.Path("work/");
  ASSERT_EQ(system(("mkdir -p '" + work + "'").c_str()), 0);
  Confinement box;
  box.readOnly = {input};
  box.writable = {work};
  const std::string probe =
      "cat \"$1\"; echo;"
      "echo x >>\"$1\" 2>/dev/null && echo wrote-input;"
      "cat \"$2\" 2>/dev/null && echo read-secret;"
      "cat /etc/shadow 2>/dev/null | head -c 1 | grep -q . && echo read-shadow;"
      "ls /root 2>/dev/null | grep -q . && echo listed-root;"
      "echo made >\"$3/made\";"
      "grep -c : /proc/net/dev";
  const std::vector<std::string> script = {"/bin/sh", "-c", probe, "sh", input, secret, work};
  std::vector<std::string> command;
  std::string why;
  ASSERT_TRUE(PrepareConfinedCommand(box, SandboxMode::kAuto, script, &command, &why));
  if (command == script) GTEST_SKIP() << "bubblewrap cannot make a box here";
  ChildOptions options;
  options.captureOutput = true;
  options.timeoutMs = 20000;
  ChildResult r = RunChild(command, options);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("the document"), std::string::npos) << r.output;
  for (const char* breach : {"wrote-input", "read-secret", "read-shadow", "listed-root"}) {
    EXPECT_EQ(r.output.find(breach), std::string::npos) << r.output;
  }
  // Its only network device is its own loopback.
  EXPECT_NE(r.output.find("\n1\n"), std::string::npos) << r.output;
  EXPECT_EQ(ReadBytes(work + "made"), "made\n");
  EXPECT_EQ(ReadBytes(input), "the document");

  // Required, a box that cannot be had refuses; off runs the program as it is.
  test::ScopedEnv env;
  env.Set(kConfinedVariable, "1");  // already boxed: not boxed again
  ASSERT_TRUE(PrepareConfinedCommand(box, SandboxMode::kRequired, script, &command, &why));
  EXPECT_EQ(command, script);
}

TEST(SandboxTest, MemoryCapStopsAGreedyChild) {
  MemoryCap cap;
  cap.Prepare(48);
  ASSERT_EQ(cap.megabytes(), 48);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    cap.ApplyInChild();
    const size_t size = 256u << 20;
    char* block = static_cast<char*>(malloc(size));
    if (!block) _exit(3);  // refused by the data limit
    for (size_t i = 0; i < size; i += 4096) block[i] = 1;
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  const bool refused = WIFEXITED(status) && WEXITSTATUS(status) == 3;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no memory cgroup here, and no data limit under the sanitizer";
#endif
  }
  EXPECT_TRUE(killed || refused) << status;
  EXPECT_EQ(cap.Exceeded(), killed);
  cap.Release();
  EXPECT_FALSE(cap.Exceeded());
}

}  // namespace
}  // namespace scrivex::platform
