#include "app/pdf_app.h"

#include <fmt/format.h>

#include <cstdlib>

#include "app/ui/empty_screen.h"
#include "app/ui/toolbar.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

std::string local_author_from_environment() {
  const char* id = std::getenv("TAVEN_APP_ID");
  return id && *id ? std::string(id) : std::string("You");
}

PdfApp::PdfApp() : local_author(local_author_from_environment()) {}

void PdfApp::start_open(const std::string& path) {
  // The PDF worker joins the viewer with the document engine; without it no
  // open can start.
  record_open_failure(path, "the PDF worker could not be started");
}

void PdfApp::record_open_failure(const std::string& path, const std::string& error) {
  const std::string message = fmt::format("Could not open {}: {}", path, error);
  if (document_loaded) {
    status = message;
  } else {
    open_error = message;
  }
  redraw_requested = true;
}

velyn_ui::WidgetNames PdfApp::names() const { return {"PdfApp", "pdf_app", "pdf_viewer.operation"}; }

void PdfApp::update(docstore::Document&, velyn_ui::FrameContext&) { redraw_requested = false; }

void PdfApp::layout(const velyn_ui::Rect& bounds, velyn_ui::FrameContext& ctx) {
  window = bounds;
  scale = interface_scale(ctx.theme.scale);
  update_panels(panels, bounds, document_loaded);
  regions = compute_frame_layout(bounds, panels, scale);
}

namespace {

EmptyState empty_state_of(const PdfApp& app) {
  if (app.pending_open) return EmptyState::Opening;
  if (app.open_error) return EmptyState::Failed;
  return EmptyState::Empty;
}


}  // namespace

void PdfApp::draw(velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) {
  const auto& theme = ctx.theme;
  scene.fill_rect(window, theme.colors.background);
  scene.fill_rect(regions.canvas, theme.colors.background);
  if (!document_loaded) {
    const EmptyState state = empty_state_of(*this);
    const bool hovered = pointer && open_button_rect(regions.canvas).contains(*pointer);
    draw_empty_screen(scene, ctx.text, theme, regions.canvas, state, open_error.value_or(""), hovered);
  }
  ToolbarView view;
  view.thumbnails_open = panels.thumbnails_open;
  view.sidebar_open = panels.sidebar_open;
  view.search_open = panels.search_open;
  view.opening = pending_open.has_value();
  view.document_loaded = document_loaded;
  view.tool = tool;
  view.pointer = pointer;
  draw_toolbar(scene, ctx.text, theme, regions.toolbar, compute_toolbar_layout(regions.toolbar, scale, tool), view);
}

velyn_ui::Handled PdfApp::handle_event(const velyn_ui::Event& event, docstore::Document&, velyn_ui::FrameContext&) {
  if (const auto* move = std::get_if<velyn_ui::PointerMove>(&event)) {
    pointer = move->at;
    return velyn_ui::Handled::Yes;
  }
  if (std::holds_alternative<velyn_ui::PointerLeave>(event)) {
    pointer.reset();
    return velyn_ui::Handled::Yes;
  }
  return velyn_ui::Handled::No;
}

velyn_ui::CursorShape PdfApp::cursor_at(velyn_ui::Point at) const {
  if (!document_loaded && !pending_open && open_button_rect(regions.canvas).contains(at)) {
    return velyn_ui::CursorShape::Pointer;
  }
  return velyn_ui::CursorShape::Default;
}

}  // namespace pdf_app
