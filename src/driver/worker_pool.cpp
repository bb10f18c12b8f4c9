#include "driver/worker_pool.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>

#include "driver/request_worker.h"
#include "platform/files.h"
#include "platform/framed_messages.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/state_root.h"
#include "platform/termination.h"
#include "platform/worker_process.h"

namespace scrivex {

namespace {

using platform::Frame;
using platform::ReadInto;
using platform::TakeMessage;

// What a worker was asked: the files of one chain, from one of them on.
struct Task {
  size_t chain = 0;
  size_t from = 0;
};

// A chain's reply: which item and the output it ended with, then what a
// request worker answers.
std::vector<std::string> ChainReplyFields(size_t index, const ItemOutcome& outcome,
                                          const std::string& out, const std::string& err) {
  ConversionReply reply = ReplyOf(outcome);
  reply.out = out;
  reply.err = err;
  std::vector<std::string> fields = {std::to_string(index), outcome.record.output};
  for (std::string& field : ReplyFields(reply)) fields.push_back(std::move(field));
  return fields;
}

struct Reply {
  size_t index = 0;
  ItemOutcome outcome;
  std::string out, err;
};

std::optional<Reply> ParseChainReply(const std::vector<std::string>& fields, const WorkList& list) {
  if (fields.size() < 2) return std::nullopt;
  char* end = nullptr;
  const size_t index = std::strtoull(fields[0].c_str(), &end, 10);
  if (*end != '\0' || index >= list.size()) return std::nullopt;
  std::optional<ConversionReply> answer = ReadReply({fields.begin() + 2, fields.end()});
  if (!answer) return std::nullopt;
  Reply reply;
  reply.index = index;
  reply.outcome.result = answer->result;
  FileRecord& r = reply.outcome.record;
  r.input = list[index].inputPath;
  r.output = fields[1];
  r.converted = answer->result == 1;
  r.pages = answer->pages;
  r.reason = std::move(answer->reason);
  r.seconds = answer->seconds;
  r.files = std::move(answer->files);
  reply.out = std::move(answer->out);
  reply.err = std::move(answer->err);
  return reply;
}

// A worker's life: claims a state folder of its own (its printers, hives
// and shared objects live there), then converts the chains it is sent.
int ServeChains(int channel, const std::string& workersFolder, const WorkList& list,
                const std::vector<std::vector<size_t>>& chains, const ConversionOptions& options,
                const std::string& printer, const Converters& converters) {
  std::optional<WorkerSetting> setting = SettleWorker(workersFolder);
  if (!setting) return 3;
  std::string buffer, out, err;
  std::vector<std::string> fields;
  bool writable = true;
  while (writable && !platform::TerminationSignal() &&
         platform::ReceiveMessage(channel, &buffer, &fields)) {
    if (fields.size() != 3) break;
    const size_t c = std::strtoull(fields[0].c_str(), nullptr, 10);
    if (c >= chains.size()) break;
    bool replaced = fields[2] == "1";
    for (size_t k = std::strtoull(fields[1].c_str(), nullptr, 10);
         k < chains[c].size() && writable && !platform::TerminationSignal(); ++k) {
      const size_t i = chains[c][k];
      const ItemOutcome outcome =
          ConvertListItem(list, i, options, printer, converters, &replaced, {});
      setting->capture.Take(&out, &err);
      writable = platform::WriteAll(channel, Frame(ChainReplyFields(i, outcome, out, err)));
    }
  }
  if (converters.endRun) converters.endRun();
  return 0;
}

struct Worker {
  platform::WorkerProcess process;
  std::string buffer;
  std::optional<size_t> chain;  // the chain it converts; none: idle
  size_t next = 0;              // the position in it of the file it holds
};

}  // namespace

std::vector<std::vector<size_t>> OutputChains(const WorkList& list) {
  // Items joined when they write one output, or when one reads what another
  // writes: a serial run's order between them is kept.
  std::vector<size_t> parent(list.size());
  for (size_t i = 0; i < list.size(); ++i) parent[i] = i;
  auto root = [&](size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  auto join = [&](size_t a, size_t b) {
    a = root(a), b = root(b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  };
  std::map<std::string, size_t> writer;
  for (size_t i = 0; i < list.size(); ++i) {
    auto [it, added] = writer.emplace(list[i].outputPath, i);
    if (!added) join(it->second, i);
  }
  for (size_t i = 0; i < list.size(); ++i) {
    auto it = writer.find(list[i].inputPath);
    if (it != writer.end()) join(it->second, i);
  }
  std::vector<std::vector<size_t>> chains;
  std::map<size_t, size_t> chainOf;  // a group's first item -> its chain
  for (size_t i = 0; i < list.size(); ++i) {
    auto [it, added] = chainOf.emplace(root(i), chains.size());
    if (added) chains.emplace_back();
    chains[it->second].push_back(i);
  }
  return chains;
}

bool RunsInParallel() {
  return platform::GetProfileInt(platform::ConfigFile(), "Queue", "Parallel", 0) == 1;
}

int WorkerCount(int asked) {
  if (asked > 0) return asked;
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<int>(cores) : 1;
}

int ConvertOnWorkers(const WorkList& list, const ConversionOptions& options,
                     const std::string& printer, const Converters& converters,
                     const Reporting& reporting, int workers) {
  const long long start = platform::TickCountMs();
  const size_t n = list.size();
  const std::vector<std::vector<size_t>> chains = OutputChains(list);
  const std::string workersFolder = platform::StateRoot() + "workers/";
  const size_t most = std::min(chains.size(), static_cast<size_t>(std::max(workers, 1)));

  std::deque<Task> pending;
  for (size_t c = 0; c < chains.size(); ++c) pending.push_back({c, 0});
  std::vector<bool> chainReplaced(chains.size(), false);
  std::vector<std::optional<Reply>> done(n);
  std::vector<Worker> pool;
  std::vector<pid_t> retired;
  size_t printed = 0;
  int result = 1;
  bool stopping = false;

  auto fail = [&](size_t i, const std::string& why) {
    Reply reply;
    reply.index = i;
    reply.outcome.record.input = list[i].inputPath;
    reply.outcome.record.output = list[i].outputPath;
    reply.outcome.record.reason = why;
    done[i] = std::move(reply);
  };
  size_t shown = n;  // the file the progress line names; n: none yet
  auto printReady = [&] {
    while (printed < n && done[printed]) {
      if (reporting.progress) reporting.progress->Hide();
      const Reply& reply = *done[printed];
      ReportPercentage(printed, n);
      std::fwrite(reply.out.data(), 1, reply.out.size(), stdout);
      std::fflush(stdout);
      std::fwrite(reply.err.data(), 1, reply.err.size(), stderr);
      std::fflush(stderr);
      ReportItem(reply.outcome, reporting);
      result = reply.outcome.result;
      ++printed;
    }
    if (reporting.progress && printed < n && printed != shown) {
      shown = printed;
      reporting.progress->Begin(ProgressSubject(list[printed].inputPath, printed, n));
    }
  };

  printReady();
  while (printed < n) {
    if (platform::TerminationSignal() && !stopping) {
      stopping = true;
      pending.clear();
      for (Worker& worker : pool) platform::StopWorker(worker.process.pid);
    }
    // Hand out the chains: to an idle worker, else to a new one.
    while (!stopping && !pending.empty()) {
      Worker* free = nullptr;
      for (Worker& worker : pool) {
        if (!worker.chain) free = &worker;
      }
      if (free == nullptr && pool.size() < most) {
        std::optional<platform::WorkerProcess> process = platform::ForkWorker([&](int channel) {
          return ServeChains(channel, workersFolder, list, chains, options, printer, converters);
        });
        if (process) {
          pool.push_back({std::move(*process), "", std::nullopt, 0});
          free = &pool.back();
        } else if (pool.empty()) {
          // Not one worker: the files fail rather than wait for ever.
          for (const Task& task : pending) {
            for (size_t k = task.from; k < chains[task.chain].size(); ++k)
              fail(chains[task.chain][k], "no worker process could be started");
          }
          pending.clear();
        }
      }
      if (free == nullptr) break;
      const Task task = pending.front();
      pending.pop_front();
      free->chain = task.chain;
      free->next = task.from;
      if (!platform::WriteAll(free->process.channel.get(),
                              Frame({std::to_string(task.chain), std::to_string(task.from),
                                     chainReplaced[task.chain] ? "1" : "0"}))) {
        free->process.channel.Reset();  // seen as its end below
      }
    }
    // Idle workers with nothing left to do end now, quitting what they kept;
    // they are waited for at the end.
    if (pending.empty()) {
      for (size_t w = pool.size(); w-- > 0;) {
        if (pool[w].chain) continue;
        retired.push_back(pool[w].process.pid);
        pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(w));
      }
    }
    printReady();
    if (pool.empty()) break;

    std::vector<pollfd> fds;
    for (Worker& worker : pool) fds.push_back({worker.process.channel.get(), POLLIN, 0});
    if (poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR) break;
    for (size_t w = 0; w < pool.size(); ++w) {
      Worker& worker = pool[w];
      bool open = worker.process.channel.valid();
      if (open && fds[w].revents != 0)
        open = ReadInto(worker.process.channel.get(), &worker.buffer);
      std::vector<std::string> fields;
      bool broken = false;
      while (TakeMessage(&worker.buffer, &fields, &broken)) {
        std::optional<Reply> reply = ParseChainReply(fields, list);
        if (!reply || !worker.chain || chains[*worker.chain][worker.next] != reply->index) {
          broken = true;
          break;
        }
        const size_t c = *worker.chain;
        if (reply->outcome.result == 1 && list[reply->index].replacesOutput)
          chainReplaced[c] = true;
        done[reply->index] = std::move(*reply);
        if (++worker.next == chains[c].size()) worker.chain.reset();
      }
      if (open && !broken) continue;
      // The worker ended: the file it held fails, the rest of its chain goes on.
      platform::StopWorker(worker.process.pid);
      worker.process.channel.Reset();
      const std::string how = platform::ReapWorker(worker.process.pid);
      // Asked to stop, a worker ends before the next file: nothing to report.
      if (worker.chain && !(stopping && how.empty())) {
        const std::vector<size_t>& chain = chains[*worker.chain];
        fail(chain[worker.next],
             "the worker converting it ended" + (how.empty() ? std::string() : " (" + how + ")"));
        if (!stopping && worker.next + 1 < chain.size())
          pending.push_front({*worker.chain, worker.next + 1});
      }
      pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(w));
      fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(w));
      --w;
    }
    printReady();
  }
  for (Worker& worker : pool) {
    worker.process.channel.Reset();
    retired.push_back(worker.process.pid);
  }
  for (pid_t pid : retired) platform::ReapWorker(pid);
  if (reporting.progress) reporting.progress->Hide();
  ReportConversionTime(platform::TickCountMs() - start);
  return result;
}

}  // namespace scrivex
