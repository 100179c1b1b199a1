#pragma once
// The floating bar over a text selection: Copy, one dot per marker swatch and
// Comment. Stateless: `draw` paints it and returns its hit areas, which the
// caller keeps until the next frame for `hit`.
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "velyn_ui/color.h"
#include "velyn_ui/geometry.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace velyn_ui::widget {

struct SelectionHudColors {
  Color surface;
  Color border;
  Color text;            // button labels
  Color secondary_text;  // separators
  Color hover;           // under the hovered button
  Color accent;          // ring of the current swatch
  Color danger;          // the pink swatch's dot (shared with the theme's danger)
  Color shadow;
  std::vector<Color> swatches;  // by swatch id

  static SelectionHudColors from_theme(const Theme& theme);
};

struct SelectionHudHits {
  Rect frame;
  Rect copy;
  Rect comment;
  std::vector<std::pair<std::size_t, Rect>> swatches;  // (swatch id, dot rect)
};

struct SelectionHudHit {
  enum class Kind { Copy, Swatch, Comment, Frame };
  Kind kind = Kind::Frame;
  std::size_t swatch = 0;
  friend bool operator==(const SelectionHudHit&, const SelectionHudHit&) = default;
};

struct SelectionHud {
  static constexpr double kHeight = 36;
  static constexpr double kGap = 10;  // between the bar and the selection's top
  static constexpr double kDot = 18;
  static constexpr double kLabelSize = 12;

  // Centred on `center_x`, its bottom kGap above `top` (below `below` instead
  // when that would leave `bounds`), kept inside `bounds` horizontally.
  static SelectionHudHits draw(Scene& scene, TextRenderer& renderer, const SelectionHudColors& colors,
                               std::span<const std::size_t> swatch_ids, std::size_t current_swatch,
                               std::optional<Point> pointer, double center_x, double top, const Rect& bounds,
                               double below = 0);
  // Copy, a swatch or Comment; Frame for the rest of the bar; none outside.
  static std::optional<SelectionHudHit> hit(const SelectionHudHits& hits, Point p);
};

}  // namespace velyn_ui::widget
