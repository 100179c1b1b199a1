#pragma once
// Logical-pixel geometry shared by layout, drawing and hit testing.
#include <algorithm>

namespace velyn_ui {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// An axis-aligned rectangle given by its edges (x0, y0) top-left and (x1, y1)
// bottom-right. An all-zero rect is the "absent" rect of layouts.
struct Rect {
  double x0 = 0;
  double y0 = 0;
  double x1 = 0;
  double y1 = 0;

  static constexpr Rect from_size(double x, double y, double w, double h) { return {x, y, x + w, y + h}; }

  constexpr double width() const { return x1 - x0; }
  constexpr double height() const { return y1 - y0; }
  constexpr Point center() const { return {(x0 + x1) / 2, (y0 + y1) / 2}; }
  constexpr bool has_area() const { return x1 > x0 && y1 > y0; }
  constexpr bool contains(Point p) const { return p.x >= x0 && p.x < x1 && p.y >= y0 && p.y < y1; }
  constexpr Rect inset(double d) const { return {x0 + d, y0 + d, x1 - d, y1 - d}; }
  constexpr Rect inset(double dx, double dy) const { return {x0 + dx, y0 + dy, x1 - dx, y1 - dy}; }
  constexpr Rect translated(double dx, double dy) const { return {x0 + dx, y0 + dy, x1 + dx, y1 + dy}; }
  constexpr Rect intersect(const Rect& o) const {
    Rect r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    return r.has_area() ? r : Rect{};
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace velyn_ui
