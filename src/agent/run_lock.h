// One run at a time per output folder: an exclusive lock on a file there,
// taken before anything is written, held until the run ends. Stale
// temporary scan files are cleared under it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "base/failure.h"
#include "base/unique_fd.h"

// The lock file's name in the output folder; it is never removed.
inline constexpr char kRunLockName[] = ".scanunix.lock";

class RunLock {
 public:
  explicit RunLock(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // closing it releases the lock
};

// How taking the lock went: the lock, the pid of another run holding it
// (nullopt inside when that is not known), or a failure to open it.
struct RunLockAttempt {
  std::optional<RunLock> lock;
  bool held = false;               // another process holds it
  std::optional<pid_t> holder;     // that process, when it is a scanunix run
  std::optional<Failure> failure;  // the lock file could not be opened
};

// Opens (creating it 0600, never through a link) and locks
// `folder`/.scanunix.lock without waiting.
RunLockAttempt TakeRunLock(const std::string& folder);

// Removes the temporary files an earlier run for `scanFile` left beside it
// (killed, or the power lost): only regular files of ours with exactly the
// temporary name pattern; links and anything else stay. Call it holding
// the lock. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::string& scanFile);
