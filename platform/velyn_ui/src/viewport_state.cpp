#include "velyn_ui/viewport_state.h"

#include <algorithm>
#include <cmath>

#include "velyn_ui/scene.h"
#include "velyn_ui/theme.h"

namespace velyn_ui {

namespace {
constexpr double kScrollbarWidth = 6;
constexpr double kScrollbarInset = 3;
constexpr double kScrollbarMinLength = 24;
}  // namespace

ViewportState ViewportState::with_zoom_bounds(double min_zoom, double max_zoom) {
  ViewportState v;
  v.min_zoom_ = std::min(min_zoom, max_zoom);
  v.max_zoom_ = std::max(min_zoom, max_zoom);
  v.zoom_ = std::clamp(1.0, v.min_zoom_, v.max_zoom_);
  return v;
}

void ViewportState::set_rect(const Rect& rect) {
  rect_ = rect;
  clamp_scroll();
}

void ViewportState::set_content_size(Size content) {
  content_ = {std::max(0.0, content.width), std::max(0.0, content.height)};
  clamp_scroll();
}

void ViewportState::set_margin(double margin) {
  margin_ = std::max(0.0, margin);
  clamp_scroll();
}

void ViewportState::set_zoom(double zoom) {
  if (!std::isfinite(zoom)) return;
  zoom_ = std::clamp(zoom, min_zoom_, max_zoom_);
  clamp_scroll();
}

void ViewportState::zoom_by(double factor) { set_zoom(zoom_ * factor); }

void ViewportState::zoom_at(double factor, Point screen) {
  const Point anchor = screen_to_content(screen);
  set_zoom(zoom_ * factor);
  const Point moved = content_point_to_screen(anchor);
  scroll_.x += moved.x - screen.x;
  scroll_.y += moved.y - screen.y;
  clamp_scroll();
}

void ViewportState::set_scroll(Point scroll) {
  scroll_ = scroll;
  clamp_scroll();
}

void ViewportState::pan_by(double dx, double dy) {
  scroll_.x += dx;
  scroll_.y += dy;
  clamp_scroll();
}

Point ViewportState::max_scroll() const {
  const double w = content_.width * zoom_ + 2 * margin_ - rect_.width();
  const double h = content_.height * zoom_ + 2 * margin_ - rect_.height();
  return {std::max(0.0, w), std::max(0.0, h)};
}

void ViewportState::clamp_scroll() {
  const Point limit = max_scroll();
  scroll_.x = std::isfinite(scroll_.x) ? std::clamp(scroll_.x, 0.0, limit.x) : 0.0;
  scroll_.y = std::isfinite(scroll_.y) ? std::clamp(scroll_.y, 0.0, limit.y) : 0.0;
}

double ViewportState::fit_width_zoom() const {
  const double available = rect_.width() - 2 * margin_;
  if (content_.width <= 0 || available <= 0) return zoom_;
  return std::clamp(available / content_.width, min_zoom_, max_zoom_);
}

double ViewportState::centring_offset() const {
  return std::max(0.0, (rect_.width() - (content_.width * zoom_ + 2 * margin_)) / 2);
}

Point ViewportState::screen_to_content(Point screen) const {
  return {(screen.x - rect_.x0 - centring_offset() - margin_ + scroll_.x) / zoom_,
          (screen.y - rect_.y0 - margin_ + scroll_.y) / zoom_};
}

Point ViewportState::content_point_to_screen(Point content) const {
  return {rect_.x0 + centring_offset() + margin_ + content.x * zoom_ - scroll_.x,
          rect_.y0 + margin_ + content.y * zoom_ - scroll_.y};
}

std::optional<ScrollbarGeometry> ViewportState::scrollbar(ScrollAxis axis) const {
  const bool vertical = axis == ScrollAxis::Vertical;
  const Point limit = max_scroll();
  const double scrollable = vertical ? limit.y : limit.x;
  const double extent = vertical ? rect_.height() : rect_.width();
  if (scrollable <= 0 || extent <= 2 * kScrollbarMinLength) return std::nullopt;
  const double track = extent - 2 * kScrollbarInset;
  const double length = std::max(kScrollbarMinLength, track * extent / (extent + scrollable));
  const double offset = (track - length) * ((vertical ? scroll_.y : scroll_.x) / scrollable);
  if (vertical) {
    const double x1 = rect_.x1 - kScrollbarInset;
    const double top = rect_.y0 + kScrollbarInset;
    return ScrollbarGeometry{{x1 - kScrollbarWidth, top, x1, top + track},
                             {x1 - kScrollbarWidth, top + offset, x1, top + offset + length}};
  }
  const double y1 = rect_.y1 - kScrollbarInset;
  const double left = rect_.x0 + kScrollbarInset;
  return ScrollbarGeometry{{left, y1 - kScrollbarWidth, left + track, y1},
                           {left + offset, y1 - kScrollbarWidth, left + offset + length, y1}};
}

std::optional<ScrollbarHit> ViewportState::scrollbar_at(Point p) const {
  for (const ScrollAxis axis : {ScrollAxis::Vertical, ScrollAxis::Horizontal}) {
    const auto bar = scrollbar(axis);
    if (!bar) continue;
    const bool vertical = axis == ScrollAxis::Vertical;
    const Rect zone = vertical ? Rect{rect_.x1 - kScrollbarReach, bar->track.y0, rect_.x1, bar->track.y1}
                               : Rect{bar->track.x0, rect_.y1 - kScrollbarReach, bar->track.x1, rect_.y1};
    if (!zone.contains(p)) continue;
    const double at = vertical ? p.y : p.x;
    const double start = vertical ? bar->thumb.y0 : bar->thumb.x0;
    const double end = vertical ? bar->thumb.y1 : bar->thumb.x1;
    const auto part = at < start ? ScrollbarHit::Part::Before
                      : at > end ? ScrollbarHit::Part::After
                                 : ScrollbarHit::Part::Thumb;
    return ScrollbarHit{axis, part};
  }
  return std::nullopt;
}

void ViewportState::page_towards(const ScrollbarHit& hit) {
  if (hit.part == ScrollbarHit::Part::Thumb) return;
  const bool vertical = hit.axis == ScrollAxis::Vertical;
  const double page = kScrollbarPage * (vertical ? rect_.height() : rect_.width());
  const double step = hit.part == ScrollbarHit::Part::After ? page : -page;
  pan_by(vertical ? 0 : step, vertical ? step : 0);
}

void ViewportState::drag_thumb(ScrollAxis axis, double from, double moved) {
  const auto bar = scrollbar(axis);
  if (!bar) return;
  const bool vertical = axis == ScrollAxis::Vertical;
  const double free = vertical ? bar->track.height() - bar->thumb.height() : bar->track.width() - bar->thumb.width();
  if (free <= 0) return;
  const Point limit = max_scroll();
  const double scroll = from + moved * (vertical ? limit.y : limit.x) / free;
  set_scroll(vertical ? Point{scroll_.x, scroll} : Point{scroll, scroll_.y});
}

void ViewportState::draw_scrollbars(Scene& scene, const Theme& theme) const {
  const Color thumb = theme.colors.secondary_text.scaled_alpha(0.45);
  for (const ScrollAxis axis : {ScrollAxis::Vertical, ScrollAxis::Horizontal}) {
    if (const auto bar = scrollbar(axis)) scene.fill_rounded_rect(bar->thumb, kScrollbarWidth / 2, thumb);
  }
}

}  // namespace velyn_ui
