#include "platform/termination.h"

#include <signal.h>
#include <unistd.h>

#include <initializer_list>

namespace scrivex::platform {
namespace {

volatile sig_atomic_t g_signal = 0;
volatile sig_atomic_t g_childGroup = 0;
// Children that run beside us (a browser, a kept office), killed with us.
constexpr int kBackgroundSlots = 16;
volatile sig_atomic_t g_backgroundGroups[kBackgroundSlots] = {};

void OnTermination(int sig) {
  g_signal = sig;
  pid_t group = g_childGroup;
  if (group > 0) kill(-group, SIGKILL);
  for (int i = 0; i < kBackgroundSlots; ++i) {
    pid_t g = g_backgroundGroups[i];
    if (g > 0) kill(-g, SIGKILL);
  }
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnTermination;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  // A reader that went away (a closed pipe on our output, a dead helper) is
  // a failed write, not the end of the batch: the run finishes and cleans up.
  // Children start with the default again.
  signal(SIGPIPE, SIG_IGN);
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

void AddBackgroundGroup(pid_t group) {
  for (int i = 0; i < kBackgroundSlots; ++i) {
    if (g_backgroundGroups[i] == 0) {
      g_backgroundGroups[i] = group;
      break;
    }
  }
  if (g_signal != 0) kill(-group, SIGKILL);
}

void RemoveBackgroundGroup(pid_t group) {
  for (int i = 0; i < kBackgroundSlots; ++i) {
    if (g_backgroundGroups[i] == group) g_backgroundGroups[i] = 0;
  }
}

}  // namespace scrivex::platform
