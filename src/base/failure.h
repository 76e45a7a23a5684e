// The one way a step fails: a value that says what was being done and why
// it did not work (the errno, or a reason of its own). Probes, readers and
// transport steps return a Result; the run turns failures into its fixed
// messages, so leaves never print.
#pragma once

#include <cerrno>
#include <string>
#include <utility>
#include <variant>

struct Failure {
  std::string what;    // the step, as the run's message names it: "ioctl 2", "connect"
  int error = 0;       // errno; 0 when `reason` says why
  std::string reason;  // why, when no errno applies: "certificate required"

  // "what: <system error text>" or "what: reason" ("what" alone when both are empty).
  std::string Text() const;
  // The system error text or the reason, without the step.
  std::string Why() const;
};

// The step `what` failed with the current errno.
inline Failure ErrnoFailure(std::string what) { return Failure{std::move(what), errno, {}}; }
inline Failure ErrnoFailure(std::string what, int error) {
  return Failure{std::move(what), error, {}};
}
inline Failure ReasonFailure(std::string what, std::string reason) {
  return Failure{std::move(what), 0, std::move(reason)};
}

// A value, or the Failure that kept it from being made.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Failure failure) : state_(std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  T TakeValue() { return std::move(std::get<0>(state_)); }

  const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

// A step with nothing to give back but whether it worked.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failed_(true), failure_(std::move(failure)) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Failure& failure() const { return failure_; }

 private:
  bool failed_ = false;
  Failure failure_;
};

using Status = Result<void>;
