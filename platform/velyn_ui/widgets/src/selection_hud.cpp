#include "velyn_ui/widget/selection_hud.h"

#include <algorithm>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace velyn_ui::widget {

namespace {
constexpr double kPadX = 6;
constexpr double kButtonPadX = 10;
constexpr double kDotPitch = 24;
constexpr double kSeparatorGap = 6;
constexpr double kEdgeMargin = 4;
constexpr const char* kCopyLabel = "Copy";
constexpr const char* kCommentLabel = "Comment";
}  // namespace

SelectionHudColors SelectionHudColors::from_theme(const Theme& theme) {
  const Colors& c = theme.colors;
  return {c.surface,  c.border, c.text, c.secondary_text, c.lift(0.72), c.accent, c.danger, c.text.with_alpha(0.14),
          {c.yellow, c.green, c.pink, c.blue, c.purple}};
}

SelectionHudHits SelectionHud::draw(Scene& scene, TextRenderer& renderer, const SelectionHudColors& colors,
                                    std::span<const std::size_t> swatch_ids, std::size_t current_swatch,
                                    std::optional<Point> pointer, double center_x, double top, const Rect& bounds,
                                    double below) {
  const double copy_w = renderer.measure(kCopyLabel, kLabelSize, kWeightMedium).width + 2 * kButtonPadX;
  const double comment_w = renderer.measure(kCommentLabel, kLabelSize, kWeightMedium).width + 2 * kButtonPadX;
  const double dots_w = kDotPitch * static_cast<double>(swatch_ids.size());
  const double width = 2 * kPadX + copy_w + 2 * (2 * kSeparatorGap + 1) + dots_w + comment_w;

  double x = center_x - width / 2;
  x = std::clamp(x, bounds.x0 + kEdgeMargin, std::max(bounds.x0 + kEdgeMargin, bounds.x1 - kEdgeMargin - width));
  double y = top - kGap - kHeight;
  if (y < bounds.y0 + kEdgeMargin && below > 0) y = below + kGap;
  y = std::max(y, bounds.y0 + kEdgeMargin);

  SelectionHudHits hits;
  hits.frame = Rect::from_size(x, y, width, kHeight);
  const double radius = kHeight / 2;
  scene.fill_rounded_rect(hits.frame.translated(0, 2), radius, colors.shadow);
  scene.fill_rounded_rect(hits.frame, radius, colors.surface);
  scene.stroke_rounded_rect(hits.frame, radius, 1, colors.border);

  const Rect inner = hits.frame.inset(kPadX, 4);
  double cx = inner.x0;
  const auto button = [&](const char* label, double w) {
    const Rect r{cx, inner.y0, cx + w, inner.y1};
    if (pointer && r.contains(*pointer)) scene.fill_rounded_rect(r, r.height() / 2, colors.hover);
    const TextMetrics m = renderer.measure(label, kLabelSize, kWeightMedium);
    renderer.draw_text_weighted(scene, label, {r.x0 + (w - m.width) / 2, r.y0 + (r.height() - m.height) / 2},
                                kLabelSize, kWeightMedium, colors.text);
    cx += w;
    return r;
  };
  const auto separator = [&] {
    cx += kSeparatorGap;
    scene.line({cx + 0.5, inner.y0 + 4}, {cx + 0.5, inner.y1 - 4}, 1, colors.border);
    cx += 1 + kSeparatorGap;
  };

  hits.copy = button(kCopyLabel, copy_w);
  separator();
  for (const std::size_t id : swatch_ids) {
    const Rect cell{cx, inner.y0, cx + kDotPitch, inner.y1};
    const Point c = cell.center();
    const Color fill = id < colors.swatches.size() ? colors.swatches[id] : colors.danger;
    if (id == current_swatch) scene.stroke_circle(c, kDot / 2 + 2, 1.6, colors.accent);
    scene.fill_circle(c, kDot / 2 - (pointer && cell.contains(*pointer) ? 0 : 1), fill);
    hits.swatches.emplace_back(id, Rect{c.x - kDot / 2, c.y - kDot / 2, c.x + kDot / 2, c.y + kDot / 2});
    cx += kDotPitch;
  }
  separator();
  hits.comment = button(kCommentLabel, comment_w);
  return hits;
}

std::optional<SelectionHudHit> SelectionHud::hit(const SelectionHudHits& hits, Point p) {
  if (!hits.frame.contains(p)) return std::nullopt;
  if (hits.copy.contains(p)) return SelectionHudHit{SelectionHudHit::Kind::Copy, 0};
  if (hits.comment.contains(p)) return SelectionHudHit{SelectionHudHit::Kind::Comment, 0};
  for (const auto& [id, r] : hits.swatches) {
    if (r.contains(p)) return SelectionHudHit{SelectionHudHit::Kind::Swatch, id};
  }
  return SelectionHudHit{SelectionHudHit::Kind::Frame, 0};
}

}  // namespace velyn_ui::widget
