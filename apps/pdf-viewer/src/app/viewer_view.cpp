// Layout, painting and pointer input of the viewer's window.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "app/file_operations.h"
#include "app/keyboard_focus.h"
#include "app/pdf_app.h"
#include "app/ui/empty_screen.h"
#include "app/ui/interaction_overlay.h"
#include "app/ui/review_sidebar.h"
#include "app/ui/search_bar.h"
#include "app_events/event_router.h"
#include "velyn_ui/log.h"
#include "app/ui/page_canvas.h"
#include "app/ui/page_rail.h"
#include "app/ui/toolbar.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/status_bubble.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"
#include "velyn_ui/toast.h"

namespace pdf_app {

using velyn_ui::Point;
using velyn_ui::Rect;

namespace {

constexpr double kBubbleTextSize = 12.5;
constexpr double kBubbleHeight = 26;
constexpr double kBubbleBottomGap = 16;
constexpr double kBubbleChevronZone = 34;
constexpr std::string_view kPageFieldSizing = "0000";  // the widest page number, for the field's room
constexpr double kTooltipFade = 0.12;

EmptyState empty_state_of(const PdfApp& app) {
  if (app.pending_open) return EmptyState::Opening;
  if (app.open_error) return EmptyState::Failed;
  return EmptyState::Empty;
}

// The markup of page `page` (from 1), gathered into the caller's reused lists.
PageContent page_markup(const pdf_actions::ReviewModel& review, std::uint64_t page,
                        std::vector<const pdf_actions::Annotation*>& annos,
                        std::vector<const pdf_actions::Signature*>& sigs) {
  annos.clear();
  sigs.clear();
  for (const auto& a : review.annotations)
    if (a.page == page) annos.push_back(&a);
  for (const auto& s : review.signatures)
    if (s.page == page) sigs.push_back(&s);
  PageContent content;
  content.annotations = annos;
  content.signatures = sigs;
  return content;
}

// The bubble while its page-number field is open: "Page", the field, "of N".
void draw_page_field(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                     const Rect& pill, velyn_ui::widget::TextInput& field, std::uint64_t page_count) {
  velyn_ui::status_bubble::draw_pill(scene, text, theme, pill, "", kBubbleTextSize);
  const velyn_ui::Color ink = theme.colors.background;
  const std::string before = "Page";
  const std::string after = fmt::format("of {}", page_count);
  const auto mb = text.measure(before, kBubbleTextSize, velyn_ui::kWeightMedium);
  const auto ma = text.measure(after, kBubbleTextSize, velyn_ui::kWeightMedium);
  const double field_width = text.measure(kPageFieldSizing, kBubbleTextSize, velyn_ui::kWeightMedium).width + 10;
  const double total = mb.width + 6 + field_width + 6 + ma.width;
  const double cy = pill.center().y;
  double x = pill.center().x - total / 2;
  text.draw_text_weighted(scene, before, {x, cy - mb.height / 2}, kBubbleTextSize, velyn_ui::kWeightMedium, ink);
  x += mb.width + 6;
  const Rect box{x, pill.y0 + 4, x + field_width, pill.y1 - 4};
  scene.fill_rounded_rect(box, 4, ink.with_alpha(0.16));
  scene.stroke_rounded_rect(box, 4, 1, ink.with_alpha(0.7));
  velyn_ui::widget::TextInputStyle style;
  style.size = kBubbleTextSize;
  style.text_color = ink;
  style.padding = 3;
  field.draw(scene, text, theme, box, style);
  x += field_width + 6;
  text.draw_text_weighted(scene, after, {x, cy - ma.height / 2}, kBubbleTextSize, velyn_ui::kWeightMedium, ink);
}

ToolbarView toolbar_view(const PdfApp& app) {
  ToolbarView view;
  view.thumbnails_open = app.panels.thumbnails_open;
  view.sidebar_open = app.panels.sidebar_open;
  view.search_open = app.panels.search_open;
  view.opening = app.pending_open.has_value();
  view.document_loaded = app.document_loaded;
  view.unsaved_changes = app.has_unexported_changes();
  view.tool = app.tool;
  view.swatch = app.swatch;
  view.fit = app.fit;
  view.zoom = app.viewport.zoom();
  view.pointer = app.pointer;
  return view;
}

}  // namespace

void PdfApp::layout(const Rect& bounds, velyn_ui::FrameContext& ctx) {
  window = bounds;
  scale = interface_scale(ctx.theme.scale);
  update_panels(panels, bounds, document_loaded);
  regions = compute_frame_layout(bounds, panels, scale);
  viewport.set_rect(regions.canvas);
  const double n = double(page_count());
  viewport.set_content_size({page_width, n * page_height + std::max(n - 1, 0.0) * kPageGap});
  apply_fit();
  if (viewport_scroll_after_plan) viewport.set_scroll(*std::exchange(viewport_scroll_after_plan, std::nullopt));
}

void PdfApp::draw(velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) {
  const auto& theme = ctx.theme;
  auto& text = ctx.text;
  update_current_page();
  if (document_loaded && current_page != last_page_seen) {
    page_bubble.poke(ctx.now);
    last_page_seen = current_page;
  }
  scene.fill_rect(window, theme.colors.background);

  std::vector<velyn_ui::widget::page_sidebar::Thumb> thumbs;
  if (panels.thumbnails_open && regions.rail.has_area()) {
    const std::uint64_t n = page_count();
    rail.begin_frame(regions.rail, n, current_page > 0 ? current_page - 1 : 0,
                     std::max(page_height / page_width, velyn_ui::PageSidebar::kMinAspect));
    if (synthetic_rail_drag && n >= 3) {
      const auto laid_out = rail.thumb_rects();
      if (laid_out.size() >= 2) {
        rail.on_press(laid_out[0].rect.center());
        rail.on_motion(laid_out[1].rect.center());
        synthetic_rail_drag = false;
      }
    }
    thumbs = rail.thumb_rects();
  }
  if (document_loaded) {
    request_rasters(thumbs);
    refresh_text_layers(text, theme);
  }

  scene.fill_rect(regions.canvas, theme.colors.background);
  const double saved_scale = text.text_scale();
  if (!document_loaded) {
    const EmptyState state = empty_state_of(*this);
    const bool hovered = pointer && open_button_rect(regions.canvas).contains(*pointer);
    draw_empty_screen(scene, text, theme, regions.canvas, state, open_error.value_or(""), hovered);
  } else {
    text.set_text_scale(1.0);
    scene.push_clip(regions.canvas);
    const double z = viewport.zoom();
    const std::uint32_t bucket = width_bucket(page_target_width(z * page_width));
    std::vector<const pdf_actions::Annotation*> annos;
    std::vector<const pdf_actions::Signature*> sigs;
    for (const std::uint64_t i : visible_pages()) {
      const Rect r = page_rect(i);
      PageContent content = page_markup(review, i + 1, annos, sigs);
      if (i < plan.size()) content.raster = rasters.lookup({plan[i].id, bucket});
      std::vector<MatchedBlock> matched;
      if (!doc->raster_document && i < page_sources.size() && page_sources[i] - 1 < doc->document.pages.size()) {
        content.blocks = &doc->document.pages[page_sources[i] - 1];
        const auto& found = search.block_matches;
        for (std::size_t m = 0; m < found.size(); ++m) {
          if (found[m].page != page_sources[i]) continue;  // blocks of the source page shown here
          const bool current = m == search.current;
          if (!matched.empty() && matched.back().block == found[m].block) {
            matched.back().current = matched.back().current || current;
          } else {
            matched.push_back({found[m].block, current});
          }
        }
        content.matched_blocks = matched;
      }
      content.selected = selected_annotations;
      draw_page(scene, text, theme, r, z, page_width, content);
      draw_page_overlays(*this, scene, ctx, i + 1, r, z);
    }
    scene.pop();
    viewport.draw_scrollbars(scene, theme);
    text.set_text_scale(saved_scale);
  }
  draw_selection_hud(*this, scene, ctx);

  if (regions.panels_overlay && (panels.thumbnails_open || panels.sidebar_open)) {
    scene.fill_rect(regions.canvas, velyn_ui::Color{0, 0, 0, 120.0 / 255});
  }
  if (panels.thumbnails_open && regions.rail.has_area()) {
    RailView view;
    view.current = current_page;
    view.pointer = pointer;
    view.resizing = rail_resizing;
    std::vector<const pdf_actions::Annotation*> annos;
    std::vector<const pdf_actions::Signature*> sigs;
    draw_page_rail(scene, text, theme, rail, view, [&](std::uint64_t i, const Rect& r) {
      const auto* image =
          i < plan.size() ? rasters.lookup({plan[i].id, width_bucket(thumbnail_target_width(r.width()))}) : nullptr;
      const double saved = text.text_scale();
      text.set_text_scale(1.0);
      if (image && !image->empty()) {
        scene.draw_image(*image, raster_rect(r, *image), velyn_ui::ImageFilter::Fast);
      } else if (doc && !doc->raster_document && i < page_sources.size() &&
                 page_sources[i] - 1 < doc->document.pages.size()) {
        draw_block_skeleton(scene, text, theme, r, page_width, doc->document.pages[page_sources[i] - 1]);
      }
      // The thumbnail shows the page's markup as the canvas does, at the thumbnail's scale.
      const PageContent content = page_markup(review, i + 1, annos, sigs);
      draw_page_markup(scene, text, theme, r, page_width > 0 ? r.width() / page_width : 0, content);
      text.set_text_scale(saved);
    });
  }
  if (panels.sidebar_open && regions.sidebar.has_area()) {
    draw_review_sidebar(*this, scene, ctx);
  }

  const ToolbarView view = toolbar_view(*this);
  const ToolbarLayout bar = compute_toolbar_layout(regions.toolbar, scale, tool);
  draw_toolbar(scene, text, theme, regions.toolbar, bar, view);
  draw_search_bar(*this, scene, ctx);

  // Page bubble.
  bubble_pill = bubble_left = bubble_right = {};
  if (document_loaded) {
    const std::string label = fmt::format("Page {} of {}", current_page, page_count());
    // With the page-number field open the pill makes room for four digits.
    const std::string sizing = page_jump.field ? fmt::format("Page {} of {}", kPageFieldSizing, page_count()) : label;
    const auto size = velyn_ui::status_bubble::pill_size(sizing, text, kBubbleTextSize, kBubbleHeight);
    const double cx = regions.canvas.center().x;
    const Rect pill{cx - size.width / 2, regions.canvas.y1 - kBubbleBottomGap - size.height, cx + size.width / 2,
                    regions.canvas.y1 - kBubbleBottomGap};
    const bool near = pointer && pointer->x >= pill.x0 - 40 && pointer->x <= pill.x1 + 40 &&
                      pointer->y >= pill.y0 - 32 && pointer->y <= regions.canvas.y1;
    page_bubble.set_hover(page_bubble_pinned || near || (pointer && pill.contains(*pointer)), ctx.now);
    const double alpha = page_bubble.alpha(ctx.now);
    if (alpha > 0) {
      bubble_pill = pill;
      bubble_left = {pill.x0, pill.y0, pill.x0 + kBubbleChevronZone, pill.y1};
      bubble_right = {pill.x1 - kBubbleChevronZone, pill.y0, pill.x1, pill.y1};
      scene.push_layer(alpha, pill.inset(-12, -14));
      if (page_jump.field) {
        draw_page_field(scene, text, theme, pill, *page_jump.field, page_count());
      } else {
        velyn_ui::status_bubble::draw_pill(scene, text, theme, pill, label, kBubbleTextSize);
      }
      const double cy = pill.center().y;
      using velyn_ui::status_bubble::Direction;
      velyn_ui::status_bubble::draw_chevron(scene, theme, {pill.x0 + 8, cy - 8, pill.x0 + 24, cy + 8},
                                            Direction::Left, pointer && bubble_left.contains(*pointer));
      velyn_ui::status_bubble::draw_chevron(scene, theme, {pill.x1 - 24, cy - 8, pill.x1 - 8, cy + 8},
                                            Direction::Right, pointer && bubble_right.contains(*pointer));
      scene.pop();
    }
  }

  // Above the bubble, under the tooltip and the toast.
  draw_context_menu(*this, scene, ctx);

  // Tooltip.
  std::optional<std::pair<std::string, Rect>> hovered;
  if (pointer) {
    for (auto& entry : toolbar_tooltips(bar, view)) {
      if (entry.second.contains(*pointer)) {
        hovered = std::move(entry);
        break;
      }
    }
  }
  if (!hovered) {
    tooltip.clear();
  } else if (tooltip.text() && *tooltip.text() == hovered->first) {
    tooltip.tick(ctx.now, kTooltipFade);
  } else {
    tooltip.reset(hovered->first, hovered->second, velyn_ui::widget::tooltip::Tooltip::kShowDelaySeconds);
    tooltip.tick(ctx.now, kTooltipFade);
  }
  velyn_ui::widget::tooltip::draw_hover_tooltip(scene, text, theme, tooltip, window);
  if (status && !status->empty()) {
    velyn_ui::widget::toast::paint_transient(scene, text, theme, regions.canvas, *status, 1.0);
  }
  draw_focus_ring(scene, theme, *this);
}

PdfApp::CloseTiming PdfApp::request_close(double now) {
  // Closing now would drop a save the worker is still writing: the window
  // stays until it is published or fails (close_ready), for a bounded time.
  const bool saving = files.save_under_way();
  velyn_ui::log::debug("close requested; a save is {}under way", saving ? "" : "not ");
  if (!close_deadline) close_deadline = now + (saving ? kCloseSaveWaitSeconds : 0);
  if (!saving) return CloseTiming::Now;
  status = "Finishing the save before closing…";
  redraw_requested = true;
  return CloseTiming::AfterSave;
}

velyn_ui::Handled PdfApp::handle_event(const velyn_ui::Event& event, docstore::Document& document,
                                       velyn_ui::FrameContext& ctx) {
  if (std::holds_alternative<velyn_ui::CloseRequest>(event)) {
    return request_close(ctx.now) == CloseTiming::AfterSave ? velyn_ui::Handled::Yes : velyn_ui::Handled::No;
  }
  return route_event(*this, event, document, ctx);
}

velyn_ui::CursorShape PdfApp::cursor_at(Point at) const {
  if (!document_loaded && !pending_open && open_button_rect(regions.canvas).contains(at)) {
    return velyn_ui::CursorShape::Pointer;
  }
  return velyn_ui::CursorShape::Default;
}

}  // namespace pdf_app
