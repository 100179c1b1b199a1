#pragma once
// Named arguments of an action invocation from automation or the resource
// tree. Every value arrives as text; the typed readers interpret it and answer
// none when the argument is absent or does not read as the asked type.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velyn_actions {

class ActionArgs {
 public:
  ActionArgs() = default;

  // Builder style: ActionArgs().with_text("path", "/tmp/a.pdf").
  ActionArgs& with_text(std::string_view name, std::string_view value);

  [[nodiscard]] std::optional<std::string> text(std::string_view name) const;
  // Decimal integers only, the whole text; no sign for unsigned.
  [[nodiscard]] std::optional<std::uint64_t> unsigned_integer(std::string_view name) const;
  [[nodiscard]] std::optional<std::int64_t> integer(std::string_view name) const;
  // "true" or "false".
  [[nodiscard]] std::optional<bool> boolean(std::string_view name) const;

  [[nodiscard]] bool has(std::string_view name) const { return values_.find(name) != values_.end(); }
  [[nodiscard]] bool empty() const { return values_.empty(); }
  [[nodiscard]] const std::map<std::string, std::string, std::less<>>& values() const { return values_; }

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace velyn_actions
