// Worker processes: forked copies of this process that serve requests over
// a socket, each in a folder of its own, their output kept per request.
#ifndef SCRIVEX_PLATFORM_WORKER_PROCESS_H_
#define SCRIVEX_PLATFORM_WORKER_PROCESS_H_

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace scrivex::platform {

struct WorkerProcess {
  pid_t pid = -1;
  UniqueFd channel;  // the parent's end of the worker's socket
};

// Forks a worker that runs serve(its end of the socket) and ends with its
// result. It dies with this process. Nullopt when no process can be made.
std::optional<WorkerProcess> ForkWorker(const std::function<int(int channel)>& serve);
// Starts the program argv (a full path) as a worker: its end of the socket
// is descriptor kWorkerChannelFd, it runs in a process group of its own (a
// signal for this program's group leaves its conversion alone) and dies
// with the thread that started it. Safe where threads run: the child only
// executes the program. Nullopt when no process can be made.
constexpr int kWorkerChannelFd = 3;
std::optional<WorkerProcess> StartWorkerProgram(const std::vector<std::string>& argv);
// Waits for a worker whose channel closed; "" when it ended with 0, else how
// it ended ("killed by signal 9", "ended with code 3").
std::string ReapWorker(pid_t pid);
// Asks a worker to end (SIGTERM); it stops its children as on any signal.
void StopWorker(pid_t pid);
// Ends a worker that does not answer at once (SIGKILL); its children die
// with it.
void KillWorker(pid_t pid);

// The first numbered folder "<parent><n>/" that no live process holds, made
// private, with the lock that holds it for the life of the descriptor (and
// of the process, which dies with it). Nullopt when none can be had.
struct ClaimedFolder {
  std::string path;  // with a trailing "/"
  UniqueFd lock;
};
std::optional<ClaimedFolder> ClaimNumberedFolder(const std::string& parent);

// Every byte, or false.
bool WriteAll(int fd, const std::string& bytes);

// Standard output and error of this process and of the children it starts
// from now on go to two scratch files; Take hands back what arrived since
// the last Take.
class OutputCapture {
 public:
  bool Start();
  void Take(std::string* out, std::string* err);

 private:
  UniqueFd out_;
  UniqueFd err_;
};

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_WORKER_PROCESS_H_
