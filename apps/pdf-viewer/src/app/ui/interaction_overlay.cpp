#include "app/ui/interaction_overlay.h"

#include <algorithm>
#include <cmath>

#include "app/pdf_app.h"
#include "app/ui/page_canvas.h"
#include "app/markup_geometry.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

using velyn_ui::Rect;

namespace {
// Alphas out of 255, as the theme's colours are.
constexpr double kHitAlpha = 70.0 / 255;
constexpr double kCurrentHitAlpha = 150.0 / 255;
constexpr double kCurrentHitOutline = 1.25;
constexpr double kHitMaxRadius = 1.5;
constexpr double kSelectionAlpha = 70.0 / 255;
constexpr double kRegionAlpha = 40.0 / 255;
constexpr double kRegionOutline = 1.5;
constexpr double kRegionDashOn = 5, kRegionDashOff = 4;
constexpr double kHighlightPreviewAlpha = 80.0 / 255;
constexpr double kHighlightPreviewOutline = 1;
constexpr double kInkPreviewWidth = 2.4;  // × zoom, at least kInkPreviewMinWidth
constexpr double kInkPreviewMinWidth = 1.5;

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
        const Rect hit = to_screen(rect, zoom, r);
        const double radius = std::min(std::min(hit.width(), hit.height()) / 2, kHitMaxRadius);
        scene.fill_rounded_rect(hit, radius, c.yellow.with_alpha(current ? kCurrentHitAlpha : kHitAlpha));
        if (current) scene.stroke_rounded_rect(hit, radius, kCurrentHitOutline, c.yellow);
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
    const velyn_ui::Color swatch = swatch_color(ctx.theme, app.swatch);
    if (d.kind == Tool::Highlight) {
      // The drag itself; the line rects it makes appear on release.
      const PageRect r{std::min(d.first.x, d.moving.x), std::min(d.first.y, d.moving.y), std::abs(d.first.x - d.moving.x),
                       std::abs(d.first.y - d.moving.y)};
      const Rect s = to_screen(rect, zoom, r);
      scene.fill_rect(s, swatch.with_alpha(kHighlightPreviewAlpha));
      scene.stroke_rect(s, kHighlightPreviewOutline, swatch);
    } else if (d.points.size() >= 2) {
      velyn_ui::Path stroke;
      stroke.move_to({rect.x0 + d.points[0].x * zoom, rect.y0 + d.points[0].y * zoom});
      for (std::size_t i = 1; i < d.points.size(); ++i) {
        stroke.line_to({rect.x0 + d.points[i].x * zoom, rect.y0 + d.points[i].y * zoom});
      }
      scene.stroke(stroke,
                   velyn_ui::StrokeStyle::solid(std::max(kInkPreviewWidth * zoom, kInkPreviewMinWidth),
                                                velyn_ui::LineCap::Round, velyn_ui::LineJoin::Round),
                   swatch);
    }
  }
  if (in.region.active && in.region.page == page) {
    const PageRect r{std::min(in.region.first.x, in.region.moving.x), std::min(in.region.first.y, in.region.moving.y),
                     std::abs(in.region.first.x - in.region.moving.x), std::abs(in.region.first.y - in.region.moving.y)};
    const Rect s = to_screen(rect, zoom, r);
    scene.fill_rect(s, c.accent.with_alpha(kRegionAlpha));
    velyn_ui::StrokeStyle dashed = velyn_ui::StrokeStyle::solid(kRegionOutline);
    dashed.dashes = {kRegionDashOn, kRegionDashOff};
    scene.stroke(velyn_ui::Path().rect(s), dashed, c.accent);
  }
}

void draw_selection_hud(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) {
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
}

void draw_context_menu(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) {
  if (app.input.menu.is_open()) app.input.menu.draw(scene, ctx.text, ctx.theme);
}

}  // namespace pdf_app
