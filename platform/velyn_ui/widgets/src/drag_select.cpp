#include "velyn_ui/widget/drag_select.h"

#include <algorithm>
#include <cmath>

namespace velyn_ui::widget {

PressKind DragSelect::press(Point at, double now, int reported_clicks) {
  const bool series = count_ > 0 && count_ < 3 && now - last_time_ <= kInterval && now >= last_time_ &&
                      std::abs(at.x - last_at_.x) <= kDistance && std::abs(at.y - last_at_.y) <= kDistance;
  count_ = series ? count_ + 1 : 1;
  if (reported_clicks > count_) count_ = std::min(reported_clicks, 3);
  last_time_ = now;
  last_at_ = at;
  return count_ == 3 ? PressKind::Triple : count_ == 2 ? PressKind::Double : PressKind::Single;
}

}  // namespace velyn_ui::widget
