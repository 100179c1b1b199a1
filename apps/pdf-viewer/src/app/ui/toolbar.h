#pragma once
// The toolbar: button geometry (pure, shared by drawing and hit testing) and
// its painting.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "actions/review_model.h"
#include "app/tool.h"
#include "velyn_ui/geometry.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace pdf_app {

inline constexpr double kToolbarButtonHeight = 34;
inline constexpr double kToolbarNarrowBelow = 640;  // narrower toolbars drop the zoom label
// The narrowest window whose toolbar holds every button without overlap: the
// left group, the five tools and the narrow right group, with their gaps.
inline constexpr double kMinWindowWidth = 548;  // 536 would only just touch
inline constexpr double kMinWindowHeight = 360;

struct ToolbarLayout {
  velyn_ui::Rect thumbnails, open, save;
  velyn_ui::Rect zoom_out, zoom_label, zoom_in, fit, find, sidebar;
  std::array<std::pair<Tool, velyn_ui::Rect>, 5> tools{};
  std::vector<std::pair<pdf_actions::Swatch, velyn_ui::Rect>> swatches;  // empty unless a colour tool is active
};

ToolbarLayout compute_toolbar_layout(const velyn_ui::Rect& toolbar, double interface_scale, Tool tool);

enum class FitMode { Page, Width, Free };

// What the toolbar shows; read from the viewer state each frame.
struct ToolbarView {
  bool thumbnails_open = false;
  bool sidebar_open = false;
  bool search_open = false;
  bool opening = false;
  bool document_loaded = false;
  bool unsaved_changes = false;
  Tool tool = Tool::Select;
  pdf_actions::Swatch swatch = pdf_actions::Swatch::Yellow;
  FitMode fit = FitMode::Page;
  double zoom = 1.0;
  std::optional<velyn_ui::Point> pointer;
};

void draw_toolbar(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                  const velyn_ui::Rect& toolbar, const ToolbarLayout& layout, const ToolbarView& view);

// Tooltip texts with their rects, in the order the chrome looks them up.
std::vector<std::pair<std::string, velyn_ui::Rect>> toolbar_tooltips(const ToolbarLayout& layout,
                                                                     const ToolbarView& view);

}  // namespace pdf_app
