#include "velyn_ui/log.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace velyn_ui::log {

namespace {
bool debug_enabled() {
  static const bool enabled = [] {
    const char* v = std::getenv("VELYN_LOG");
    return v && std::string_view(v) == "debug";
  }();
  return enabled;
}
std::string_view label(Level level) {
  switch (level) {
    case Level::Debug: return "debug";
    case Level::Warning: return "warning";
    default: return "error";
  }
}
}  // namespace

bool enabled(Level level) { return level != Level::Debug || debug_enabled(); }

void write(Level level, std::string_view message) {
  if (!enabled(level)) return;
  std::string line = fmt::format("[{}] {}\n", label(level), message);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace velyn_ui::log
