#pragma once
// Hover tooltips: a text that appears after a delay over the hovered control.
// States: cleared → waiting (text set, no start) → showing (started; fades in
// over the tick duration).
#include <optional>
#include <string>

#include "velyn_ui/geometry.h"

namespace velyn_ui {

class Scene;
class TextRenderer;
struct Theme;

namespace widget::tooltip {

class Tooltip {
 public:
  static constexpr double kShowDelaySeconds = 0.35;

  // Holds `text` for `anchor`, waiting `delay` seconds from the first tick.
  void reset(std::string text, Rect anchor, double delay);
  void clear();
  // Advances the state; `fade` is the fade-in duration in seconds.
  void tick(double now, double fade);

  [[nodiscard]] const std::string* text() const { return text_ ? &*text_ : nullptr; }
  [[nodiscard]] const Rect& anchor() const { return anchor_; }
  [[nodiscard]] double opacity() const { return opacity_; }
  // True while waiting or fading in.
  [[nodiscard]] bool animating() const { return text_ && opacity_ < 1; }

 private:
  std::optional<std::string> text_;
  Rect anchor_;
  double delay_ = kShowDelaySeconds;
  std::optional<double> started_;
  double opacity_ = 0;
};

// Draws the tooltip below its anchor (above when there is no room), kept inside `bounds`.
void draw_hover_tooltip(Scene& scene, TextRenderer& text, const Theme& theme, const Tooltip& tooltip,
                        const Rect& bounds);

}  // namespace widget::tooltip
}  // namespace velyn_ui
