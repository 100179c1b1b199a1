#pragma once
// Straight (non-premultiplied) RGBA colours in 0..1.
#include <cstdint>

namespace velyn_ui {

struct Color {
  double r = 0;
  double g = 0;
  double b = 0;
  double a = 1;

  static constexpr Color rgb8(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    return {r / 255.0, g / 255.0, b / 255.0, a / 255.0};
  }
  // 0xRRGGBB
  static constexpr Color hex(std::uint32_t rgb) {
    return rgb8(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                static_cast<std::uint8_t>(rgb));
  }
  constexpr Color with_alpha(double alpha) const { return {r, g, b, alpha}; }
  constexpr Color scaled_alpha(double factor) const { return {r, g, b, a * factor}; }

  // Linear interpolation toward `other` by t in 0..1 (alpha included).
  constexpr Color mix(const Color& other, double t) const {
    return {r + (other.r - r) * t, g + (other.g - g) * t, b + (other.b - b) * t, a + (other.a - a) * t};
  }

  // WCAG relative luminance and contrast ratio (opaque colours).
  double luminance() const;
  static double contrast(const Color& a, const Color& b);

  friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace velyn_ui
