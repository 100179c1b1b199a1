#pragma once
// Round author badges: initials on a colour derived from the name, so one
// author has the same colour in every instance.
#include <string>
#include <string_view>

#include "velyn_ui/color.h"
#include "velyn_ui/geometry.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace velyn_ui::widget {

struct Avatar {
  // Up to two initials (first letters of the first and last word), upper
  // case; "?" for a name without letters.
  static std::string initials(std::string_view name);
  // A stable colour from a fixed palette, chosen by a hash of the initials.
  static Color color_for_initials(std::string_view initials);
  // A filled circle of `diameter` centred at `center` with the initials in
  // white (or dark text where white would not read).
  static void draw_at(Scene& scene, TextRenderer& renderer, Point center, double diameter, std::string_view name,
                      Color fill);
};

}  // namespace velyn_ui::widget
