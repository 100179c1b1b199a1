#include "velyn_actions/log.h"

#include <cstdio>
#include <utility>

namespace velyn_actions::log {

namespace {

// UI thread only, like every dispatch; no lock needed.
Sink& current_sink() {
  static Sink sink;
  return sink;
}

}  // namespace

std::string_view to_string(Level level) {
  switch (level) {
    case Level::Debug: return "debug";
    case Level::Info: return "info";
    case Level::Warning: return "warning";
    case Level::Error: return "error";
  }
  return "info";
}

Sink set_sink(Sink sink) { return std::exchange(current_sink(), std::move(sink)); }

void write(Level level, std::string_view message, std::string_view detail) {
  Entry entry{level, std::string(message), std::string(detail)};
  if (const Sink& sink = current_sink()) {
    sink(entry);
    return;
  }
  std::fprintf(stderr, "[%.*s] %.*s%s%.*s\n", static_cast<int>(to_string(level).size()), to_string(level).data(),
               static_cast<int>(entry.message.size()), entry.message.data(), entry.detail.empty() ? "" : ": ",
               static_cast<int>(entry.detail.size()), entry.detail.data());
}

}  // namespace velyn_actions::log
