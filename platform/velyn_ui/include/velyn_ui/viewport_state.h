#pragma once
// A scrollable, zoomable view onto content measured in content units.
//
// Invariants: min_zoom <= zoom <= max_zoom; 0 <= scroll <= max_scroll on each
// axis after every call (scroll is in screen units, so a zoom change re-clamps
// it). Content is laid out inside an inner margin; content narrower than the
// view is centred horizontally.
#include "velyn_ui/geometry.h"

namespace velyn_ui {

class Scene;
struct Theme;

class ViewportState {
 public:
  static ViewportState with_zoom_bounds(double min_zoom, double max_zoom);

  void set_rect(const Rect& rect);
  void set_content_size(Size content);
  void set_margin(double margin);
  void set_zoom(double zoom);
  void zoom_by(double factor);
  // Keeps the content point under `screen` where it is.
  void zoom_at(double factor, Point screen);
  void set_scroll(Point scroll);
  void pan_by(double dx, double dy);
  void clamp_scroll();

  // Zoom at which the content width fills the view less both margins.
  [[nodiscard]] double fit_width_zoom() const;

  [[nodiscard]] Point screen_to_content(Point screen) const;
  [[nodiscard]] Point content_point_to_screen(Point content) const;

  [[nodiscard]] const Rect& rect() const { return rect_; }
  [[nodiscard]] Size content_size() const { return content_; }
  [[nodiscard]] double zoom() const { return zoom_; }
  [[nodiscard]] Point scroll() const { return scroll_; }
  [[nodiscard]] double margin() const { return margin_; }
  [[nodiscard]] double min_zoom() const { return min_zoom_; }
  [[nodiscard]] double max_zoom() const { return max_zoom_; }
  [[nodiscard]] Point max_scroll() const;

  void draw_scrollbars(Scene& scene, const Theme& theme) const;

 private:
  [[nodiscard]] double centring_offset() const;
  Rect rect_;
  Size content_;
  double margin_ = 0;
  double zoom_ = 1.0;
  double min_zoom_ = 0.1;
  double max_zoom_ = 10.0;
  Point scroll_;
};

}  // namespace velyn_ui
