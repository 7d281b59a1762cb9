#pragma once

#include <string>
#include <utility>
#include <variant>

namespace kavrano {

/// Why an operation did not happen, in words a user can act on ("The disk is full").
struct Failure {
  /// What kind of trouble, for callers that react differently (open read-only, set a file aside).
  /// `invalidRequest`: what was asked for is at fault (a command line, a file handed in),
  /// not the circumstances, so asking again the same way fails again.
  enum class Kind { other, diskFull, readOnly, busy, unreadableFile, tooLarge, invalidRequest };
  std::string reason;
  Kind kind = Kind::other;
};

/// The value of an operation that worked, or why it did not. The one way the core
/// and the command line report a failure; nothing is thrown across layers.
template <class T>
class Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}            // NOLINT: implicit by design
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}  // NOLINT

  [[nodiscard]] bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  /// Only when ok().
  [[nodiscard]] T& value() & { return std::get<0>(state_); }
  [[nodiscard]] const T& value() const& { return std::get<0>(state_); }
  [[nodiscard]] T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  /// Only when !ok().
  [[nodiscard]] const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

/// An operation with nothing to give back but its success.
template <>
class Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}  // NOLINT: implicit by design

  [[nodiscard]] bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  [[nodiscard]] const Failure& failure() const { return failure_; }

 private:
  Failure failure_;
  bool ok_ = true;
};

}  // namespace kavrano
