// The service's workers: a fixed number of worker processes, each a whole
// printing world of its own, kept between requests, with a bounded queue in
// front of them. A request holds one worker for its conversion; a worker
// that dies or overruns the time limit fails only that request and is
// replaced.
#ifndef SCRIVEX_SERVICE_REQUEST_POOL_H_
#define SCRIVEX_SERVICE_REQUEST_POOL_H_

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/request_worker.h"
#include "platform/worker_process.h"

namespace scrivex {

struct PoolSettings {
  int workers = 1;
  int queue = 4;            // requests that may wait for a worker
  int timeoutSeconds = 0;   // per conversion; 0: none
  std::vector<std::string> workerCommand;  // the program a worker runs
};

enum class PoolOutcome {
  kConverted,   // the worker answered (the reply says how it went)
  kQueueFull,   // no worker free and the queue is full
  kTimedOut,    // the worker overran the time limit and was replaced
  kWorkerEnded, // the worker died on it and was replaced
  kStopping,    // the pool is closing
};

struct PoolAnswer {
  PoolOutcome outcome = PoolOutcome::kStopping;
  ConversionReply reply;
  int worker = -1;  // its number, for the log
  std::string why;  // how the worker ended
};

class RequestPool {
 public:
  explicit RequestPool(PoolSettings settings);
  RequestPool(const RequestPool&) = delete;
  RequestPool& operator=(const RequestPool&) = delete;
  ~RequestPool();  // ends every worker

  // Starts the workers; false with the reason when not one starts.
  bool Start(std::string* why);
  // Waits for a worker (or refuses when the queue is full) and converts.
  PoolAnswer Convert(const ConversionRequest& request);
  // Every worker lives, and each idle one answers within a second; else why not.
  bool Healthy(std::string* why);
  // Requests now take no worker; waiting ones are refused.
  void Close();

  int Waiting();
  int Busy();
  long Restarts();
  int Workers() const { return static_cast<int>(settings_.workers); }

 private:
  struct Slot {
    platform::WorkerProcess process;
    std::string buffer;
    bool busy = false;
  };
  // Ends the slot's worker (if any) and starts another; a restart.
  void Replace(Slot* slot, bool killed);
  bool Spawn(Slot* slot);
  // Starts a worker on forker_: a child's parent-death signal fires when the
  // thread that forked it ends, and the server's threads come and go.
  std::optional<platform::WorkerProcess> StartOnForker();
  void ForkerLoop();

  PoolSettings settings_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<Slot> slots_;
  int waiting_ = 0;
  long restarts_ = 0;
  bool closed_ = false;

  std::mutex forkMutex_;
  std::condition_variable forkWanted_;
  std::deque<std::packaged_task<std::optional<platform::WorkerProcess>()>> forks_;
  bool forkerDone_ = false;
  std::thread forker_;  // lives until every worker is reaped
};

}  // namespace scrivex

#endif  // SCRIVEX_SERVICE_REQUEST_POOL_H_
