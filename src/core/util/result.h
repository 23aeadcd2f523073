#pragma once
// Errors are values: a Result holds either a value or an Error that names the file or device
// and the problem, ready to be shown to the user as it stands.

#include <string>
#include <utility>
#include <variant>

namespace vm31 {

enum class ErrorCode {
  kNotFound,     // a file or device that must exist does not
  kIo,           // the operating system refused a read, write, rename or open
  kBadFormat,    // the content is not what the format allows (wrong size, bad syntax)
  kOutOfRange,   // a value lies outside what the device or the format can hold
  kUsage,        // a caller asked for something that makes no sense
  kAccessDenied, // the operating system refused access (a device node without permission)
  kBusy,         // another program is using the device; the message names it
};

struct Error {
  ErrorCode code;
  std::string message;
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  Result(Error error) : state_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<T>(state_); }
  const T& value() const& { return std::get<T>(state_); }
  T&& value() && { return std::get<T>(std::move(state_)); }
  const Error& error() const { return std::get<Error>(state_); }

 private:
  std::variant<T, Error> state_;
};

struct Ok {};
using Status = Result<Ok>;

inline Error MakeError(ErrorCode code, std::string message) {
  return Error{code, std::move(message)};
}

}  // namespace vm31
