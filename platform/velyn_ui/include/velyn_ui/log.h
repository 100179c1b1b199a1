#pragma once
// Leveled log lines on standard error: "[warning] …", "[debug] …".
// Debug lines appear only when VELYN_LOG=debug.
#include <fmt/format.h>

#include <string_view>

namespace velyn_ui::log {

enum class Level { Debug, Warning, Error };

bool enabled(Level level);
void write(Level level, std::string_view message);

template <class... Args>
void warning(fmt::format_string<Args...> format, Args&&... args) {
  write(Level::Warning, fmt::format(format, std::forward<Args>(args)...));
}
template <class... Args>
void debug(fmt::format_string<Args...> format, Args&&... args) {
  if (enabled(Level::Debug)) write(Level::Debug, fmt::format(format, std::forward<Args>(args)...));
}

}  // namespace velyn_ui::log
