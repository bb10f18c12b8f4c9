#include "platform/logon.h"

#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <string.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/shared_library.h"

namespace scrivex::platform {

namespace {

// PAM, loaded by the first logon: only runs for another account need it, and
// every library linked in costs each run its loading.
struct Pam {
  SharedLibrary library;
  decltype(&pam_start) start = nullptr;
  decltype(&pam_authenticate) authenticate = nullptr;
  decltype(&pam_acct_mgmt) acctMgmt = nullptr;
  decltype(&pam_end) end = nullptr;
};

// Null when PAM cannot be loaded.
const Pam* LoadedPam() {
  static const Pam pam = [] {
    Pam loaded;
    std::string why;
    if (!loaded.library.Open(SCRIVEX_PAM_LIBRARY, &why) ||
        !loaded.library.Bind("pam_start", &loaded.start, &why) ||
        !loaded.library.Bind("pam_authenticate", &loaded.authenticate, &why) ||
        !loaded.library.Bind("pam_acct_mgmt", &loaded.acctMgmt, &why) ||
        !loaded.library.Bind("pam_end", &loaded.end, &why)) {
      loaded.library = SharedLibrary();
    }
    return loaded;
  }();
  return pam.library.valid() ? &pam : nullptr;
}

// Answers every hidden prompt with the password, and nothing else.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  if (count <= 0 || count > PAM_MAX_NUM_MSG) return PAM_CONV_ERR;
  auto* replies = static_cast<pam_response*>(std::calloc(count, sizeof(pam_response)));
  if (replies == nullptr) return PAM_BUF_ERR;
  const auto* password = static_cast<const std::string*>(data);
  for (int i = 0; i < count; ++i) {
    int style = messages[i]->msg_style;
    if (style == PAM_PROMPT_ECHO_OFF) {
      replies[i].resp = strdup(password->c_str());
      if (replies[i].resp == nullptr) style = -1;
    }
    if (style == PAM_PROMPT_ECHO_ON || style < 0) {
      // A question we cannot answer: nobody is there to ask.
      for (int j = 0; j < i; ++j) {
        if (replies[j].resp) {
          EraseSecret(replies[j].resp, strlen(replies[j].resp));
          std::free(replies[j].resp);
        }
      }
      std::free(replies);
      return PAM_CONV_ERR;
    }
  }
  *responses = replies;
  return PAM_SUCCESS;
}

}  // namespace

std::optional<Account> FindAccount(const std::string& name) {
  if (name.empty()) return std::nullopt;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
  passwd entry{};
  passwd* found = nullptr;
  while (getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) return std::nullopt;
  Account account;
  account.name = entry.pw_name;
  account.uid = entry.pw_uid;
  account.gid = entry.pw_gid;
  account.home = entry.pw_dir ? entry.pw_dir : "";
  int count = 32;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  while (getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count) + 1);
    count = static_cast<int>(groups.size());
  }
  groups.resize(static_cast<size_t>(count));
  account.groups.assign(groups.begin(), groups.end());
  return account;
}

LogonResult CheckAccountPassword(const std::string& user, const std::string& password) {
  const Pam* library = LoadedPam();
  if (library == nullptr) return LogonResult::kUnavailable;
  pam_conv conversation{&Converse, const_cast<std::string*>(&password)};
  pam_handle_t* pam = nullptr;
  if (library->start(kPamService, user.c_str(), &conversation, &pam) != PAM_SUCCESS) {
    return LogonResult::kUnavailable;
  }
  int status = library->authenticate(pam, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  if (status == PAM_SUCCESS) {
    status = library->acctMgmt(pam, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  }
  library->end(pam, status);
  switch (status) {
    case PAM_SUCCESS:
      return LogonResult::kAccepted;
    case PAM_AUTH_ERR:
    case PAM_USER_UNKNOWN:
    case PAM_MAXTRIES:
    case PAM_CRED_INSUFFICIENT:
    case PAM_ACCT_EXPIRED:
    case PAM_NEW_AUTHTOK_REQD:
    case PAM_PERM_DENIED:
    case PAM_AUTHTOK_EXPIRED:
      return LogonResult::kRefused;
    default:
      return LogonResult::kUnavailable;
  }
}

bool IsPrivileged() { return geteuid() == 0; }

void EraseSecret(void* data, size_t size) {
  if (data != nullptr) explicit_bzero(data, size);
}

void EraseSecret(std::string* secret) {
  if (secret == nullptr) return;
  EraseSecret(secret->data(), secret->size());
  secret->clear();
}

}  // namespace scrivex::platform
