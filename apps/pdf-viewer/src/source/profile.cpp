#include "source/profile.h"

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>

namespace pdf::source {

bool profiling_enabled() { return std::getenv("VELYN_PDF_PROFILE") != nullptr; }

std::string profile_line(std::string_view label, double milliseconds) {
  return fmt::format("[pdf-profile] {}: {:.1f}ms", label, milliseconds);
}

double elapsed_ms(std::chrono::steady_clock::time_point since) {
  auto elapsed = std::chrono::steady_clock::now() - since;
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

void emit_profile_line(const std::string& line) {
  if (!profiling_enabled()) return;
  std::fprintf(stderr, "%s\n", line.c_str());
}

void ProfileStep::finish() {
  if (done_) return;
  done_ = true;
  if (profiling_enabled()) emit_profile_line(profile_line(label_, elapsed_ms(start_)));
}

}  // namespace pdf::source
