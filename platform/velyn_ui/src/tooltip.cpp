#include "velyn_ui/tooltip.h"

#include <algorithm>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace velyn_ui::widget::tooltip {

namespace {
constexpr double kTextSize = 12;
constexpr double kPadX = 8;
constexpr double kPadY = 5;
constexpr double kGap = 6;
}  // namespace

void Tooltip::reset(std::string text, Rect anchor, double delay) {
  text_ = std::move(text);
  anchor_ = anchor;
  delay_ = delay;
  started_.reset();
  opacity_ = 0;
}

void Tooltip::clear() {
  text_.reset();
  started_.reset();
  opacity_ = 0;
}

void Tooltip::tick(double now, double fade) {
  if (!text_) return;
  if (!started_) started_ = now;
  const double shown_for = now - *started_ - delay_;
  opacity_ = shown_for <= 0 ? 0 : (fade <= 0 ? 1 : std::clamp(shown_for / fade, 0.0, 1.0));
}

void draw_hover_tooltip(Scene& scene, TextRenderer& text, const Theme& theme, const Tooltip& tooltip,
                        const Rect& bounds) {
  const std::string* label = tooltip.text();
  if (!label || tooltip.opacity() <= 0) return;
  const TextMetrics m = text.measure(*label, kTextSize);
  const double w = m.width + 2 * kPadX;
  const double h = m.height + 2 * kPadY;
  const Rect& a = tooltip.anchor();
  double x = std::clamp(a.center().x - w / 2, bounds.x0 + 4, std::max(bounds.x0 + 4, bounds.x1 - w - 4));
  double y = a.y1 + kGap;
  if (y + h > bounds.y1) y = a.y0 - kGap - h;
  const Rect box{x, y, x + w, y + h};
  scene.push_layer(tooltip.opacity(), box.inset(-2));
  scene.fill_rounded_rect(box, 5, theme.colors.text.with_alpha(0.92));
  text.draw_text(scene, *label, {x + kPadX, y + kPadY}, kTextSize, theme.colors.background);
  scene.pop();
}

}  // namespace velyn_ui::widget::tooltip
