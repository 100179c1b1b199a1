#include "velyn_ui/widget/marker_drag.h"

#include <cmath>

namespace velyn_ui::widget {

void MarkerDrag::begin(std::string id, Point anchor, Point pointer) {
  active_ = true;
  moved_ = false;
  id_ = std::move(id);
  offset_ = {pointer.x - anchor.x, pointer.y - anchor.y};
  press_ = pointer;
  anchor_ = anchor;
  start_anchor_ = anchor;
}

std::optional<Point> MarkerDrag::update(Point pointer) {
  if (!active_) return std::nullopt;
  if (!moved_ && std::hypot(pointer.x - press_.x, pointer.y - press_.y) > kSlop) moved_ = true;
  if (moved_) anchor_ = {pointer.x - offset_.x, pointer.y - offset_.y};
  return anchor_;
}

std::optional<MarkerDragResult> MarkerDrag::finish() {
  if (!active_) return std::nullopt;
  active_ = false;
  return MarkerDragResult{id_, anchor_, start_anchor_, moved_};
}

}  // namespace velyn_ui::widget
