#include "velyn_ui/text_renderer.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cstring>

#include "velyn_ui/scene.h"

namespace velyn_ui {

namespace {

PangoWeight pango_weight(int weight) {
  switch (std::clamp(weight, kWeightRegular, kWeightBold)) {
    case kWeightMedium: return PANGO_WEIGHT_MEDIUM;
    case kWeightSemibold: return PANGO_WEIGHT_SEMIBOLD;
    case kWeightBold: return PANGO_WEIGHT_BOLD;
    default: return PANGO_WEIGHT_NORMAL;
  }
}

PangoAlignment pango_alignment(TextAlign align) {
  switch (align) {
    case TextAlign::Center: return PANGO_ALIGN_CENTER;
    case TextAlign::Right: return PANGO_ALIGN_RIGHT;
    default: return PANGO_ALIGN_LEFT;
  }
}

void append_bytes(std::string& key, const void* value, std::size_t size) {
  key.append(static_cast<const char*>(value), size);
}

}  // namespace

PangoContext* create_text_context() {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  // Unhinted metrics: the same text measures the same at every device scale,
  // which keeps layouts and headless frames stable.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 96.0);
  return context;
}

void set_layout_style(PangoLayout* layout, const std::string& face, double px, int weight,
                      std::optional<double> wrap_width) {
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, face.c_str());
  pango_font_description_set_absolute_size(desc, std::max(1.0, px) * PANGO_SCALE);
  pango_font_description_set_weight(desc, pango_weight(weight));
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  if (wrap_width) {
    pango_layout_set_width(layout, static_cast<int>(std::max(1.0, *wrap_width) * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  } else {
    pango_layout_set_width(layout, -1);
  }
}

TextRenderer::TextRenderer(std::string face) : face_(std::move(face)), context_(create_text_context()) {}

TextRenderer::~TextRenderer() {
  for (auto& [key, entry] : cache_) g_object_unref(entry.layout);
  g_object_unref(context_);
}

void TextRenderer::set_text_scale(double scale) {
  if (scale > 0) scale_ = scale;
}

TextRenderer::Entry& TextRenderer::layout_for(std::string_view text, double size, int weight,
                                              std::optional<double> wrap_width, TextAlign align) {
  const double px = size * scale_;
  const double width = wrap_width.value_or(-1.0);
  std::string key(text);
  key.push_back('\0');
  append_bytes(key, &px, sizeof px);
  append_bytes(key, &weight, sizeof weight);
  append_bytes(key, &width, sizeof width);
  append_bytes(key, &align, sizeof align);

  if (auto it = cache_.find(key); it != cache_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second.lru);
    return it->second;
  }
  if (cache_.size() >= kLayoutCacheEntries) {
    auto victim = cache_.find(lru_.back());
    g_object_unref(victim->second.layout);
    cache_.erase(victim);
    lru_.pop_back();
  }

  PangoLayout* layout = pango_layout_new(context_);
  set_layout_style(layout, face_, px, weight, wrap_width);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  pango_layout_set_alignment(layout, pango_alignment(align));

  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  TextMetrics m;
  m.width = logical.width / double(PANGO_SCALE);
  m.height = logical.height / double(PANGO_SCALE);
  m.baseline = pango_layout_get_baseline(layout) / double(PANGO_SCALE);
  m.lines = pango_layout_get_line_count(layout);

  lru_.push_front(key);
  auto [it, inserted] = cache_.emplace(std::move(key), Entry{layout, m, lru_.begin()});
  return it->second;
}

TextMetrics TextRenderer::measure(std::string_view text, double size, int weight, std::optional<double> wrap_width,
                                  TextAlign align) {
  return layout_for(text, size, weight, wrap_width, align).metrics;
}

TextMetrics TextRenderer::draw(Scene& scene, Entry& entry, Point at, Color color) {
  cairo_t* cr = scene.native();
  cairo_save(cr);
  cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a);
  cairo_move_to(cr, at.x, at.y);
  pango_cairo_show_layout(cr, entry.layout);
  cairo_restore(cr);
  return entry.metrics;
}

TextMetrics TextRenderer::draw_text(Scene& scene, std::string_view text, Point at, double size, Color color) {
  return draw(scene, layout_for(text, size, kWeightRegular, std::nullopt, TextAlign::Left), at, color);
}

TextMetrics TextRenderer::draw_text_weighted(Scene& scene, std::string_view text, Point at, double size,
                                             int weight, Color color) {
  return draw(scene, layout_for(text, size, weight, std::nullopt, TextAlign::Left), at, color);
}

std::vector<TextRenderer::CharBox> TextRenderer::char_boxes(std::string_view text, double size, int weight,
                                                           double width) {
  std::vector<CharBox> out;
  if (text.empty()) return out;
  Entry& entry = layout_for(text, size, weight, width, TextAlign::Left);
  PangoLayoutIter* it = pango_layout_get_iter(entry.layout);
  do {
    const int index = pango_layout_iter_get_index(it);
    // Line ends are visited too (at the index after the line): keep each character once.
    if (index < 0 || static_cast<std::size_t>(index) >= text.size()) continue;
    if (!out.empty() && out.back().byte >= static_cast<std::size_t>(index)) continue;
    PangoRectangle r;
    pango_layout_iter_get_char_extents(it, &r);
    const double x0 = double(std::min(r.x, r.x + r.width)) / PANGO_SCALE;
    const double x1 = double(std::max(r.x, r.x + r.width)) / PANGO_SCALE;
    out.push_back({static_cast<std::size_t>(index), Rect{x0, double(r.y) / PANGO_SCALE, x1,
                                                          double(r.y + r.height) / PANGO_SCALE}});
  } while (pango_layout_iter_next_char(it));
  pango_layout_iter_free(it);
  return out;
}

TextMetrics TextRenderer::draw_wrapped(Scene& scene, std::string_view text, Point at, double width, double size,
                                       int weight, Color color, TextAlign align) {
  return draw(scene, layout_for(text, size, weight, width, align), at, color);
}

}  // namespace velyn_ui
