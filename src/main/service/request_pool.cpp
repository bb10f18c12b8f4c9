#include "main/service/request_pool.h"

#include <poll.h>

#include <cerrno>
#include <optional>

#include "platform/framed_messages.h"
#include "platform/process.h"

namespace scrivex {

namespace {

// Sends one message and waits for the answer until deadlineMs (no deadline
// when 0). Nullopt with *ended set when the worker closed its end, with
// *late set when the deadline passed.
std::optional<std::vector<std::string>> Exchange(platform::WorkerProcess& process,
                                                 std::string* buffer,
                                                 const std::vector<std::string>& message,
                                                 long long deadlineMs, bool* ended, bool* late) {
  *ended = *late = false;
  if (!platform::WriteAll(process.channel.get(), platform::Frame(message))) {
    *ended = true;
    return std::nullopt;
  }
  std::vector<std::string> fields;
  bool broken = false;
  for (;;) {
    if (platform::TakeMessage(buffer, &fields, &broken)) return fields;
    if (broken) {
      *ended = true;
      return std::nullopt;
    }
    int wait = -1;
    if (deadlineMs > 0) {
      const long long left = deadlineMs - platform::TickCountMs();
      if (left <= 0) {
        *late = true;
        return std::nullopt;
      }
      wait = static_cast<int>(std::min(left, 1000LL));
    }
    pollfd fd = {process.channel.get(), POLLIN, 0};
    const int ready = poll(&fd, 1, wait);
    if (ready < 0 && errno != EINTR) {
      *ended = true;
      return std::nullopt;
    }
    if (ready > 0 && !platform::ReadInto(process.channel.get(), buffer)) {
      *ended = true;
      return std::nullopt;
    }
  }
}

}  // namespace

RequestPool::RequestPool(PoolSettings settings) : settings_(std::move(settings)) {
  if (settings_.workers < 1) settings_.workers = 1;
  if (settings_.queue < 0) settings_.queue = 0;
  slots_.resize(static_cast<size_t>(settings_.workers));
}

RequestPool::~RequestPool() {
  Close();
  // Closing its socket ends a worker after its conversion; it quits what it kept.
  for (Slot& slot : slots_) slot.process.channel.Reset();
  for (Slot& slot : slots_) {
    if (slot.process.pid > 0) platform::ReapWorker(slot.process.pid);
  }
  if (forker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(forkMutex_);
      forkerDone_ = true;
    }
    forkWanted_.notify_all();
    forker_.join();
  }
}

void RequestPool::ForkerLoop() {
  std::unique_lock<std::mutex> lock(forkMutex_);
  for (;;) {
    forkWanted_.wait(lock, [this] { return forkerDone_ || !forks_.empty(); });
    if (forks_.empty()) return;
    auto task = std::move(forks_.front());
    forks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

std::optional<platform::WorkerProcess> RequestPool::StartOnForker() {
  std::packaged_task<std::optional<platform::WorkerProcess>()> task(
      [this] { return platform::StartWorkerProgram(settings_.workerCommand); });
  std::future<std::optional<platform::WorkerProcess>> started = task.get_future();
  {
    std::lock_guard<std::mutex> lock(forkMutex_);
    if (!forker_.joinable()) forker_ = std::thread([this] { ForkerLoop(); });
    forks_.push_back(std::move(task));
  }
  forkWanted_.notify_one();
  return started.get();
}

bool RequestPool::Spawn(Slot* slot) {
  std::optional<platform::WorkerProcess> process = StartOnForker();
  if (!process) return false;
  slot->process = std::move(*process);
  slot->buffer.clear();
  return true;
}

void RequestPool::Replace(Slot* slot, bool killed) {
  if (slot->process.pid > 0) {
    if (killed) platform::KillWorker(slot->process.pid);
    slot->process.channel.Reset();
    platform::ReapWorker(slot->process.pid);
    slot->process.pid = -1;
  }
  Spawn(slot);
  std::lock_guard<std::mutex> lock(mutex_);
  ++restarts_;
}

bool RequestPool::Start(std::string* why) {
  int started = 0;
  for (Slot& slot : slots_) started += Spawn(&slot) ? 1 : 0;
  if (started == 0) *why = "no worker process could be started";
  return started > 0;
}

PoolAnswer RequestPool::Convert(const ConversionRequest& request) {
  PoolAnswer answer;
  Slot* slot = nullptr;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    auto freeSlot = [this]() -> Slot* {
      for (Slot& s : slots_) {
        if (!s.busy) return &s;
      }
      return nullptr;
    };
    slot = closed_ ? nullptr : freeSlot();
    if (slot == nullptr) {
      if (closed_) return answer;
      if (waiting_ >= settings_.queue) {
        answer.outcome = PoolOutcome::kQueueFull;
        return answer;
      }
      ++waiting_;
      freed_.wait(lock, [&] { return closed_ || (slot = freeSlot()) != nullptr; });
      --waiting_;
      if (closed_) return answer;
    }
    slot->busy = true;
  }
  answer.worker = static_cast<int>(slot - slots_.data());
  // A worker that could not be started before gets another try now.
  if (slot->process.pid <= 0 && !Spawn(slot)) {
    answer.outcome = PoolOutcome::kWorkerEnded;
    answer.why = "no worker process could be started";
  } else {
    const long long deadline =
        settings_.timeoutSeconds > 0
            ? platform::TickCountMs() + settings_.timeoutSeconds * 1000LL
            : 0;
    bool ended = false, late = false;
    std::optional<std::vector<std::string>> fields =
        Exchange(slot->process, &slot->buffer, RequestFields(request), deadline, &ended, &late);
    std::optional<ConversionReply> reply = fields ? ReadReply(*fields) : std::nullopt;
    if (reply) {
      answer.outcome = PoolOutcome::kConverted;
      answer.reply = std::move(*reply);
    } else if (late) {
      answer.outcome = PoolOutcome::kTimedOut;
      Replace(slot, true);
    } else {
      answer.outcome = PoolOutcome::kWorkerEnded;
      const pid_t pid = slot->process.pid;
      platform::KillWorker(pid);  // a garbled answer ends it too
      slot->process.channel.Reset();
      answer.why = platform::ReapWorker(pid);
      slot->process.pid = -1;
      Replace(slot, false);
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot->busy = false;
  }
  freed_.notify_one();
  return answer;
}

bool RequestPool::Healthy(std::string* why) {
  std::vector<Slot*> idle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Slot& slot : slots_) {
      if (slot.busy) continue;
      slot.busy = true;  // held for the ping
      idle.push_back(&slot);
    }
  }
  bool healthy = true;
  for (Slot* slot : idle) {
    const int number = static_cast<int>(slot - slots_.data());
    bool ended = false, late = false;
    std::optional<std::vector<std::string>> fields =
        slot->process.pid > 0 ? Exchange(slot->process, &slot->buffer, {kPing},
                                         platform::TickCountMs() + 1000, &ended, &late)
                              : std::nullopt;
    if (!fields || *fields != std::vector<std::string>{kPong}) {
      if (healthy) *why = "worker " + std::to_string(number) + " does not answer";
      healthy = false;
      Replace(slot, true);
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Slot* slot : idle) slot->busy = false;
  }
  freed_.notify_all();
  return healthy;
}

void RequestPool::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  freed_.notify_all();
}

int RequestPool::Waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_;
}

int RequestPool::Busy() {
  std::lock_guard<std::mutex> lock(mutex_);
  int busy = 0;
  for (const Slot& slot : slots_) busy += slot.busy ? 1 : 0;
  return busy;
}

long RequestPool::Restarts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return restarts_;
}

}  // namespace scrivex
