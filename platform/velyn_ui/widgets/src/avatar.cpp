#include "velyn_ui/widget/avatar.h"

#include <glib.h>

#include <array>
#include <cstdint>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"

namespace velyn_ui::widget {

namespace {

constexpr std::array kPalette = {
    Color::hex(0x2F65E0), Color::hex(0x34B57A), Color::hex(0xD43F7A), Color::hex(0x8F63E8),
    Color::hex(0xE07A2F), Color::hex(0x1F9BB5), Color::hex(0x6B7A2F), Color::hex(0xB5461F),
};
constexpr double kInitialsScale = 0.42;  // of the diameter
constexpr double kMinTextContrast = 3.0;

void append_upper(std::string& out, const char* p) {
  const gunichar up = g_unichar_toupper(g_utf8_get_char(p));
  char buf[6];
  out.append(buf, static_cast<std::size_t>(g_unichar_to_utf8(up, buf)));
}

}  // namespace

std::string Avatar::initials(std::string_view name) {
  gchar* valid = g_utf8_make_valid(name.data(), static_cast<gssize>(name.size()));
  const char* first = nullptr;
  const char* last = nullptr;
  bool in_word = false;
  for (const char* p = valid; *p; p = g_utf8_next_char(p)) {
    const bool letter = g_unichar_isalnum(g_utf8_get_char(p));
    if (letter && !in_word) {
      if (!first) first = p;
      else last = p;
    }
    in_word = letter;
  }
  std::string out;
  if (first) append_upper(out, first);
  if (last) append_upper(out, last);
  g_free(valid);
  return out.empty() ? std::string("?") : out;
}

Color Avatar::color_for_initials(std::string_view initials) {
  // FNV-1a: small, stable across runs and machines.
  std::uint32_t h = 2166136261u;
  for (const char c : initials) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return kPalette[h % kPalette.size()];
}

void Avatar::draw_at(Scene& scene, TextRenderer& renderer, Point center, double diameter, std::string_view name,
                     Color fill) {
  scene.fill_circle(center, diameter / 2, fill);
  const std::string text = initials(name);
  const double size = diameter * kInitialsScale;
  const Color white{1, 1, 1, 1};
  const Color ink = Color::contrast(white, fill) >= kMinTextContrast ? white : Color::hex(0x1D2129);
  const TextMetrics m = renderer.measure(text, size, kWeightSemibold);
  renderer.draw_text_weighted(scene, text, {center.x - m.width / 2, center.y - m.height / 2}, size, kWeightSemibold,
                              ink);
}

}  // namespace velyn_ui::widget
