#include "app/ui/frame_layout.h"

#include <algorithm>

namespace pdf_app {

double interface_scale(double theme_scale) { return std::clamp(theme_scale, 1.0, 2.0); }

void update_panels(PanelState& panels, const Rect& window, bool document_loaded) {
  panels.narrow = window.width() < kNarrowBelow;
  if (panels.narrow != panels.last_narrow) {
    panels.last_narrow = panels.narrow;
    panels.thumbnails_open = !panels.narrow;
    panels.sidebar_open = !panels.narrow;
  }
  if (!document_loaded) {
    panels.thumbnails_open = false;
    panels.sidebar_open = false;
  }
}

FrameLayout compute_frame_layout(const Rect& w, const PanelState& panels, double scale) {
  FrameLayout out;
  out.toolbar = {w.x0, w.y0, w.x1, w.y0 + kToolbarHeight};
  double top = out.toolbar.y1;
  if (panels.search_open) {
    out.search_bar = {w.x0, top, w.x1, top + kSearchBarHeight * scale};
    top = out.search_bar.y1;
  }
  const double rail = panels.thumbnails_open ? std::clamp(panels.rail_width, kRailMinWidth, kRailMaxWidth) : 0;
  double sidebar = panels.sidebar_open ? kSidebarWidth * (1 + (scale - 1) * 0.25) : 0;
  if (panels.narrow) sidebar = std::min(sidebar, std::max(w.width() - 56, kSidebarNarrowMin));
  out.panels_overlay = panels.narrow;
  out.rail = {w.x0, top, w.x0 + rail, w.y1};
  out.sidebar = {w.x1 - sidebar, top, w.x1, w.y1};
  out.canvas = out.panels_overlay ? Rect{w.x0, top, w.x1, w.y1} : Rect{w.x0 + rail, top, w.x1 - sidebar, w.y1};
  return out;
}

}  // namespace pdf_app
