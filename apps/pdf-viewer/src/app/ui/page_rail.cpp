#include "app/ui/page_rail.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

using velyn_ui::Rect;

void draw_page_rail(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                    const velyn_ui::PageSidebar& rail, const RailView& view, const ThumbnailPainter& paint) {
  const Rect& r = rail.rect();
  scene.fill_rect(r, theme.colors.surface);
  scene.fill_rect({r.x1 - 1, r.y0, r.x1, r.y1}, theme.colors.border);
  const Rect header = rail.header_rect();
  const std::string_view title = velyn_ui::widget::page_sidebar::translated("title");
  const auto tm = text.measure(title, 12, velyn_ui::kWeightSemibold);
  text.draw_text_weighted(scene, title, {r.x0 + 12, header.center().y - tm.height / 2}, 12, velyn_ui::kWeightSemibold,
                          theme.colors.text);
  const Rect list = rail.list_rect();
  scene.push_clip(list);
  for (const auto& [index, t] : rail.thumb_rects()) {
    const bool current = index + 1 == view.current;
    scene.fill_rounded_rect(t, 2, velyn_ui::Color{1, 1, 1, 1});
    scene.push_clip(t, 2);
    paint(index, t);
    scene.pop();
    if (current) {
      scene.stroke_rounded_rect(t, 6, 2.5, theme.colors.accent);
    } else {
      scene.stroke_rounded_rect(t, 6, 1.0, theme.colors.thumbnail_border.scaled_alpha(0.12));
    }
    const std::string number = std::to_string(index + 1);
    const int weight = current ? velyn_ui::kWeightSemibold : velyn_ui::kWeightRegular;
    const auto m = text.measure(number, 11, weight);
    const double x = std::max(r.x0 + 2, t.x0 - 4 - m.width);
    text.draw_text_weighted(scene, number, {x, t.center().y - m.height / 2}, 11, weight,
                            current ? theme.colors.accent : theme.colors.rail_label);
  }
  if (const auto drop = rail.drop_indicator()) {
    scene.fill_rounded_rect(*drop, drop->height() / 2, theme.colors.accent.scaled_alpha(kDropIndicatorAlpha));
  }
  scene.pop();
  rail.draw_scrollbar(scene, theme);
  rail.draw_add_button(scene, text, theme, view.pointer);
  rail.draw_menu(scene, text, theme, view.pointer);
  if (!view.resizing && view.pointer && std::abs(view.pointer->x - r.x1) <= 6 && view.pointer->y >= r.y0 &&
      view.pointer->y <= r.y1) {
    scene.fill_rect({r.x1 - 2, r.y0, r.x1, r.y1}, theme.colors.accent);
  }
}

}  // namespace pdf_app
