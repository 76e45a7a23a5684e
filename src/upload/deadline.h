// One point on the monotonic clock by which a whole exchange must be over,
// so that no peer can stretch it by answering a little at a time.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // No deadline: waits are bounded by their step alone.
  Deadline() = default;
  // `span` from now; a span too long for the clock is cut to a century.
  static Deadline In(std::chrono::seconds span);
  // Also passed once `stopped` says so; every wait is then at most 50 ms.
  void EndWhen(std::function<bool()> stopped) { stopped_ = std::move(stopped); }

  bool Passed() const { return (at_ && Clock::now() >= *at_) || (stopped_ && stopped_()); }
  // Whether `span` from now still ends before the deadline.
  bool Allows(std::chrono::seconds span) const { return !at_ || Clock::now() + span < *at_; }
  // How long one wait may last, in milliseconds for poll(): at most
  // `stepMs` (-1: no bound of its own) and never past the deadline.
  int WaitMs(int stepMs) const;

 private:
  std::optional<Clock::time_point> at_;
  std::function<bool()> stopped_;
};
