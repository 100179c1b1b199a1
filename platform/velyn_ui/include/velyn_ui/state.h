#pragma once
// Toolkit state that outlives frames: the text renderer with its layout cache,
// the frame clock and the last pointer position. One per window. UI thread only.
#include <functional>
#include <memory>

#include "velyn_ui/geometry.h"
#include "velyn_ui/text_renderer.h"

namespace velyn_ui::state {

class State {
 public:
  State();
  State(State&&) noexcept = default;
  State& operator=(State&&) noexcept = default;

  TextRenderer& text() { return *text_; }
  // Seconds on a monotonic clock. Tests may install their own clock.
  double now() const { return clock_(); }
  void set_clock(std::function<double()> clock) { clock_ = std::move(clock); }

  std::optional<Point> pointer;  // last known pointer position, if inside

 private:
  std::unique_ptr<TextRenderer> text_;
  std::function<double()> clock_;
};

}  // namespace velyn_ui::state
