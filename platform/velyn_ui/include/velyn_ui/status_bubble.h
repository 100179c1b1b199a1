#pragma once
// A pill that appears when poked, stays while hovered or for a hold time, then
// fades out. States: hidden (alpha 0) → shown (poked; alpha 1 until the hold
// ends) → fading (alpha falls to 0 over the fade time) → hidden. Hover keeps it
// shown; leaving restarts the hold.
#include <optional>
#include <string_view>

#include "velyn_ui/color.h"
#include "velyn_ui/geometry.h"

namespace velyn_ui {

class Scene;
class TextRenderer;
struct Theme;

class StatusBubble {
 public:
  static constexpr double kHoldSeconds = 1.6;
  static constexpr double kFadeSeconds = 0.35;

  void poke(double now);
  void set_hover(bool hovered, double now);
  [[nodiscard]] double alpha(double now) const;
  // True while the bubble is fading or waiting to fade (another frame is due).
  [[nodiscard]] bool animating(double now) const;

 private:
  std::optional<double> shown_at_;
  bool hovered_ = false;
};

namespace status_bubble {

// Width and height of the pill holding `text` at `size` px, `height` tall.
Size pill_size(std::string_view text, TextRenderer& renderer, double size, double height);
void draw_pill(Scene& scene, TextRenderer& renderer, const Theme& theme, const Rect& pill, std::string_view text,
               double size);
// A chevron pointing left or right inside `box`, brighter when highlighted.
enum class Direction { Left, Right };
void draw_chevron(Scene& scene, const Theme& theme, const Rect& box, Direction direction, bool highlighted);

}  // namespace status_bubble
}  // namespace velyn_ui
