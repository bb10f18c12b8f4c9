#include "platform/output_target.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/path.h"

namespace scrivex::platform {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel's ELOOP

const char* Kind(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}

// Root's links are trusted like our own (root can write anywhere anyway),
// except where the kernel's protected-links rule would not follow them.
bool MayFollow(const std::string& link, const struct stat& st, const std::string& folder,
               std::string* why) {
  const uid_t me = geteuid();
  if (st.st_uid == me) return true;
  if (st.st_uid != 0) {
    *why = link + " is a link owned by another account (uid " + std::to_string(st.st_uid) +
           "); it is not followed";
    return false;
  }
  struct stat dir;
  if (stat(folder.c_str(), &dir) != 0) {
    *why = "the folder of the link " + link + " cannot be examined";
    return false;
  }
  if ((dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH) && st.st_uid != dir.st_uid) {
    *why = link + " is a link in the shared folder " + folder +
           " made by neither us nor the folder's owner; it is not followed";
    return false;
  }
  return true;
}

// The components still to walk go on a stack, the next one last.
void PushComponents(const std::string& path, std::vector<std::string>* todo) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    if (slash > at) parts.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  todo->insert(todo->end(), parts.rbegin(), parts.rend());
}

std::string ReadLink(const std::string& link) {
  char buf[PATH_MAX];
  ssize_t n = readlink(link.c_str(), buf, sizeof buf);
  return n > 0 && static_cast<size_t>(n) < sizeof buf ? std::string(buf, static_cast<size_t>(n))
                                                      : "";
}

}  // namespace

std::optional<std::string> ResolveOutputTarget(const std::string& path, std::string* why) {
  std::string ignored;
  if (!why) why = &ignored;
  if (path.empty()) {
    *why = "no file name";
    return std::nullopt;
  }
  std::vector<std::string> todo;
  PushComponents(FullPath(path), &todo);
  std::string done;  // walked so far, free of links; "" is the root folder
  int links = 0;
  while (!todo.empty()) {
    std::string name = std::move(todo.back());
    todo.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      done.resize(done.rfind('/') == std::string::npos ? 0 : done.rfind('/'));
      continue;
    }
    std::string next = done + "/" + name;
    struct stat st;
    if (lstat(next.c_str(), &st) != 0) {
      // Not there yet: the rest is a name to create (a missing folder makes
      // the write itself fail, with its own reason).
      done = next;
      for (; !todo.empty(); todo.pop_back()) done += "/" + todo.back();
      break;
    }
    if (!S_ISLNK(st.st_mode)) {
      done = next;
      continue;
    }
    if (!MayFollow(next, st, done.empty() ? "/" : done, why)) return std::nullopt;
    std::string to = ReadLink(next);
    if (++links > kMaxLinks || to.empty()) {
      *why = path + ": the link " + next + " cannot be resolved";
      return std::nullopt;
    }
    if (to[0] == '/') done.clear();
    PushComponents(to, &todo);
  }
  if (done.empty()) done = "/";
  struct stat st;
  if (stat(done.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    *why = path + " is " + Kind(st.st_mode) + ", not a regular file";
    return std::nullopt;
  }
  return done;
}

bool CheckOutputTarget(const std::string& path, std::string* why) {
  return ResolveOutputTarget(path, why).has_value();
}

}  // namespace scrivex::platform
