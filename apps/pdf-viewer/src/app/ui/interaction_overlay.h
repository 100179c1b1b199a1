#pragma once
// What input shows over the pages: search hits, the text selection, markup
// being dragged, the region being selected; and above everything the
// selection HUD and the context menu.
#include <cstdint>

#include "velyn_ui/geometry.h"
#include "velyn_ui/widget.h"

namespace velyn_ui {
class Scene;
}

namespace pdf_app {

struct PdfApp;

// Over page `page` (from 1) drawn at `rect` with `zoom` pixels per point.
void draw_page_overlays(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx, std::uint64_t page,
                        const velyn_ui::Rect& rect, double zoom);
// The selection HUD over a shown text selection (its hit areas are kept for
// input); drawn right after the pages, under the panels.
void draw_selection_hud(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx);
// The open context menu: above the page bubble, under the tooltip and the toast.
void draw_context_menu(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx);

}  // namespace pdf_app
