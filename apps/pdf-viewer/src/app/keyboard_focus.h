#pragma once
// Keyboard focus over the window's controls: Tab and Shift+Tab move a focus
// ring through the toolbar's buttons, the search bar (its field and chips)
// and the review sidebar's clickable areas, in that order; Enter or Space
// acts on the focused control exactly as a click on it does; Escape drops
// the ring. A focused text field takes the keyboard as when clicked.
// The order is rebuilt from the last layout each time, so the focus, kept as
// a control's name, survives frames as long as that control is there.
// UI thread only.
#include <optional>
#include <string>
#include <vector>

#include "velyn_ui/geometry.h"
#include "velyn_ui/widget.h"

namespace velyn_ui {
class Scene;
struct Theme;
}  // namespace velyn_ui

namespace pdf_app {

struct PdfApp;

struct FocusTarget {
  std::string name;  // "toolbar.open", "search.field", "sidebar.3"…
  velyn_ui::Rect rect;
};

// The controls in Tab order, from the last layout and drawing.
std::vector<FocusTarget> focus_order(const PdfApp& app);

// Tab (+1) or Shift+Tab (−1): the next control, wrapping around.
void move_keyboard_focus(PdfApp& app, int direction);
// The focused control as it is now, if it is still there.
std::optional<FocusTarget> focused_control(const PdfApp& app);

// The ring around the focused control.
void draw_focus_ring(velyn_ui::Scene& scene, const velyn_ui::Theme& theme, const PdfApp& app);

}  // namespace pdf_app
