#pragma once
// The two token strengths the whole chrome draws with: hover tints and text
// on accent fills. One place, so every panel agrees.
#include "velyn_ui/theme.h"

namespace pdf_app {

inline constexpr double kHoverStrength = 0.72;    // Colors::lift for hovered controls
inline constexpr double kOnAccentContrast = 4.5;  // Colors::on_accent: WCAG AA for normal text

inline velyn_ui::Color hover_tint(const velyn_ui::Colors& c) { return c.lift(kHoverStrength); }
inline velyn_ui::Color on_accent(const velyn_ui::Colors& c) { return c.on_accent(kOnAccentContrast); }

}  // namespace pdf_app
