#pragma once
// The framework's log: warnings about dispatches go to one replaceable sink
// (standard error by default), so the toolkit can route them and tests can
// read them.
#include <functional>
#include <string>
#include <string_view>

namespace velyn_actions::log {

enum class Level { Debug, Info, Warning, Error };

struct Entry {
  Level level = Level::Info;
  std::string message;  // fixed text, e.g. "action dispatch failed"
  std::string detail;   // the variable part, e.g. the error text
};

using Sink = std::function<void(const Entry&)>;

// Replaces the sink; an empty one restores standard error. Returns the old one.
Sink set_sink(Sink sink);
void write(Level level, std::string_view message, std::string_view detail = {});

[[nodiscard]] std::string_view to_string(Level level);

}  // namespace velyn_actions::log
