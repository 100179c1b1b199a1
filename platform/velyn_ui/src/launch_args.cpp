#include "velyn_ui/launch_args.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "velyn/try.h"

namespace velyn_ui::launch {

namespace {

bool is_option(std::string_view arg) { return arg.size() > 2 && arg.starts_with("--"); }

// Splits "--name=value" into its parts; value is absent without '='.
std::pair<std::string_view, std::optional<std::string_view>> split_option(std::string_view arg) {
  const auto eq = arg.find('=');
  if (eq == std::string_view::npos) return {arg, std::nullopt};
  return {arg.substr(0, eq), arg.substr(eq + 1)};
}

std::optional<std::uint32_t> parse_side(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value == 0 || value > kMaxScreenshotSide) return std::nullopt;
  return value;
}

}  // namespace

velyn::Result<ScreenshotSize> parse_size(std::string_view text) {
  const auto x = text.find_first_of("xX");
  if (x != std::string_view::npos) {
    auto w = parse_side(text.substr(0, x));
    auto h = parse_side(text.substr(x + 1));
    if (w && h) return ScreenshotSize{*w, *h};
  }
  return velyn::fail(fmt::format("Invalid screenshot size \"{}\": expected WIDTHxHEIGHT, each 1 to {}", text,
                                 kMaxScreenshotSide));
}

velyn::Result<LaunchArgs> LaunchArgs::parse(std::span<const std::string> args,
                                            std::span<const std::string_view> accepted_flags,
                                            std::span<const std::string_view> value_options) {
  LaunchArgs out;
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (options_done || !is_option(arg)) {
      if (arg == "-h") {
        out.help_ = true;
        continue;
      }
      if (!options_done && arg == "--") {
        options_done = true;
        continue;
      }
      out.positional_.emplace_back(arg);
      continue;
    }
    auto [name, inline_value] = split_option(arg);
    // The value of an option: inline ("--size=900x600") or the next argument
    // unless that is itself an option.
    auto take_value = [&]() -> std::optional<std::string> {
      if (inline_value) return std::string(*inline_value);
      if (i + 1 < args.size() && !is_option(args[i + 1])) return args[++i];
      return std::nullopt;
    };
    if (name == "--help") {
      out.help_ = true;
    } else if (name == "--screenshot") {
      out.screenshot_ = true;
      if (auto v = take_value(); v && !v->empty()) out.screenshot_path_ = std::move(*v);
    } else if (name == "--size") {
      auto v = take_value();
      if (!v) return velyn::fail("Missing value for --size (expected WIDTHxHEIGHT)");
      out.screenshot_size_ = VELYN_TRY(parse_size(*v));
    } else if (name == "--scenario") {
      auto v = take_value();
      if (!v) return velyn::fail("Missing value for --scenario");
      out.scenario_ = std::move(*v);
    } else if (std::ranges::find(value_options, name) != value_options.end()) {
      auto v = take_value();
      if (!v) return velyn::fail(fmt::format("Missing value for {}", name));
      out.values_.emplace_back(std::string(name), std::move(*v));
    } else if (std::ranges::find(accepted_flags, name) != accepted_flags.end() && !inline_value) {
      out.flags_.emplace_back(name);
    } else {
      return velyn::fail(fmt::format("Unknown option {} (see --help)", arg));
    }
  }
  return out;
}

std::vector<std::string> LaunchArgs::values(std::string_view option) const {
  std::vector<std::string> out;
  for (const auto& [name, value] : values_)
    if (name == option) out.push_back(value);
  return out;
}

bool LaunchArgs::has(std::string_view flag) const { return std::ranges::find(flags_, flag) != flags_.end(); }

}  // namespace velyn_ui::launch
