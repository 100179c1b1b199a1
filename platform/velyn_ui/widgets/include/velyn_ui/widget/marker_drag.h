#pragma once
// Moving a point marker (a note) with the pointer. States: idle → pressed
// (begin: the anchor and the pointer's offset from it are kept) → moved (the
// pointer travelled more than kSlop from the press) → idle (finish).
// Coordinates are the caller's (page points for notes).
#include <optional>
#include <string>

#include "velyn_ui/geometry.h"

namespace velyn_ui::widget {

struct MarkerDragResult {
  std::string id;
  Point anchor;         // where the marker ends up
  Point start_anchor;   // where it was at the press
  bool moved = false;   // false: the gesture was a click
};

class MarkerDrag {
 public:
  static constexpr double kSlop = 2.0;

  void begin(std::string id, Point anchor, Point pointer);
  // The marker's anchor for the pointer at `pointer`; none while idle.
  std::optional<Point> update(Point pointer);
  std::optional<MarkerDragResult> finish();
  void cancel() { active_ = false; }

  [[nodiscard]] bool active() const { return active_; }
  [[nodiscard]] bool moved() const { return moved_; }
  [[nodiscard]] const std::string& id() const { return id_; }
  [[nodiscard]] Point offset() const { return offset_; }
  [[nodiscard]] Point anchor() const { return anchor_; }
  [[nodiscard]] Point start_anchor() const { return start_anchor_; }

 private:
  bool active_ = false;
  bool moved_ = false;
  std::string id_;
  Point offset_;  // pointer − anchor at the press
  Point press_;
  Point anchor_;
  Point start_anchor_;
};

}  // namespace velyn_ui::widget
