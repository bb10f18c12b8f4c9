#include "platform/output_target.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/replacement_file.h"
#include "platform/test_support.h"

namespace scrivex::platform {
namespace {

using test::ReadBytes;
using test::ScratchDir;

constexpr uid_t kOther = 65534;  // an account that is neither us nor root

std::string Why(const std::string& path) {
  std::string why;
  return ResolveOutputTarget(path, &why) ? "" : why;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(OutputTarget, OurLinksAreFollowedNonRegularFilesRefused) {
  ScratchDir dir;
  const std::string real = dir.Write("real.pdf", "old");
  ASSERT_EQ(symlink("real.pdf", dir.Path("one").c_str()), 0);
  ASSERT_EQ(symlink(dir.Path("one").c_str(), dir.Path("two").c_str()), 0);
  ASSERT_EQ(symlink("nowhere/x.pdf", dir.Path("dangling").c_str()), 0);
  std::filesystem::create_directory(dir.Path("sub"));
  ASSERT_EQ(symlink("sub", dir.Path("folder").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("fifo.pdf").c_str(), 0600), 0);
  ASSERT_EQ(symlink("fifo.pdf", dir.Path("to-fifo").c_str()), 0);

  EXPECT_EQ(ResolveOutputTarget(dir.Path("two"), nullptr), real);
  EXPECT_EQ(ResolveOutputTarget(dir.Path("folder/./../folder/new.pdf"), nullptr),
            dir.Path("sub/new.pdf"));
  EXPECT_EQ(ResolveOutputTarget(dir.Path("dangling"), nullptr), dir.Path("nowhere/x.pdf"));
  EXPECT_EQ(ResolveOutputTarget(dir.Path("new.pdf"), nullptr), dir.Path("new.pdf"));

  EXPECT_TRUE(Contains(Why(dir.Path("fifo.pdf")), "is a FIFO, not a regular file"));
  EXPECT_TRUE(Contains(Why(dir.Path("to-fifo")), "is a FIFO"));
  EXPECT_TRUE(Contains(Why(dir.Path("sub")), "is a directory"));
  EXPECT_TRUE(Contains(Why("/dev/null"), "is a device"));
  ASSERT_EQ(symlink("loop", dir.Path("loop").c_str()), 0);
  EXPECT_TRUE(Contains(Why(dir.Path("loop")), "cannot be resolved"));

  // A FIFO neither blocks the output lock nor takes a moved file.
  EXPECT_FALSE(LockExistingFile(dir.Path("fifo.pdf")).valid());
  std::string why;
  EXPECT_FALSE(MoveFileReplace(real, dir.Path("fifo.pdf"), &why));
  EXPECT_TRUE(Contains(why, "FIFO"));
  EXPECT_EQ(ReadBytes(real), "old");
}

// Another account's link anywhere on the way is never followed, on every
// route that writes: a replacement, a move, the check itself.
TEST(OutputTarget, AnotherAccountsLinksAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a link to another account needs root";
  ScratchDir dir;
  const std::string secret = dir.Write("secret", "root only");
  const std::string page = dir.Write("page.png", "new page");
  ASSERT_EQ(symlink(secret.c_str(), dir.Path("out.pdf").c_str()), 0);
  ASSERT_EQ(lchown(dir.Path("out.pdf").c_str(), kOther, kOther), 0);
  std::filesystem::create_directory(dir.Path("sub"));
  ASSERT_EQ(symlink(dir.Path("sub").c_str(), dir.Path("theirs").c_str()), 0);
  ASSERT_EQ(lchown(dir.Path("theirs").c_str(), kOther, kOther), 0);
  ASSERT_EQ(symlink(dir.Path("out.pdf").c_str(), dir.Path("mine.pdf").c_str()), 0);

  EXPECT_TRUE(Contains(Why(dir.Path("out.pdf")), "owned by another account"));
  EXPECT_TRUE(Contains(Why(dir.Path("mine.pdf")), "owned by another account"));  // a chain
  EXPECT_TRUE(Contains(Why(dir.Path("theirs/x.pdf")), "owned by another account"));
  ReplacementFile file;
  std::string why;
  EXPECT_FALSE(file.Create(dir.Path("mine.pdf"), &why));
  EXPECT_TRUE(Contains(why, "another account"));
  EXPECT_FALSE(MoveFileReplace(page, dir.Path("out.pdf"), &why));
  EXPECT_TRUE(WriteFileAtomically(dir.Path("fine.pdf"), "x"));
  EXPECT_EQ(ReadBytes(secret), "root only");
  EXPECT_EQ(ReadBytes(page), "new page");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("out.pdf")));

  // In a sticky world-writable folder an account follows a link only when it
  // or the folder's owner made it, root's links included.
  for (uid_t folderOwner : {uid_t{0}, kOther}) {
    const std::string shared = dir.Path("shared" + std::to_string(folderOwner));
    std::filesystem::create_directory(shared);
    ASSERT_EQ(chown(shared.c_str(), folderOwner, folderOwner), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(symlink("target.pdf", (shared + "/root-link").c_str()), 0);
    pid_t child = fork();
    if (child == 0) {
      if (setresuid(kOther, kOther, kOther) != 0) _exit(2);
      std::string why;
      bool followed = ResolveOutputTarget(shared + "/root-link", &why).has_value();
      bool refusedWell = Contains(why, "in the shared folder");
      _exit(folderOwner == 0 ? (followed ? 0 : 1) : (!followed && refusedWell ? 0 : 1));
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "folder owner " << folderOwner;
  }
}

}  // namespace
}  // namespace scrivex::platform
