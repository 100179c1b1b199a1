#include "app/ui/search_bar.h"

#include <algorithm>

#include "app/pdf_app.h"
#include "app/search_run.h"
#include "app/ui/chrome_style.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

using velyn_ui::Rect;

SearchBarLayout layout_search_bar(const Rect& bar, double text_scale, double full, double compact, double hint,
                                  double case_w, double word_w) {
  const double z = std::clamp(text_scale, 1.0, 2.0);
  const double cy = bar.center().y;
  const double l = bar.x0 + 16 * z, r = bar.x1 - 16 * z;
  SearchBarLayout out;
  out.whole_word = {r - (word_w + 22 * z), cy - 11 * z, r, cy + 11 * z};
  const double case_right = out.whole_word.x0 - 8 * z;
  out.case_chip = {case_right - (case_w + 22 * z), cy - 11 * z, case_right, cy + 11 * z};
  const double min_field = kSearchMinField * z;
  double end = out.case_chip.x0 - 12 * z;
  if (hint + 26 * z <= (end - l) - min_field - (full + 8 * z)) {
    out.show_hint = true;
    const double hint_right = out.case_chip.x0 - 14 * z;
    out.hint = {hint_right - hint, cy - 8 * z, hint_right, cy + 8 * z};
    end = out.hint.x0 - 12 * z;
  }
  const double space = end - l;
  double count_w = 0;
  if (space >= full + min_field + 8 * z) {
    out.count = SearchBarLayout::Count::Full;
    count_w = full;
  } else if (space >= compact + min_field + 8 * z) {
    out.count = SearchBarLayout::Count::Compact;
    count_w = compact;
  }
  const double field_end = std::max(std::min(l + kSearchMaxField * z, end - count_w - 8 * z), l + min_field);
  out.field = {l, bar.y0 + 8 * z, field_end, bar.y1 - 8 * z};
  out.count_at = {field_end + 8 * z, cy};
  return out;
}

void draw_search_bar(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) {
  auto& text = ctx.text;
  const auto& theme = ctx.theme;
  const auto& c = theme.colors;
  const Rect& bar = app.regions.search_bar;
  auto& s = app.search;
  s.chips.clear();
  if (!app.panels.search_open || !bar.has_area()) return;
  const double z = std::clamp(text.text_scale(), 1.0, 2.0);
  scene.fill_rect(bar, c.search_bar_background);
  scene.fill_rect({bar.x0, bar.y1 - 1, bar.x1, bar.y1}, c.border);
  const std::string full = search_count_text(app, false), compact = search_count_text(app, true);
  const auto lay = layout_search_bar(bar, text.text_scale(), text.measure(full, 12).width,
                                     text.measure(compact, 12).width, text.measure(kSearchHint, 10.5).width,
                                     text.measure("Case", 11).width, text.measure("Whole word", 11).width);
  // Field.
  s.field_rect = lay.field;
  scene.fill_rounded_rect(lay.field, theme.radius, c.background);
  scene.stroke_rounded_rect(lay.field, theme.radius, 1.5, c.input_border);
  const double fcy = lay.field.center().y;
  const velyn_ui::Point lens{lay.field.x0 + 14 * z, fcy - 1};
  scene.stroke_circle(lens, 5 * z, 1.6, c.secondary_text);
  scene.line({lens.x + 3.6 * z, lens.y + 3.6 * z}, {lens.x + 7.5 * z, lens.y + 7.5 * z}, 1.8, c.secondary_text,
             velyn_ui::LineCap::Round);
  const Rect input{lay.field.x0 + 32 * z, lay.field.y0, lay.field.x1 - 5 * z, lay.field.y1};
  s.field.draw(scene, text, theme, input, {.size = 13, .placeholder = "Search document…", .text_color = std::nullopt, .padding = 0});
  // Count.
  if (lay.count != SearchBarLayout::Count::None) {
    const std::string& t = lay.count == SearchBarLayout::Count::Full ? full : compact;
    const auto m = text.measure(t, 12);
    text.draw_text(scene, t, {lay.count_at.x, lay.count_at.y - m.height / 2}, 12, c.secondary_text);
  }
  // Chips.
  const auto chip = [&](const Rect& r, std::string_view label, bool on, int id) {
    scene.fill_rounded_rect(r, theme.chip_radius, on ? c.accent : hover_tint(c));
    const auto m = text.measure(label, 11);
    text.draw_text(scene, label, {r.center().x - m.width / 2, r.center().y - m.height / 2}, 11,
                   on ? on_accent(c) : c.secondary_text);
    s.chips.push_back({id, r});
  };
  chip(lay.case_chip, "Case", s.case_sensitive, 1);
  chip(lay.whole_word, "Whole word", s.whole_word, 0);
  if (lay.show_hint) {
    const auto m = text.measure(kSearchHint, 10.5);
    text.draw_text(scene, kSearchHint, {lay.hint.x0, bar.center().y - m.height / 2}, 10.5, c.secondary_text);
  }
}

}  // namespace pdf_app
