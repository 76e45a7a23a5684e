#include "upload/deadline.h"

#include <algorithm>
#include <climits>

Deadline Deadline::In(std::chrono::seconds span) {
  constexpr std::chrono::seconds kCentury = std::chrono::hours(24 * 365 * 100);
  Deadline deadline;
  deadline.at_ = Clock::now() + std::clamp(span, std::chrono::seconds(0), kCentury);
  return deadline;
}

int Deadline::WaitMs(int stepMs) const {
  constexpr int kStopCheckMs = 50;
  if (stopped_ && (stepMs < 0 || stepMs > kStopCheckMs)) stepMs = kStopCheckMs;
  if (!at_) return stepMs;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*at_ - Clock::now()).count();
  const long long bounded = std::clamp<long long>(left, 0, INT_MAX);
  return static_cast<int>(stepMs < 0 ? bounded : std::min<long long>(bounded, stepMs));
}
