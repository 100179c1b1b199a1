#pragma once
// A scrollable, zoomable view onto content measured in content units.
//
// Invariants: min_zoom <= zoom <= max_zoom; 0 <= scroll <= max_scroll on each
// axis after every call (scroll is in screen units, so a zoom change re-clamps
// it). Content is laid out inside an inner margin; content narrower than the
// view is centred horizontally.
#include <optional>

#include "velyn_ui/geometry.h"

namespace velyn_ui {

class Scene;
struct Theme;

enum class ScrollAxis { Vertical, Horizontal };

// A scrollbar as drawn: its track along the view's edge and its thumb.
struct ScrollbarGeometry {
  Rect track;
  Rect thumb;
};

// What a press on a scrollbar met: the thumb (to drag), or the track before
// or after it (to page towards the press).
struct ScrollbarHit {
  enum class Part { Thumb, Before, After };
  ScrollAxis axis = ScrollAxis::Vertical;
  Part part = Part::Thumb;
};

class ViewportState {
 public:
  // Presses this far from the view's edge reach its scrollbar: the bar is
  // drawn thin, the target is not.
  static constexpr double kScrollbarReach = 14;
  // A press on the track pages by this share of the view.
  static constexpr double kScrollbarPage = 0.9;

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

  // None when there is nothing to scroll on that axis (or no room for a bar).
  [[nodiscard]] std::optional<ScrollbarGeometry> scrollbar(ScrollAxis axis) const;
  [[nodiscard]] std::optional<ScrollbarHit> scrollbar_at(Point screen) const;
  // A press on the track: one page towards it.
  void page_towards(const ScrollbarHit& hit);
  // A thumb dragged `moved` pixels along its axis since the scroll was `from`:
  // the content follows so that the thumb stays under the pointer.
  void drag_thumb(ScrollAxis axis, double from, double moved);

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
