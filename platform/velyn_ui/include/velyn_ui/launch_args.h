#pragma once
// Command-line arguments as the launcher parses them:
//   [PATH…] [--sample] [--scenario NAME] [--screenshot [OUT.png]] [--size WxH] [--help]
// Flags other than the launcher's own must be listed by the application's
// launch descriptor; anything else starting with "--" is an error.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "velyn/error.h"

namespace velyn_ui::launch {

struct ScreenshotSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  friend bool operator==(const ScreenshotSize&, const ScreenshotSize&) = default;
};

// Largest screenshot side accepted by --size (a 16384² RGBA frame is 1 GiB).
constexpr std::uint32_t kMaxScreenshotSide = 16384;

class LaunchArgs {
 public:
  // `accepted_flags` are the application's own value-less flags ("--sample"),
  // `value_options` its own options that take a value ("--name VALUE").
  static velyn::Result<LaunchArgs> parse(std::span<const std::string> args,
                                         std::span<const std::string_view> accepted_flags,
                                         std::span<const std::string_view> value_options = {});

  [[nodiscard]] const std::vector<std::string>& positional() const { return positional_; }
  [[nodiscard]] const std::optional<std::string>& scenario() const { return scenario_; }
  // Set when --screenshot was given with a path.
  [[nodiscard]] const std::optional<std::string>& screenshot_path() const { return screenshot_path_; }
  [[nodiscard]] const std::optional<ScreenshotSize>& screenshot_size() const { return screenshot_size_; }
  // True for a screenshot launch, with or without a path.
  [[nodiscard]] bool screenshot() const { return screenshot_; }
  [[nodiscard]] bool help() const { return help_; }
  [[nodiscard]] bool has(std::string_view flag) const;
  // Every value given to an application option, in order.
  [[nodiscard]] std::vector<std::string> values(std::string_view option) const;

 private:
  std::vector<std::string> positional_;
  std::vector<std::string> flags_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::optional<std::string> scenario_;
  std::optional<std::string> screenshot_path_;
  std::optional<ScreenshotSize> screenshot_size_;
  bool screenshot_ = false;
  bool help_ = false;
};

// "900x600" → {900, 600}; both sides 1..kMaxScreenshotSide.
velyn::Result<ScreenshotSize> parse_size(std::string_view text);

}  // namespace velyn_ui::launch
