#include "platform/termination.h"

#include <signal.h>
#include <unistd.h>

#include <initializer_list>

namespace scrivex::platform {
namespace {

volatile sig_atomic_t g_signal = 0;
volatile sig_atomic_t g_childGroup = 0;

void OnTermination(int sig) {
  g_signal = sig;
  pid_t group = g_childGroup;
  if (group > 0) kill(-group, SIGKILL);
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnTermination;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

int TerminationSignal() { return g_signal; }

void EndWithTerminationSignal() {
  int sig = g_signal;
  if (sig == 0) return;
  signal(sig, SIG_DFL);
  raise(sig);
}

void SetRunningChildGroup(pid_t group) {
  g_childGroup = group;
  // A signal that came just before the child started still ends it.
  if (group > 0 && g_signal != 0) kill(-group, SIGKILL);
}

}  // namespace scrivex::platform
