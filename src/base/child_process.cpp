#include "base/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <exception>
#include <thread>

#include "base/fd_io.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How long a killed child may take to be reaped before it is left behind.
constexpr milliseconds kKillGrace{1000};
constexpr milliseconds kReapPoll{5};

constexpr int kBodyThrew = 125;

int PollTimeout(Deadline deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now());
  return static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60'000));
}

}  // namespace

Result<ChildProcess> ChildProcess::Start(const std::function<int(int)>& body) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return ErrnoFailure("pipe");
  UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
  const pid_t pid = ::fork();
  if (pid < 0) return ErrnoFailure("fork");
  if (pid == 0) {
    ::setpgid(0, 0);
    readEnd.Reset();
    int code = kBodyThrew;
    try {
      code = body(writeEnd.Get());
    } catch (...) {
    }
    ::_exit(code);
  }
  // Both sides set the group, so that it exists before anyone kills it.
  ::setpgid(pid, pid);
  return ChildProcess(pid, std::move(readEnd));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), output_(std::move(other.output_)) {}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) KillAndReap();
}

bool ChildProcess::ReapBy(Deadline until, int& status) {
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      // Gone; one reaped elsewhere counts as killed.
      if (done < 0) status = SIGKILL;
      pid_ = -1;
      return true;
    }
    if (steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(kReapPoll);
  }
}

void ChildProcess::KillAndReap() {
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);  // in case it had not made its group yet
  output_.Reset();
  int status = 0;
  if (!ReapBy(steady_clock::now() + kKillGrace, status)) pid_ = -1;  // left to init
}

ChildEnd ChildProcess::Wait(Deadline deadline,
                            const std::function<bool(std::string_view)>& onOutput,
                            const std::function<bool()>& stopped) {
  std::array<char, 65536> chunk;
  while (output_) {
    if (steady_clock::now() >= deadline) {
      KillAndReap();
      return {ChildEnd::kTimedOut, 0};
    }
    if (stopped && stopped()) {
      KillAndReap();
      return {ChildEnd::kStopped, 0};
    }
    struct pollfd ready {output_.Get(), POLLIN, 0};
    const int timeout = PollTimeout(deadline);
    const int polled = ::poll(&ready, 1, stopped && (timeout < 0 || timeout > 50) ? 50 : timeout);
    if (polled < 0 && errno != EINTR) break;
    if (polled <= 0) continue;
    const ssize_t n = ReadRetrying(output_.Get(), chunk.data(), chunk.size());
    if (n <= 0) break;
    if (!onOutput(std::string_view(chunk.data(), static_cast<size_t>(n)))) {
      KillAndReap();
      return {ChildEnd::kStopped, 0};
    }
  }
  output_.Reset();
  int status = SIGKILL;
  if (pid_ > 0 && !ReapBy(deadline, status)) {
    KillAndReap();
    return {ChildEnd::kTimedOut, 0};
  }
  if (WIFSIGNALED(status)) return {ChildEnd::kSignaled, WTERMSIG(status)};
  return {ChildEnd::kExited, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}
