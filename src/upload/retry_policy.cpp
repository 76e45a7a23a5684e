#include "upload/retry_policy.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

std::chrono::seconds RetryWait(const std::vector<std::chrono::seconds>& waits, int retry) {
  if (waits.empty() || retry < 0) return std::chrono::seconds(0);
  return waits[std::min(static_cast<size_t>(retry), waits.size() - 1)];
}

std::chrono::seconds RetryWaitsTotal(const std::vector<std::chrono::seconds>& waits, int retries) {
  if (waits.empty() || retries <= 0) return std::chrono::seconds(0);
  const size_t listed = std::min(static_cast<size_t>(retries), waits.size());
  std::chrono::seconds total(0);
  for (size_t i = 0; i < listed; ++i) total += waits[i];
  return total + (retries - static_cast<int64_t>(listed)) * waits.back();
}

bool RetryableConnectError(int error, bool timedOut) {
  return timedOut || error == ECONNREFUSED || error == EHOSTUNREACH || error == ENETUNREACH ||
         error == ETIMEDOUT;
}
