#pragma once
// Timing lines on standard error while VELYN_PDF_PROFILE is present in the
// environment (any value). The switch is read again at every step.
#include <chrono>
#include <string>
#include <string_view>

namespace pdf::source {

bool profiling_enabled();

// "[pdf-profile] {label}: {ms:.1}ms"
std::string profile_line(std::string_view label, double milliseconds);
double elapsed_ms(std::chrono::steady_clock::time_point since);

// Writes a finished line (without newline) when profiling is on.
void emit_profile_line(const std::string& line);

// Times one labelled step from construction; finish() prints it once.
class ProfileStep {
 public:
  explicit ProfileStep(std::string label) : label_(std::move(label)), start_(std::chrono::steady_clock::now()) {}
  void finish();
  std::chrono::steady_clock::time_point start() const { return start_; }

 private:
  std::string label_;
  std::chrono::steady_clock::time_point start_;
  bool done_ = false;
};

}  // namespace pdf::source
