#include "velyn_ui/toast.h"

#include <algorithm>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace velyn_ui::widget::toast {

namespace {
constexpr double kTextSize = 12.5;
constexpr double kPad = 12;
// Clear of the page bubble, which sits 16 above the bottom.
constexpr double kBottomGap = 60;
}  // namespace

void paint_transient(Scene& scene, TextRenderer& text, const Theme& theme, const Rect& area, std::string_view message,
                     double opacity) {
  if (message.empty() || opacity <= 0 || !area.has_area()) return;
  const double max_text = std::max(40.0, std::min(kMaxWidth, area.width() - 48) - 2 * kPad);
  const TextMetrics m = text.measure(message, kTextSize, kWeightRegular, max_text);
  const double w = m.width + 2 * kPad;
  const double h = m.height + 2 * kPad;
  const double x = area.center().x - w / 2;
  const double y = std::max(area.y0 + 8, area.y1 - kBottomGap - h);
  const Rect card{x, y, x + w, y + h};
  scene.push_layer(opacity, card.inset(-2));
  scene.fill_rounded_rect(card, theme.radius, theme.colors.surface);
  scene.stroke_rounded_rect(card, theme.radius, 1, theme.colors.border);
  text.draw_wrapped(scene, message, {x + kPad, y + kPad}, m.width + 1, kTextSize, kWeightRegular, theme.colors.text,
                    TextAlign::Left);
  scene.pop();
}

}  // namespace velyn_ui::widget::toast
