#include "driver/driver_main.h"

#include <cstdio>
#include <memory>

#include "driver/json_report.h"
#include "driver/work_list.h"
#include "driver/worker_pool.h"
#include "platform/logon.h"
#include "platform/named_objects.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/state_root.h"
#include "platform/terminal.h"
#include "platform/termination.h"

namespace scrivex {

std::optional<int> AnswerCommandLine(const JobRequest& job) {
  if (job.versionRequested) {
    WriteVersion(stdout);
    return 0;
  }
  if (job.helpRequested) {
    WriteUsage(stdout);
    return 0;
  }
  if (job.usageRequested) return ShowUsage();
  if (!job.badArgument.empty()) {
    std::fprintf(stderr, "%s\n", job.badArgument.c_str());
    return -1;
  }
  if (job.inputPath.empty()) {
    if (!job.strayBeforeInput.empty()) std::fprintf(stderr, "%s\n", job.strayBeforeInput.c_str());
    return ShowUsage();
  }
  for (const std::string& warning : job.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  return std::nullopt;
}

int RunJob(JobRequest& job, const Converters& converters, const Reporting& reporting) {
  if (!job.credentialError.empty()) {
    std::fprintf(stderr, "%s\n", job.credentialError.c_str());
    return -1;
  }
  if (job.passwordFromInput && !ReadPasswordLine(0, &job.password)) {
    std::fprintf(stderr, "-# %s:-: no password on standard input\n", job.userName.c_str());
    return -1;
  }
  if (!job.userName.empty()) {
    // The whole list goes: a cut command line would run another request.
    int code = RunAsUser(job.userName, job.password, job.argumentList, 0);
    platform::EraseSecret(&job.password);
    if (code != 0) {
      const char* why = code == kErrorLogonFailure       ? "wrong password or unusable account"
                        : code == kErrorPrivilegeNotHeld ? "only root may do that"
                        : code == kErrorInvalidData      ? "PAM could not check the password"
                                                         : "the run could not be started";
      std::fprintf(stderr, "The request could not be handed to another user (%s): %s (%d).\n",
                   job.userName.c_str(), why, code);
    }
    return code;
  }

  // The state root decides which programs later runs start: only ours.
  std::string error;
  if (!platform::CheckStateRoot(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return -1;
  }

  platform::RaiseJobCounter();
  // Runs that convert in folders of their own need not wait for each other.
  const bool parallel = RunsInParallel();
  platform::NamedMutex queue;
  if (!parallel) {
    platform::NamedMutex::Result joined;
    while ((joined = queue.Create(kQueueMutexName)) ==
           platform::NamedMutex::Result::kAlreadyExists) {
      std::printf("There has %d job(s) waiting for conversion.\n", platform::ReadJobCounter() - 1);
      std::fflush(stdout);
      for (int waited = 0; waited < kQueuePollMs && !platform::TerminationSignal(); waited += 100) {
        platform::SleepMs(100);
      }
      if (platform::TerminationSignal()) {
        platform::LowerJobCounter();
        return 0;
      }
    }
    if (joined == platform::NamedMutex::Result::kFailed) {
      // Converting outside the queue would let concurrent runs collide.
      std::fprintf(stderr, "The conversion queue in %s cannot be used.\n",
                   platform::RuntimeDirectory().c_str());
      platform::LowerJobCounter();
      return -1;
    }
  }

  // A web address is kept as typed; everything else becomes a full path.
  if (job.inputPath.find(':') == std::string::npos && !HasUrlPrefix(job.inputPath))
    job.inputPath = platform::FullPath(job.inputPath);
  if (!job.outputPath.empty() && job.outputPath.find(':') == std::string::npos)
    job.outputPath = platform::FullPath(job.outputPath);

  WorkList list;
  BuildWorkList(job.inputPath, &job.outputPath, &job.options.existingOutputMode, &list);
  if (list.empty()) {
    platform::LowerJobCounter();
    return 0;
  }
  AssignOutputNames(job.outputPath, &list);
  // A person at the terminal sees how far each file got; a program reading
  // the records (--json) or a log file gets only the defined lines.
  Reporting watched = reporting;
  std::unique_ptr<ProgressLine> progress = job.json ? nullptr : ProgressLineOnStandardError();
  watched.progress = progress.get();
  const int workers = WorkerCount(job.workers);
  // One file gains nothing from a worker, unless the run must not touch the
  // printers other runs use.
  int result = (workers > 1 && list.size() > 1) || parallel
                   ? ConvertOnWorkers(list, job.options, job.printer, converters, watched, workers)
                   : ConvertAll(list, job.options, job.printer, converters, watched);
  platform::LowerJobCounter();
  return result;
}

int RunJobWithRecords(JobRequest& job, const Converters& converters) {
  if (job.helpRequested || job.versionRequested) return AnswerCommandLine(job).value_or(0);
  if (!job.userName.empty() && job.badArgument.empty()) {
    // The run as the other account writes the records itself.
    const int code = RunJob(job, converters);
    return code == -1 ? 2 : code;
  }
  std::FILE* records = platform::TakeStandardOutput();
  if (records == nullptr) {
    std::fputs("--json: standard output cannot be kept for the records\n", stderr);
    return 2;
  }
  int exitCode = 0;
  if (std::optional<int> answered = AnswerCommandLine(job)) {
    exitCode = 2;  // usage text or a refused value
  } else {
    int converted = 0, failed = 0;
    Reporting reporting;
    reporting.onFile = [&](const FileRecord& record) {
      (record.converted ? converted : failed)++;
      const std::string line = FileRecordJson(record) + "\n";
      std::fputs(line.c_str(), records);
      std::fflush(records);
    };
    const int result = RunJob(job, converters, reporting);
    exitCode = converted + failed == 0 && result < 0 ? 2 : failed > 0 || converted == 0 ? 1 : 0;
  }
  std::fclose(records);
  return exitCode;
}

}  // namespace scrivex
