// A child process that runs beside the program (a browser printing a page, a
// kept office) while the program polls it. It has a process group of its
// own, dies with the program, and is killed with its group when its time
// runs out, when asked, or when the handle goes.
#ifndef SCRIVEX_PLATFORM_BACKGROUND_CHILD_H_
#define SCRIVEX_PLATFORM_BACKGROUND_CHILD_H_

#include <string>
#include <vector>

#include "platform/memory_cap.h"
#include "platform/process.h"
#include "platform/unique_fd.h"

namespace scrivex::platform {

class BackgroundChild {
 public:
  BackgroundChild() = default;
  BackgroundChild(const BackgroundChild&) = delete;
  BackgroundChild& operator=(const BackgroundChild&) = delete;
  ~BackgroundChild();

  // Starts argv (searched in PATH when argv[0] holds no "/"). Uses
  // timeoutMs, workingDirectory, env and confinement of the options (a
  // refused box: false, with result().refusal saying why). With talk, the
  // child's standard input and output are pipes to us (WriteLine,
  // ReadLine); otherwise both go, with its standard error, into the kept
  // output tail.
  bool Start(const std::vector<std::string>& argv, const ChildOptions& options, bool talk = false);
  // As Start, and the child also gets a message channel as fds 3 (it reads
  // what SendMessage writes) and 4 (it writes what ReadMessage reads): one
  // socket, so a child that is gone never kills us with SIGPIPE. Messages
  // end in a NUL byte.
  bool StartWithMessages(const std::vector<std::string>& argv, const ChildOptions& options);
  // False once the child ended (or was never started); never blocks.
  bool Running();
  // Waits up to ms milliseconds (negative: until the child's time runs out)
  // and answers whether the child ended.
  bool Wait(long long ms);
  void Kill();
  // A child kept for more work: its time counts afresh from now (0: no limit).
  void RestartClock(long long timeoutMs);
  bool WriteLine(const std::string& line);
  // One line of the child's standard output without its newline; false when
  // none came within ms milliseconds, the child ended or its time ran out.
  bool ReadLine(std::string* line, long long ms);
  bool SendMessage(const std::string& message);
  // One message without its NUL. Waits up to ms milliseconds for one to begin
  // (0: only looks), then for its end until the child's time runs out. False
  // when none came, the channel closed or the time ran out.
  bool ReadMessage(std::string* message, long long ms);
  int pid() const { return pid_; }
  // How it ended, and the last few KiB of what it wrote.
  const ChildResult& result() const { return result_; }

 private:
  bool Launch(const std::vector<std::string>& argv, const ChildOptions& options, bool talk,
              bool messages);
  void Drain();
  void Reap(bool block);
  bool Expired();

  int pid_ = 0;
  long long deadline_ = 0;
  UniqueFd in_, out_, tail_;
  std::string pending_;  // read from out_ but not yet a whole line
  UniqueFd channel_;     // our end of the message channel
  std::string inbox_;    // read from channel_ but not yet a whole message
  size_t scanned_ = 0;   // bytes of inbox_ known to hold no NUL
  ChildResult result_;
  MemoryCap cap_;
};

}  // namespace scrivex::platform

#endif  // SCRIVEX_PLATFORM_BACKGROUND_CHILD_H_
