#include "velyn_ui/widget/toggle_group.h"

#include <algorithm>

#include "velyn_ui/scene.h"
#include "velyn_ui/theme.h"

namespace velyn_ui::widget {

std::vector<Rect> ToggleGroup::segments(const Rect& rect, std::size_t count) {
  std::vector<Rect> out;
  if (count == 0) return out;
  const double w = rect.width() / static_cast<double>(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double x0 = rect.x0 + w * static_cast<double>(i);
    // The last segment ends exactly at the edge despite rounding.
    out.push_back({x0, rect.y0, i + 1 == count ? rect.x1 : x0 + w, rect.y1});
  }
  return out;
}

std::vector<Rect> ToggleGroup::paint(Scene& scene, TextRenderer& renderer, const Theme& theme, const Rect& rect,
                                     std::span<const std::string_view> labels, std::size_t selected,
                                     std::optional<Point> pointer, const ToggleStyle& style) {
  const std::vector<Rect> segs = segments(rect, labels.size());
  const double radius = std::min(theme.radius, rect.height() / 2);
  scene.fill_rounded_rect(rect, radius, theme.colors.lift(0.35));
  for (std::size_t i = 0; i < segs.size(); ++i) {
    const Rect& s = segs[i];
    const bool on = i == selected;
    const Rect pill = s.inset(style.inset);
    const double pill_radius = std::max(0.0, radius - style.inset);
    if (on) {
      scene.fill_rounded_rect(pill, pill_radius, theme.colors.surface);
      scene.stroke_rounded_rect(pill, pill_radius, 1, theme.colors.border);
    } else if (pointer && s.contains(*pointer)) {
      scene.fill_rounded_rect(pill, pill_radius, theme.colors.lift(0.5));
    }
    const TextMetrics m = renderer.measure(labels[i], style.label_size, style.weight);
    const Point at{s.x0 + (s.width() - m.width) / 2, s.y0 + (s.height() - m.height) / 2};
    renderer.draw_text_weighted(scene, labels[i], at, style.label_size, style.weight,
                                on ? theme.colors.text : theme.colors.secondary_text);
  }
  return segs;
}

std::optional<std::size_t> ToggleGroup::hit(std::span<const Rect> segments, Point p) {
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (segments[i].contains(p)) return i;
  }
  return std::nullopt;
}

}  // namespace velyn_ui::widget
