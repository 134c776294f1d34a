// The one answer of a fallible operation below the run logic: its value, or a
// Failure that says why in a short UTF-8 text a report can carry. Backends,
// the platform floor and the tools return it instead of out-parameters,
// errno values or exceptions; the run logic turns it into the bool or optional
// that runStep sequences.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tarnweld {

// What a caller may need to tell apart beyond the reason's text.
enum class FailureKind {
  kOther,
  kNotFound,     // nothing exists at the location asked for
  kUnsupported,  // the other side cannot take what was sent in the form it was sent
};

struct Failure {
  std::string reason;
  FailureKind kind = FailureKind::kOther;
};

inline Failure fail(std::string reason, FailureKind kind = FailureKind::kOther) {
  return Failure{std::move(reason), kind};
}

// A value of T, or a Failure. Reading the value of a failed result, or the
// failure of a successful one, is a programming error.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& operator*() & { return std::get<0>(state_); }
  const T& operator*() const& { return std::get<0>(state_); }
  T&& operator*() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }

  const Failure& failure() const { return std::get<1>(state_); }
  const std::string& reason() const { return failure().reason; }
  bool notFound() const noexcept { return !ok() && failure().kind == FailureKind::kNotFound; }

 private:
  std::variant<T, Failure> state_;
};

// Success with no value, or a Failure.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}

  bool ok() const noexcept { return !failure_; }
  explicit operator bool() const noexcept { return ok(); }

  const Failure& failure() const { return *failure_; }
  const std::string& reason() const { return failure_->reason; }
  bool notFound() const noexcept { return failure_ && failure_->kind == FailureKind::kNotFound; }

 private:
  std::optional<Failure> failure_;
};

using Status = Result<void>;

}  // namespace tarnweld
