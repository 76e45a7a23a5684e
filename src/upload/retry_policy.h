// Which failed uploads are tried again, and after how long: only failures
// before the server answered, and its 503, so that a file the server may
// have taken is never sent twice.
#pragma once

#include <chrono>
#include <vector>

// The waits before the first retry, the second, and every later one.
inline const std::vector<std::chrono::seconds> kRetryWaits = {std::chrono::seconds(10),
                                                              std::chrono::seconds(30)};

// The wait before retry `retry` (0 for the first); the last of `waits`
// repeats, and none at all means no wait.
std::chrono::seconds RetryWait(const std::vector<std::chrono::seconds>& waits, int retry);
// All the waits of `retries` retries together.
std::chrono::seconds RetryWaitsTotal(const std::vector<std::chrono::seconds>& waits, int retries);

// A connection that failed with `error` (errno) is worth another try:
// refused, host or network unreachable, timed out.
bool RetryableConnectError(int error, bool timedOut);
// The server is busy for now.
constexpr bool RetryableStatus(int status) { return status == 503; }
