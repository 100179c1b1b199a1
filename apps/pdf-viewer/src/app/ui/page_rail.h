#pragma once
// Painting the page rail over the toolkit's PageSidebar: background, header,
// each thumbnail's paper, content (raster and markup) and frame with its page number, the drop
// indicator of a drag, then the rail's scrollbar, add button and menu, and the
// resize edge under the pointer.
#include <cstdint>
#include <functional>
#include <optional>

#include "velyn_ui/geometry.h"
#include "velyn_ui/image.h"
#include "velyn_ui/page_sidebar.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace pdf_app {

inline constexpr double kDropIndicatorAlpha = 0.35;

struct RailView {
  std::uint64_t current = 1;  // from 1
  std::optional<velyn_ui::Point> pointer;
  bool resizing = false;
};

// Paints what a thumbnail shows over its white paper (its raster and the
// page's markup), clipped to the thumbnail.
using ThumbnailPainter = std::function<void(std::uint64_t index, const velyn_ui::Rect& rect)>;

void draw_page_rail(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                    const velyn_ui::PageSidebar& rail, const RailView& view, const ThumbnailPainter& paint);

}  // namespace pdf_app
