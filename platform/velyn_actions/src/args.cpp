#include "velyn_actions/args.h"

#include <charconv>

namespace velyn_actions {

namespace {

template <class T>
std::optional<T> parse_whole(std::string_view text) {
  T value{};
  if (text.empty() || text.front() == '+') return std::nullopt;
  const auto* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

ActionArgs& ActionArgs::with_text(std::string_view name, std::string_view value) {
  values_.insert_or_assign(std::string(name), std::string(value));
  return *this;
}

std::optional<std::string> ActionArgs::text(std::string_view name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::uint64_t> ActionArgs::unsigned_integer(std::string_view name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return parse_whole<std::uint64_t>(it->second);
}

std::optional<std::int64_t> ActionArgs::integer(std::string_view name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return parse_whole<std::int64_t>(it->second);
}

std::optional<bool> ActionArgs::boolean(std::string_view name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  if (it->second == "true") return true;
  if (it->second == "false") return false;
  return std::nullopt;
}

}  // namespace velyn_actions
