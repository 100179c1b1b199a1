#include "velyn_ui/theme.h"

#include <algorithm>
#include <cmath>

namespace velyn_ui {

namespace {
double channel_luminance(double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
}  // namespace

double Color::luminance() const {
  return 0.2126 * channel_luminance(r) + 0.7152 * channel_luminance(g) + 0.0722 * channel_luminance(b);
}

double Color::contrast(const Color& a, const Color& b) {
  const double la = a.luminance();
  const double lb = b.luminance();
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// At full strength the hover tint is the text colour at 12 % opacity: laid
// over any fill it darkens (light themes) or lightens (dark themes) it a little.
constexpr double kLiftAlphaAtFullStrength = 0.12;

Color Colors::lift(double strength) const {
  return text.with_alpha(kLiftAlphaAtFullStrength * std::clamp(strength, 0.0, 1.0));
}

Color Colors::on_accent(double min_contrast) const {
  const Color white{1, 1, 1, 1};
  if (Color::contrast(white, accent) >= min_contrast) return white;
  if (Color::contrast(text, accent) >= min_contrast) return text;
  const Color black{0, 0, 0, 1};
  return Color::contrast(black, accent) >= Color::contrast(white, accent) ? black : white;
}

Theme Theme::light() {
  Theme t;
  Colors& c = t.colors;
  c.background = Color::hex(0xF1F2F5);
  c.surface = Color::hex(0xFFFFFF);
  c.search_bar_background = Color::hex(0xF8F9FB);
  c.border = Color::hex(0xDDE0E6);
  c.input_border = Color::hex(0xC5CAD3);
  c.text = Color::hex(0x1D2129);
  c.secondary_text = Color::hex(0x646B78);
  c.accent = Color::hex(0x2F65E0);
  c.danger = Color::hex(0xD43F7A);
  c.rail_label = Color::hex(0x7E8593);
  c.thumbnail_border = Color::hex(0x1D2129);
  c.yellow = Color::hex(0xF7C325);
  c.green = Color::hex(0x34B57A);
  c.pink = c.danger;
  c.blue = Color::hex(0x3D8BF2);
  c.purple = Color::hex(0x8F63E8);
  return t;
}

}  // namespace velyn_ui
