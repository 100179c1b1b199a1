#include "app_events/chrome_input.h"

#include <algorithm>
#include <cmath>

#include "actions/review_model.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "app/ui/toolbar.h"

namespace pdf_app {

namespace pa = pdf_actions;
using pa::PdfViewerAction;
using velyn_ui::Handled;
using velyn_ui::Point;
using velyn_ui::Rect;

std::optional<Handled> press_toolbar(PdfApp& app, Point at, docstore::Document& document,
                                     velyn_ui::FrameContext& ctx) {
  if (!app.regions.toolbar.contains(at)) return std::nullopt;
  const ToolbarLayout bar = compute_toolbar_layout(app.regions.toolbar, app.scale, app.tool);
  using Op = pa::PdfOperation;
  if (bar.open.contains(at) || bar.save.contains(at)) return Handled::No;  // the file operations answer these
  if (bar.thumbnails.contains(at)) {
    execute(app, Op::ToggleRail{});
  } else if (bar.sidebar.contains(at)) {
    execute(app, Op::ToggleSidebar{});
  } else if (bar.zoom_out.contains(at)) {
    execute(app, Op::ZoomOut{});
  } else if (bar.zoom_in.contains(at)) {
    execute(app, Op::ZoomIn{});
  } else if (bar.fit.contains(at)) {
    execute(app, command::ToggleFit{});
  } else if (bar.find.contains(at)) {
    if (app.document_loaded) execute(app, command::ToggleSearch{});
  } else {
    for (const auto& [t, r] : bar.tools)
      if (r.contains(at)) execute(app, command::SetTool{t});
    for (const auto& [s, r] : bar.swatches) {
      if (!r.contains(at)) continue;
      app.swatch = s;
      if (!app.selected_annotations.empty()) {
        execute(app, document, ctx,
                PdfViewerAction::SetAnnotationColor{app.selected_annotations.front(),
                                                    std::string(pa::swatch_name(s))});
      }
    }
  }
  app.redraw_requested = true;
  return Handled::Yes;
}

bool press_bubble(PdfApp& app, Point at, double now) {
  if (app.document_loaded && app.bubble_pill.contains(at)) {
    app.page_bubble.poke(now);
    if (app.bubble_left.contains(at)) {
      execute(app, pa::PdfOperation::PreviousPage{});
    } else if (app.bubble_right.contains(at)) {
      execute(app, pa::PdfOperation::NextPage{});
    } else {
      execute(app, command::OpenPageJump{});  // the label: type the page to go to
    }
    return true;
  }
  return false;
}

// The rail's share of an event: its gestures, the resize edge, its menu and wheel.
Handled rail_event(PdfApp& app, const velyn_ui::Event& event, docstore::Document& document,
                   velyn_ui::FrameContext& ctx) {
  const bool shown = app.document_loaded && app.panels.thumbnails_open && app.regions.rail.has_area();
  if (!shown) return Handled::No;
  const Rect& r = app.regions.rail;
  if (const auto* move = std::get_if<velyn_ui::PointerMove>(&event)) {
    if (app.rail_resizing) {
      app.panels.rail_width = std::clamp(move->at.x - app.window.x0, kRailMinWidth, kRailMaxWidth);
      relayout(app);
      return Handled::Yes;
    }
    if (app.rail.gesture_active()) {
      app.rail.on_motion(move->at);
      return Handled::Yes;
    }
    app.rail.on_motion(move->at);  // hover of the add button and the menu
    return Handled::No;
  }
  if (const auto* press = std::get_if<velyn_ui::PointerPress>(&event)) {
    if (press->button == velyn_ui::PointerButton::Secondary) {
      if (!r.contains(press->at) && !app.rail.menu_open()) return Handled::No;
      app.rail.on_right_press(press->at);
      app.apply_rail_outcomes(document, ctx);
      return Handled::Yes;
    }
    if (press->button != velyn_ui::PointerButton::Primary) return Handled::No;
    if (std::abs(press->at.x - r.x1) <= kRailResizeEdge && press->at.y >= r.y0 && press->at.y <= r.y1 &&
        !app.rail.menu_open()) {
      app.rail_resizing = true;
      return Handled::Yes;
    }
    if (!app.rail.menu_open() && !r.contains(press->at)) return Handled::No;
    app.rail.on_press(press->at);
    app.apply_rail_outcomes(document, ctx);
    return Handled::Yes;
  }
  if (const auto* release = std::get_if<velyn_ui::PointerRelease>(&event)) {
    if (app.rail_resizing) {
      app.rail_resizing = false;
      return Handled::Yes;
    }
    if (!app.rail.gesture_active()) return Handled::No;
    app.rail.on_release(release->at);
    app.apply_rail_outcomes(document, ctx);
    return Handled::Yes;
  }
  if (const auto* wheel = std::get_if<velyn_ui::Wheel>(&event)) {
    if ((wheel->modifiers & velyn_ui::kModCtrl) || !r.contains(wheel->at)) return Handled::No;
    const double lines = wheel->unit == velyn_ui::WheelUnit::Lines ? wheel->dy : wheel->dy / app.rail.kWheelStep;
    app.rail.on_wheel(-lines);
    return Handled::Yes;
  }
  if (const auto* key = std::get_if<velyn_ui::KeyPress>(&event)) {
    if (key->key == velyn_ui::Key::Escape && app.rail.on_escape()) return Handled::Yes;
  }
  return Handled::No;
}

// The canvas's scrollbars: the thumb is dragged, a press on the track pages.
bool press_scrollbar(PdfApp& app, Point at) {
  if (!app.regions.canvas.contains(at)) return false;
  const auto hit = app.viewport.scrollbar_at(at);
  if (!hit) return false;
  if (hit->part == velyn_ui::ScrollbarHit::Part::Thumb) {
    const bool vertical = hit->axis == velyn_ui::ScrollAxis::Vertical;
    app.input.scrollbar = ScrollbarDrag{hit->axis, vertical ? at.y : at.x,
                                        vertical ? app.viewport.scroll().y : app.viewport.scroll().x};
  } else {
    app.viewport.page_towards(*hit);
    app.update_current_page();
  }
  app.redraw_requested = true;
  return true;
}

}  // namespace pdf_app
