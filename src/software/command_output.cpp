#include "software/command_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

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

// How the child starts: stdin from /dev/null, stdout into `outFd`, and
// SIGPIPE back to its default even when we ignore it.
class SpawnSetup {
 public:
  explicit SpawnSetup(int outFd) {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
    sigset_t defaults, mask;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&mask);
    valid_ =
        posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
        posix_spawn_file_actions_adddup2(&actions_, outFd, STDOUT_FILENO) == 0 &&
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

// Waits for `pid` and tells whether it exited with status 0.
bool ExitedCleanly(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Waits until `fd` has input (or its end); false once `stopped` says so.
bool AwaitInput(int fd, const std::function<bool()>& stopped) {
  constexpr int kCheckEveryMs = 50;
  for (;;) {
    if (stopped()) return false;
    pollfd ready{fd, POLLIN, 0};
    const int n = ::poll(&ready, 1, kCheckEveryMs);
    if (n > 0 || (n < 0 && errno != EINTR)) return true;  // the read says what it is
  }
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

std::optional<std::string> RunForOutput(const std::string& program,
                                        const std::vector<std::string>& args,
                                        const std::string& searchPath,
                                        const OutputBounds& bounds,
                                        const std::function<bool()>& stopped) {
  const std::string path = FindCommand(program, searchPath);
  if (path.empty()) return std::nullopt;
  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<std::string> envStrings = EnvironmentWithPath(searchPath);
  const std::vector<char*> argv = Pointers(argStrings);
  const std::vector<char*> envp = Pointers(envStrings);

  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  UniqueFd readEnd(ends[0]);
  UniqueFd writeEnd(ends[1]);
  std::optional<pid_t> pid = SpawnSetup(writeEnd.Get()).Spawn(path, argv.data(), envp.data());
  writeEnd.Reset();  // so that the read ends when the child is done
  if (!pid) return std::nullopt;

  LineCollector lines(bounds);
  bool complete = false;
  std::array<char, 65536> chunk;
  for (;;) {
    if (stopped && !AwaitInput(readEnd.Get(), stopped)) break;
    const ssize_t n = ReadRetrying(readEnd.Get(), chunk.data(), chunk.size());
    if (n <= 0) {
      complete = n == 0;
      break;
    }
    if (!lines.Add(std::string_view(chunk.data(), static_cast<size_t>(n)))) break;
  }
  if (!complete) ::kill(*pid, SIGKILL);
  readEnd.Reset();
  if (!ExitedCleanly(*pid) || !complete) return std::nullopt;
  return lines.Take();
}
