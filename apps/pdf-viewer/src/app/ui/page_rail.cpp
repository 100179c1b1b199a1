#include "app/ui/page_rail.h"

#include <algorithm>
#include <string>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

using velyn_ui::Rect;

std::vector<Rect> rail_thumbnail_rects(const Rect& rail, std::uint64_t page_count, double page_width,
                                       double page_height, double scroll) {
  std::vector<Rect> out;
  const double x0 = rail.x0 + kRailGutter + 4;
  const double x1 = rail.x1 - kRailPadding;
  if (x1 <= x0 || page_width <= 0) return out;
  const double aspect = std::max(page_height / page_width, kMinThumbAspect);
  const double h = (x1 - x0) * aspect;
  out.reserve(page_count);
  double y = rail.y0 + kRailHeaderHeight - scroll;
  for (std::uint64_t i = 0; i < page_count; ++i) {
    out.push_back({x0, y, x1, y + h});
    y += h + kRailThumbGap;
  }
  return out;
}

void draw_page_rail(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                    const RailView& view, const ThumbnailLookup& lookup) {
  const Rect& r = view.rect;
  scene.fill_rect(r, theme.colors.surface);
  scene.fill_rect({r.x1 - 1, r.y0, r.x1, r.y1}, theme.colors.border);
  text.draw_text_weighted(scene, "Pages", {r.x0 + 12, r.y0 + 10}, 12, velyn_ui::kWeightSemibold, theme.colors.text);
  const Rect list{r.x0, r.y0 + kRailHeaderHeight - 6, r.x1, r.y1};
  scene.push_clip(list);
  for (std::size_t i = 0; i < view.thumbnails.size(); ++i) {
    const Rect& t = view.thumbnails[i];
    if (t.y1 < list.y0 || t.y0 > list.y1) continue;
    const bool current = i + 1 == view.current;
    scene.fill_rounded_rect(t, 2, velyn_ui::Color{1, 1, 1, 1});
    if (const auto* image = lookup(i, t); image && !image->empty()) {
      scene.push_clip(t, 2);
      scene.draw_image(*image, t, velyn_ui::ImageFilter::Fast);
      scene.pop();
    }
    if (current) {
      scene.stroke_rounded_rect(t, 6, 2.5, theme.colors.accent);
    } else {
      scene.stroke_rounded_rect(t, 6, 1.0, theme.colors.thumbnail_border.scaled_alpha(0.12));
    }
    const std::string number = std::to_string(i + 1);
    const int weight = current ? velyn_ui::kWeightSemibold : velyn_ui::kWeightRegular;
    const auto m = text.measure(number, 11, weight);
    const double x = std::max(r.x0 + 2, t.x0 - 4 - m.width);
    text.draw_text_weighted(scene, number, {x, t.center().y - m.height / 2}, 11, weight,
                            current ? theme.colors.accent : theme.colors.rail_label);
  }
  scene.pop();
}

}  // namespace pdf_app
