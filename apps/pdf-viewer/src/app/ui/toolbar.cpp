#include "app/ui/toolbar.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "app/ui/chrome_style.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

using velyn_ui::Color;
using velyn_ui::Path;
using velyn_ui::Point;
using velyn_ui::Rect;

namespace {

constexpr double kIconStroke = 1.6;
constexpr double kIconInset = 10;

Rect button_at(double x, double w, double cy) { return {x, cy - kToolbarButtonHeight / 2, x + w, cy + kToolbarButtonHeight / 2}; }

Color swatch_color(const velyn_ui::Theme& theme, pdf_actions::Swatch s) {
  switch (s) {
    case pdf_actions::Swatch::Green: return theme.colors.green;
    case pdf_actions::Swatch::Pink: return theme.colors.pink;
    case pdf_actions::Swatch::Blue: return theme.colors.blue;
    case pdf_actions::Swatch::Purple: return theme.colors.purple;
    default: return theme.colors.yellow;
  }
}

velyn_ui::StrokeStyle icon_style() {
  auto s = velyn_ui::StrokeStyle::solid(kIconStroke, velyn_ui::LineCap::Round, velyn_ui::LineJoin::Round);
  s.miter_limit = 4;
  return s;
}

// Icons are drawn in the button rect inset by 10; `b` is that box.
void icon_thumbnails(velyn_ui::Scene& s, const Rect& b, Color c) {
  const double w = (b.width() - 2) / 2;
  const double h = (b.height() - 2) / 2;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      s.stroke(Path().rounded_rect(Rect::from_size(b.x0 + i * (w + 2), b.y0 + j * (h + 2), w, h), 1.5), icon_style(), c);
}

void icon_open(velyn_ui::Scene& s, const Rect& b, Color c) {
  Path p;
  p.move_to({b.x0, b.y1 - 1})
      .line_to({b.x0, b.y0 + 1})
      .line_to({b.x0 + b.width() * 0.38, b.y0 + 1})
      .line_to({b.x0 + b.width() * 0.5, b.y0 + 3.5})
      .line_to({b.x1, b.y0 + 3.5})
      .line_to({b.x1, b.y1 - 1})
      .close();
  s.stroke(p, icon_style(), c);
}

void icon_save(velyn_ui::Scene& s, const Rect& b, Color c) {
  const double cx = b.center().x;
  s.stroke(Path().move_to({cx, b.y0}).line_to({cx, b.y1 - 4}), icon_style(), c);
  s.stroke(Path().move_to({cx - 4, b.y1 - 8}).line_to({cx, b.y1 - 4}).line_to({cx + 4, b.y1 - 8}), icon_style(), c);
  s.stroke(Path().move_to({b.x0, b.y1 - 3}).line_to({b.x0, b.y1}).line_to({b.x1, b.y1}).line_to({b.x1, b.y1 - 3}),
           icon_style(), c);
}

void icon_tool(velyn_ui::Scene& s, Tool tool, const Rect& b, Color c) {
  switch (tool) {
    case Tool::Select: {
      Path p;
      p.move_to({b.x0 + 2, b.y0})
          .line_to({b.x0 + 2, b.y1 - 2})
          .line_to({b.x0 + 6.5, b.y1 - 6})
          .line_to({b.x0 + 10, b.y1})
          .line_to({b.x0 + 12, b.y1 - 1})
          .line_to({b.x0 + 8.5, b.y1 - 7})
          .line_to({b.x1 - 1, b.y1 - 7.5})
          .close();
      s.stroke(p, icon_style(), c);
      break;
    }
    case Tool::Highlight: {
      Path p;
      p.move_to({b.x0 + 3, b.y1 - 5}).line_to({b.x1 - 5, b.y0 + 1}).line_to({b.x1 - 1, b.y0 + 5}).line_to({b.x0 + 7, b.y1 - 1}).close();
      s.stroke(p, icon_style(), c);
      s.stroke(Path().move_to({b.x0, b.y1}).line_to({b.x0 + 5, b.y1}), icon_style(), c);
      break;
    }
    case Tool::Draw: {
      Path p;
      p.move_to({b.x0, b.y1 - 3})
          .curve_to({b.x0 + 4, b.y0 - 2}, {b.x0 + 8, b.y1 + 2}, {b.x0 + 10, b.y0 + 5})
          .curve_to({b.x0 + 11, b.y0 + 2}, {b.x1, b.y0 + 4}, {b.x1, b.y0 + 8});
      s.stroke(p, icon_style(), c);
      break;
    }
    case Tool::Note: {
      Path p;
      p.move_to({b.x0, b.y0 + 1})
          .line_to({b.x1, b.y0 + 1})
          .line_to({b.x1, b.y1 - 4})
          .line_to({b.x0 + 6, b.y1 - 4})
          .line_to({b.x0 + 2, b.y1})
          .line_to({b.x0 + 2, b.y1 - 4})
          .line_to({b.x0, b.y1 - 4})
          .close();
      s.stroke(p, icon_style(), c);
      break;
    }
    case Tool::Sign: {
      Path p;
      p.move_to({b.x0, b.y1 - 5})
          .curve_to({b.x0 + 3, b.y0}, {b.x0 + 6, b.y0}, {b.x0 + 5, b.y1 - 4})
          .curve_to({b.x0 + 5, b.y1 - 8}, {b.x0 + 9, b.y1 - 9}, {b.x1, b.y1 - 6});
      s.stroke(p, icon_style(), c);
      s.stroke(Path().move_to({b.x0, b.y1}).line_to({b.x1, b.y1}), icon_style(), c);
      break;
    }
  }
}

void icon_find(velyn_ui::Scene& s, const Rect& b, Color c) {
  const double r = b.width() * 0.36;
  const Point center{b.x0 + r + 0.5, b.y0 + r + 0.5};
  s.stroke(Path().circle(center, r), icon_style(), c);
  s.stroke(Path().move_to({center.x + r * 0.72, center.y + r * 0.72}).line_to({b.x1, b.y1}), icon_style(), c);
}

void icon_sidebar(velyn_ui::Scene& s, const Rect& b, Color c) {
  s.stroke(Path().rounded_rect(b.inset(0, 1), 2), icon_style(), c);
  const double x = b.x1 - b.width() * 0.36;
  s.stroke(Path().move_to({x, b.y0 + 1}).line_to({x, b.y1 - 1}), icon_style(), c);
}

void button_background(velyn_ui::Scene& scene, const velyn_ui::Theme& theme, const Rect& r, bool active,
                       bool hovered) {
  if (active) {
    scene.fill_rounded_rect(r.inset(2), theme.radius, theme.colors.accent);
  } else if (hovered) {
    scene.fill_rounded_rect(r.inset(2), theme.radius, theme.colors.lift(kHoverStrength));
  }
}

}  // namespace

ToolbarLayout compute_toolbar_layout(const Rect& toolbar, double scale, Tool tool) {
  ToolbarLayout l;
  const double x0 = toolbar.x0;
  const double cy = toolbar.center().y;
  const bool narrow = toolbar.width() < kToolbarNarrowBelow;
  l.thumbnails = button_at(x0 + 12, 34, cy);
  l.open = button_at(x0 + 56, 34, cy);
  l.save = button_at(x0 + 96, 34, cy);
  const double left_end = x0 + 130;

  double x = toolbar.x1 - 16;
  l.sidebar = button_at(x - 34, 34, cy);
  x -= 34 + 6;
  l.find = button_at(x - 34, 34, cy);
  x -= 34 + 14;
  const double fit_w = narrow ? 34 : 40;
  l.fit = button_at(x - fit_w, fit_w, cy);
  x -= fit_w + 10;
  l.zoom_in = button_at(x - 28, 28, cy);
  x -= 28;
  if (!narrow && scale <= 1.25) {
    l.zoom_label = button_at(x - 46, 46, cy);
    x -= 46;
  }
  l.zoom_out = button_at(x - 28, 28, cy);

  const double mid = (left_end + l.zoom_out.x0) / 2;
  const double first = std::max(mid - 97, x0 + 138);
  for (std::size_t i = 0; i < kTools.size(); ++i) l.tools[i] = {kTools[i], button_at(first + 40.0 * i, 34, cy)};

  if (tool_uses_swatch(tool)) {
    const double start = first + 208;
    if (start + 112 <= l.zoom_out.x0 - 10) {
      for (int i = 0; i < 5; ++i) {
        l.swatches.emplace_back(static_cast<pdf_actions::Swatch>(i), Rect{start + 24.0 * i, cy - 8, start + 24.0 * i + 16, cy + 8});
      }
    }
  }
  return l;
}

void draw_toolbar(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                  const Rect& toolbar, const ToolbarLayout& l, const ToolbarView& v) {
  const auto& colors = theme.colors;
  scene.fill_rect(toolbar, colors.surface);
  scene.fill_rect({toolbar.x0, toolbar.y1 - 1, toolbar.x1, toolbar.y1}, colors.border);

  const Color on_accent = colors.on_accent(kOnAccentContrast);
  auto hovered = [&](const Rect& r) { return v.pointer && r.contains(*v.pointer); };
  auto toggle_color = [&](bool active) { return active ? on_accent : colors.secondary_text; };

  button_background(scene, theme, l.thumbnails, v.thumbnails_open, hovered(l.thumbnails));
  icon_thumbnails(scene, l.thumbnails.inset(kIconInset), v.thumbnails_open ? on_accent : colors.secondary_text);

  button_background(scene, theme, l.open, false, !v.opening && hovered(l.open));
  icon_open(scene, l.open.inset(kIconInset), v.opening ? colors.secondary_text : colors.text);

  button_background(scene, theme, l.save, false, v.document_loaded && hovered(l.save));
  icon_save(scene, l.save.inset(kIconInset), v.document_loaded ? colors.text : colors.secondary_text);
  if (v.document_loaded && v.unsaved_changes) scene.fill_circle({l.save.x1 - 6, l.save.y0 + 6}, 3.5, colors.accent);

  for (const auto& [tool, rect] : l.tools) {
    const bool active = tool == v.tool;
    button_background(scene, theme, rect, active, hovered(rect));
    icon_tool(scene, tool, rect.inset(kIconInset), toggle_color(active));
  }
  for (const auto& [swatch, rect] : l.swatches) {
    const Point c = rect.center();
    if (swatch == v.swatch) {
      scene.fill_circle(c, 8, swatch_color(theme, swatch));
      scene.stroke_circle(c, 10.5, 2, colors.text);
    } else {
      scene.fill_circle(c, 6.5, swatch_color(theme, swatch));
    }
  }

  button_background(scene, theme, l.zoom_out, false, hovered(l.zoom_out));
  const Point zo = l.zoom_out.center();
  scene.line({zo.x - 6, zo.y}, {zo.x + 6, zo.y}, 2, colors.text);
  if (l.zoom_label.has_area()) {
    const std::string label = fmt::format("{}%", static_cast<long>(std::lround(v.zoom * 100)));
    const auto m = text.measure(label, 12);
    const Point c = l.zoom_label.center();
    text.draw_text(scene, label, {c.x - m.width / 2, c.y - m.height / 2}, 12, colors.text);
  }
  button_background(scene, theme, l.zoom_in, false, hovered(l.zoom_in));
  const Point zi = l.zoom_in.center();
  scene.line({zi.x - 6, zi.y}, {zi.x + 6, zi.y}, 2, colors.text);
  scene.line({zi.x, zi.y - 6}, {zi.x, zi.y + 6}, 2, colors.text);

  const bool fit_active = v.fit != FitMode::Free;
  button_background(scene, theme, l.fit, fit_active, hovered(l.fit));
  const std::string_view fit_label = v.fit == FitMode::Width ? "Wide" : "Fit";
  const auto fm = text.measure(fit_label, 11, velyn_ui::kWeightSemibold);
  const Point fc = l.fit.center();
  text.draw_text_weighted(scene, fit_label, {fc.x - fm.width / 2, fc.y - fm.height / 2}, 11, velyn_ui::kWeightSemibold,
                          toggle_color(fit_active));

  button_background(scene, theme, l.find, v.search_open, hovered(l.find));
  icon_find(scene, l.find.inset(kIconInset), toggle_color(v.search_open));

  button_background(scene, theme, l.sidebar, v.sidebar_open, hovered(l.sidebar));
  icon_sidebar(scene, l.sidebar.inset(kIconInset), toggle_color(v.sidebar_open));
}

std::vector<std::pair<std::string, Rect>> toolbar_tooltips(const ToolbarLayout& l, const ToolbarView& v) {
  std::vector<std::pair<std::string, Rect>> out;
  out.emplace_back("Open a PDF…  (Ctrl O)", l.open);
  out.emplace_back("Save annotated PDF…  (Ctrl S)", l.save);
  for (std::size_t i = 0; i < l.tools.size(); ++i) {
    out.emplace_back(fmt::format("{}  ({})", tool_name(l.tools[i].first), i + 1), l.tools[i].second);
  }
  for (const auto& [swatch, rect] : l.swatches) out.emplace_back(fmt::format("{} marker", pdf_actions::swatch_label(swatch)), rect);
  out.emplace_back("Zoom out  (Ctrl −)", l.zoom_out);
  if (l.zoom_label.has_area()) out.emplace_back("Reset zoom / fit  (Ctrl 0)", l.zoom_label);
  out.emplace_back("Zoom in  (Ctrl +)", l.zoom_in);
  out.emplace_back(v.fit == FitMode::Width ? "Fit width  (W)" : "Fit page  (0)", l.fit);
  out.emplace_back("Find in document  (Ctrl F)", l.find);
  out.emplace_back(v.thumbnails_open ? "Hide page thumbnails" : "Show page thumbnails", l.thumbnails);
  out.emplace_back(v.sidebar_open ? "Hide sidebar  (B)" : "Show sidebar  (B)", l.sidebar);
  return out;
}

}  // namespace pdf_app
