#pragma once
// Classifies presses as single, double or triple: a press counts as the next
// in a series when it comes within kInterval seconds and kDistance pixels of
// the previous one; a fourth starts over.
#include "velyn_ui/geometry.h"

namespace velyn_ui::widget {

enum class PressKind { Single, Double, Triple };

class DragSelect {
 public:
  static constexpr double kInterval = 0.4;
  static constexpr double kDistance = 4.0;

  // `now` in seconds on a monotonic clock. `reported_clicks` is the window
  // system's own count when it has one (0 otherwise); the larger count wins.
  PressKind press(Point at, double now, int reported_clicks = 0);
  void reset() { count_ = 0; }
  [[nodiscard]] int count() const { return count_; }

 private:
  int count_ = 0;
  double last_time_ = 0;
  Point last_at_;
};

}  // namespace velyn_ui::widget
