#include "software/command_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>
#include <thread>

#include "base/fd_io.h"
#include "base/unique_fd.h"

extern char** environ;

namespace {

// Our environment with PATH replaced.
std::vector<std::string> EnvironmentWithPath(const std::string& searchPath) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry)
    if (!std::string_view(*entry).starts_with("PATH=")) env.emplace_back(*entry);
  env.push_back("PATH=" + searchPath);
  return env;
}

// The null-terminated array execve wants; valid while `strings` lives.
std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// How the child starts: stdin from /dev/null, stdout into `outFd`, stderr
// ours or /dev/null, and SIGPIPE back to its default even when we ignore it.
class SpawnSetup {
 public:
  SpawnSetup(int outFd, ErrorOutput errors) {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
    sigset_t defaults, mask;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&mask);
    valid_ =
        posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
        posix_spawn_file_actions_adddup2(&actions_, outFd, STDOUT_FILENO) == 0 &&
        (errors == ErrorOutput::kShared ||
         posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0) ==
             0) &&
        posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
        posix_spawnattr_setsigmask(&attributes_, &mask) == 0 &&
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) == 0;
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The child's id, or nothing when it did not start.
  std::optional<pid_t> Spawn(const std::string& path, char* const argv[], char* const envp[]) {
    pid_t pid;
    if (!valid_ || posix_spawn(&pid, path.c_str(), &actions_, &attributes_, argv, envp) != 0)
      return std::nullopt;
    return pid;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
  bool valid_ = false;
};

// Keeps the whole lines of a stream within the bounds.
class LineCollector {
 public:
  explicit LineCollector(const OutputBounds& bounds) : bounds_(bounds) {}

  // False once the kept text is over the total bound.
  bool Add(std::string_view data) {
    for (;;) {
      const size_t end = data.find('\n');
      const std::string_view piece = data.substr(0, end);
      if (!dropping_ && lineSize_ + piece.size() > bounds_.maxLine) {
        text_.resize(text_.size() - lineSize_);
        lineSize_ = 0;
        dropping_ = true;
      }
      if (!dropping_) {
        text_.append(piece);
        lineSize_ += piece.size();
      }
      if (end == std::string_view::npos) break;
      if (!dropping_) text_ += '\n';
      lineSize_ = 0;
      dropping_ = false;
      data.remove_prefix(end + 1);
    }
    return text_.size() <= bounds_.maxTotal;
  }

  // The lines a line feed ended.
  std::string Take() {
    text_.resize(text_.size() - lineSize_);
    return std::move(text_);
  }

 private:
  const OutputBounds& bounds_;
  std::string text_;
  size_t lineSize_ = 0;    // of the unfinished line at the end of text_
  bool dropping_ = false;  // the current line is too long and is skipped
};

using Clock = std::chrono::steady_clock;

// When a command started now must be done; the far future without a bound.
Clock::time_point DeadlineAfter(std::chrono::milliseconds wait) {
  return wait.count() > 0 ? Clock::now() + wait : Clock::time_point::max();
}

// Waits until `fd` can be read or has hung up; false once `deadline` passed.
bool ReadableBefore(int fd, Clock::time_point deadline) {
  if (deadline == Clock::time_point::max()) return true;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

// Waits for `pid`, killed once `deadline` passed, and tells whether it
// exited with status 0.
bool ExitedCleanly(pid_t pid, Clock::time_point deadline) {
  int status = 0;
  for (;;) {
    const bool bounded = deadline != Clock::time_point::max();
    const pid_t done = ::waitpid(pid, &status, bounded ? WNOHANG : 0);
    if (done == pid) break;
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // Output closed but still running: a short nap, then look again.
    if (Clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      deadline = Clock::time_point::max();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string FindCommand(const std::string& program, const std::string& searchPath) {
  if (program.empty() || program.find('/') != std::string::npos) return {};
  std::string_view rest = searchPath;
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    // Only absolute directories: a relative one would depend on where we are.
    if (!dir.starts_with('/')) continue;
    std::string candidate(dir);
    candidate.append("/").append(program);
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

Result<std::string> RunForOutput(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& searchPath, const OutputBounds& bounds,
                                 ErrorOutput errors) {
  const std::string path = FindCommand(program, searchPath);
  if (path.empty()) return ErrnoFailure(program, ENOENT);
  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<std::string> envStrings = EnvironmentWithPath(searchPath);
  const std::vector<char*> argv = Pointers(argStrings);
  const std::vector<char*> envp = Pointers(envStrings);

  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return ErrnoFailure(program);
  UniqueFd readEnd(ends[0]);
  UniqueFd writeEnd(ends[1]);
  const Clock::time_point deadline = DeadlineAfter(bounds.maxWait);
  std::optional<pid_t> pid =
      SpawnSetup(writeEnd.Get(), errors).Spawn(path, argv.data(), envp.data());
  writeEnd.Reset();  // so that the read ends when the child is done
  if (!pid) return ReasonFailure(program, "did not start");

  LineCollector lines(bounds);
  bool complete = false;
  std::array<char, 65536> chunk;
  for (;;) {
    if (!ReadableBefore(readEnd.Get(), deadline)) break;
    const ssize_t n = ReadRetrying(readEnd.Get(), chunk.data(), chunk.size());
    if (n <= 0) {
      complete = n == 0;
      break;
    }
    if (!lines.Add(std::string_view(chunk.data(), static_cast<size_t>(n)))) break;
  }
  if (!complete) ::kill(*pid, SIGKILL);
  readEnd.Reset();
  const bool exited = ExitedCleanly(*pid, deadline);  // reaped either way
  if (!complete) return ReasonFailure(program, "output cut off");
  if (!exited) return ReasonFailure(program, "failed");
  return lines.Take();
}
