#pragma once
// Transient messages painted over a region, at the bottom centre.
#include <string_view>

#include "velyn_ui/geometry.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace velyn_ui::widget::toast {

inline constexpr double kMaxWidth = 520;

// Paints `message` as a rounded card near the bottom of `area` at `opacity`.
void paint_transient(Scene& scene, TextRenderer& text, const Theme& theme, const Rect& area, std::string_view message,
                     double opacity);

}  // namespace velyn_ui::widget::toast
