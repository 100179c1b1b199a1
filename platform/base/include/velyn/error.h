#pragma once
// The one error value of the code base: a human-readable text, nothing else.
// Failures travel as std::expected<T, velyn::Error>; nothing throws across a
// module boundary.
#include <expected>
#include <string>
#include <utility>

namespace velyn {

struct Error {
  std::string message;

  Error() = default;
  explicit Error(std::string text) : message(std::move(text)) {}

  // "step: cause", the shape of every worker-side failure text.
  [[nodiscard]] Error prefixed(std::string_view step) const {
    return Error(std::string(step) + ": " + message);
  }
  friend bool operator==(const Error&, const Error&) = default;
};

template <class T>
using Result = std::expected<T, Error>;

inline std::unexpected<Error> fail(std::string text) { return std::unexpected<Error>(Error(std::move(text))); }

}  // namespace velyn
