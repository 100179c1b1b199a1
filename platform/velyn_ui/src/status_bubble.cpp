#include "velyn_ui/status_bubble.h"

#include <algorithm>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace velyn_ui {

namespace {
// Room for the chevrons on both sides of the text.
constexpr double kPillPadding = 40;
}  // namespace

void StatusBubble::poke(double now) { shown_at_ = now; }

void StatusBubble::set_hover(bool hovered, double now) {
  if (hovered && !hovered_ && alpha(now) > 0) shown_at_ = now;
  if (!hovered && hovered_) shown_at_ = now;
  hovered_ = hovered;
}

double StatusBubble::alpha(double now) const {
  if (!shown_at_) return 0;
  if (hovered_) return 1;
  const double age = now - *shown_at_;
  if (age < kHoldSeconds) return 1;
  return std::clamp(1 - (age - kHoldSeconds) / kFadeSeconds, 0.0, 1.0);
}

bool StatusBubble::animating(double now) const {
  return shown_at_ && !hovered_ && now - *shown_at_ < kHoldSeconds + kFadeSeconds;
}

namespace status_bubble {

Size pill_size(std::string_view text, TextRenderer& renderer, double size, double height) {
  const TextMetrics m = renderer.measure(text, size, kWeightMedium);
  return {m.width + 2 * kPillPadding, height};
}

void draw_pill(Scene& scene, TextRenderer& renderer, const Theme& theme, const Rect& pill, std::string_view text,
               double size) {
  scene.fill_rounded_rect(pill, pill.height() / 2, theme.colors.text.with_alpha(0.86));
  const TextMetrics m = renderer.measure(text, size, kWeightMedium);
  const Point at{pill.center().x - m.width / 2, pill.center().y - m.height / 2};
  renderer.draw_text_weighted(scene, text, at, size, kWeightMedium, theme.colors.background);
}

void draw_chevron(Scene& scene, const Theme& theme, const Rect& box, Direction direction, bool highlighted) {
  const Color color = theme.colors.background.with_alpha(highlighted ? 1.0 : 0.6);
  const double w = box.width() * 0.25;
  const Point c = box.center();
  const double dx = direction == Direction::Left ? w : -w;
  Path p;
  p.move_to({c.x + dx, c.y - w * 1.6}).line_to({c.x - dx, c.y}).line_to({c.x + dx, c.y + w * 1.6});
  scene.stroke(p, StrokeStyle::solid(1.8, LineCap::Round, LineJoin::Round), color);
}

}  // namespace status_bubble
}  // namespace velyn_ui
