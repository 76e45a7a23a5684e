// A piece of this program run in a forked child, so that whatever it loads
// can neither crash nor hold the run: the child is in a process group of its
// own, its output comes through a pipe, the wait for it has a deadline, and
// the whole group is killed when the deadline passes or the owner goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string_view>

#include "base/failure.h"
#include "base/unique_fd.h"

using Deadline = std::chrono::steady_clock::time_point;

// How a child ended.
struct ChildEnd {
  enum Kind { kExited, kSignaled, kTimedOut, kStopped };
  Kind kind = kExited;
  int code = 0;  // the exit status or the signal
};

class ChildProcess {
 public:
  // Forks. The child, leader of a new process group, runs `body` with the
  // write end of its output pipe and exits with what `body` returns (without
  // running this process's exit handlers or flushing its buffers); a body
  // that throws exits with 125.
  static Result<ChildProcess> Start(const std::function<int(int outputFd)>& body);

  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&&) = delete;
  ChildProcess(const ChildProcess&) = delete;
  // Kills the group and reaps the child, unless it was reaped already.
  ~ChildProcess();

  // Hands each piece the child writes to `onOutput` until the child closes
  // its output and exits. When `deadline` passes first, or `onOutput`
  // returns false or `stopped` (asked at least every 50 ms) says so
  // (kStopped), the group is killed.
  ChildEnd Wait(Deadline deadline, const std::function<bool(std::string_view)>& onOutput,
                const std::function<bool()>& stopped = {});

  pid_t pid() const { return pid_; }

 private:
  ChildProcess(pid_t pid, UniqueFd output) : pid_(pid), output_(std::move(output)) {}
  // SIGKILL to the group, then the child reaped; a child the kernel holds
  // (a dead network file system) is given up after a short grace.
  void KillAndReap();
  // Reaps the child if it ends by `until`: false while it still runs.
  bool ReapBy(Deadline until, int& status);

  pid_t pid_ = -1;
  UniqueFd output_;
};
