#pragma once
// Division of the window into toolbar, find bar, page rail, review sidebar and
// canvas. Pure: the panel flags it changes are passed in and returned.
#include "velyn_ui/geometry.h"

namespace pdf_app {

using velyn_ui::Rect;

inline constexpr double kToolbarHeight = 56;      // does not scale
inline constexpr double kSearchBarHeight = 46;    // × interface scale
inline constexpr double kRailMinWidth = 96;
inline constexpr double kRailMaxWidth = 280;
inline constexpr double kSidebarWidth = 324;      // grows by a quarter of the extra scale
inline constexpr double kSidebarNarrowMin = 200;
inline constexpr double kNarrowBelow = 900;       // windows narrower than this are narrow

struct PanelState {
  bool thumbnails_open = false;
  bool sidebar_open = false;
  bool search_open = false;
  bool narrow = false;
  bool last_narrow = false;
  double rail_width = 168;
};

struct FrameLayout {
  Rect toolbar;
  Rect search_bar;  // all zeros while the find bar is closed
  Rect rail;
  Rect sidebar;
  Rect canvas;
  bool panels_overlay = false;
};

// The interface scale used by layout: the theme's, clamped to 1.0–2.0.
double interface_scale(double theme_scale);

// Recomputes narrow; on a narrow transition opens (wide) or closes (narrow)
// both panels; with no document both panels are closed.
void update_panels(PanelState& panels, const Rect& window, bool document_loaded);

FrameLayout compute_frame_layout(const Rect& window, const PanelState& panels, double scale);

}  // namespace pdf_app
