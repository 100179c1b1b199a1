#include "app/ui/interaction_overlay.h"

#include <algorithm>

#include "app/pdf_app.h"
#include "app/ui/page_canvas.h"
#include "app/markup_geometry.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

using velyn_ui::Rect;

namespace {
constexpr double kHitAlpha = 0.35;
constexpr double kCurrentHitAlpha = 0.6;
constexpr double kSelectionAlpha = 0.28;

Rect to_screen(const Rect& page, double zoom, const PageRect& r) {
  return {page.x0 + r.x * zoom, page.y0 + r.y * zoom, page.x0 + (r.x + r.w) * zoom, page.y0 + (r.y + r.h) * zoom};
}
}  // namespace

void draw_page_overlays(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx, std::uint64_t page,
                        const Rect& rect, double zoom) {
  const auto& c = ctx.theme.colors;
  const auto it = app.page_texts.find(page);
  const pdf::source::TextLayer* layer = it == app.page_texts.end() ? nullptr : it->second.get();
  if (layer && !app.search_matches.empty()) {
    const auto first = std::lower_bound(app.search_matches.begin(), app.search_matches.end(), page,
                                        [](const auto& m, std::uint64_t p) { return m.page < p; });
    for (auto m = first; m != app.search_matches.end() && m->page == page; ++m) {
      if (m->count == 0) continue;
      const bool current = std::size_t(m - app.search_matches.begin()) == app.search.current;
      for (const auto& r : selection_rects(*layer, m->first, m->first + m->count - 1)) {
        scene.fill_rect(to_screen(rect, zoom, r), c.yellow.with_alpha(current ? kCurrentHitAlpha : kHitAlpha));
        if (current) scene.stroke_rect(to_screen(rect, zoom, r), 1.5, c.accent);
      }
    }
  }
  const auto& in = app.input;
  if (layer && in.selection && in.selection->page == page && in.mode != InteractionMode::Idle) {
    const auto s = std::min(in.selection->start, in.selection->end), e = std::max(in.selection->start, in.selection->end);
    for (const auto& r : selection_rects(*layer, s, e)) {
      scene.fill_rect(to_screen(rect, zoom, r), c.accent.with_alpha(kSelectionAlpha));
    }
  }
  if (in.markup && in.markup->page == page) {
    const auto& d = *in.markup;
    if (d.kind == Tool::Highlight) {
      for (const auto& r : highlight_rects(layer, d.first, d.moving)) {
        scene.fill_rect(to_screen(rect, zoom, r), swatch_color(ctx.theme, app.swatch).with_alpha(0.4));
      }
    } else {
      for (std::size_t i = 1; i < d.points.size(); ++i) {
        scene.line({rect.x0 + d.points[i - 1].x * zoom, rect.y0 + d.points[i - 1].y * zoom},
                   {rect.x0 + d.points[i].x * zoom, rect.y0 + d.points[i].y * zoom}, 2.5 * zoom,
                   swatch_color(ctx.theme, app.swatch), velyn_ui::LineCap::Round);
      }
    }
  }
  if (in.region.active && in.region.page == page) {
    const PageRect r{std::min(in.region.first.x, in.region.moving.x), std::min(in.region.first.y, in.region.moving.y),
                     std::abs(in.region.first.x - in.region.moving.x), std::abs(in.region.first.y - in.region.moving.y)};
    const Rect s = to_screen(rect, zoom, r);
    scene.fill_rect(s, c.accent.with_alpha(0.12));
    scene.stroke_rect(s, 1.5, c.accent);
  }
}

void draw_interaction_chrome(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) {
  auto& in = app.input;
  in.hud = {};
  if (in.mode == InteractionMode::SelectionShown && in.selection) {
    const auto it = app.page_texts.find(in.selection->page);
    if (it != app.page_texts.end() && it->second) {
      const auto s = std::min(in.selection->start, in.selection->end);
      const auto e = std::max(in.selection->start, in.selection->end);
      const auto rects = selection_rects(*it->second, s, e);
      if (!rects.empty()) {
        const Rect page = app.page_rect(in.selection->page - 1);
        const double z = app.viewport.zoom();
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        for (const auto& r : rects) {
          const Rect sr = to_screen(page, z, r);
          x0 = std::min(x0, sr.x0);
          x1 = std::max(x1, sr.x1);
          y0 = std::min(y0, sr.y0);
          y1 = std::max(y1, sr.y1);
        }
        const std::size_t ids[] = {0, 1, 2, 3, 4};
        in.hud = velyn_ui::widget::SelectionHud::draw(
            scene, ctx.text, velyn_ui::widget::SelectionHudColors::from_theme(ctx.theme), ids,
            std::size_t(app.swatch), app.pointer, (x0 + x1) / 2, y0, app.regions.canvas, y1);
      }
    }
  }
  if (in.menu.is_open()) in.menu.draw(scene, ctx.text, ctx.theme);
}

}  // namespace pdf_app
