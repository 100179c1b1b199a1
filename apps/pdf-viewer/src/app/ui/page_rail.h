#pragma once
// The page rail: a column of page thumbnails with page numbers, the current
// page framed in accent. Geometry is pure and shared by drawing, render
// requests and hit testing.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "velyn_ui/geometry.h"
#include "velyn_ui/image.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace pdf_app {

inline constexpr double kRailHeaderHeight = 34;
inline constexpr double kRailGutter = 26;     // page numbers, left of the thumbnails
inline constexpr double kRailPadding = 10;
inline constexpr double kRailThumbGap = 14;
inline constexpr double kMinThumbAspect = 0.05;

// One rect per page (index 0 first), scrolled up by `scroll`.
std::vector<velyn_ui::Rect> rail_thumbnail_rects(const velyn_ui::Rect& rail, std::uint64_t page_count,
                                                 double page_width, double page_height, double scroll);

struct RailView {
  velyn_ui::Rect rect;
  std::vector<velyn_ui::Rect> thumbnails;
  std::uint64_t current = 1;  // from 1
  std::optional<velyn_ui::Point> pointer;
};

using ThumbnailLookup = std::function<const velyn_ui::Image*(std::uint64_t index, const velyn_ui::Rect& rect)>;

void draw_page_rail(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                    const RailView& view, const ThumbnailLookup& lookup);

}  // namespace pdf_app
