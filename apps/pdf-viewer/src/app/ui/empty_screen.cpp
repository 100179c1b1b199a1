#include "app/ui/empty_screen.h"

#include <algorithm>
#include <cctype>
#include <string>

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

constexpr double kProgressFraction = 0.62;  // the bar shows activity, not a measured progress
constexpr double kDetailSize = 11.5;
constexpr double kDetailMaxWidth = 560;

bool contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

// A small page with a folded corner, stroked into `box`.
void draw_document_icon(velyn_ui::Scene& scene, const Rect& box, Color color) {
  const double fold = box.width() * 0.32;
  const double left = box.x0 + box.width() * 0.18;
  const double right = box.x1 - box.width() * 0.18;
  Path outline;
  outline.move_to({left, box.y0 + 0.75})
      .line_to({right - fold, box.y0 + 0.75})
      .line_to({right, box.y0 + 0.75 + fold})
      .line_to({right, box.y1 - 0.75})
      .line_to({left, box.y1 - 0.75})
      .close();
  auto style = velyn_ui::StrokeStyle::solid(1.5, velyn_ui::LineCap::Round, velyn_ui::LineJoin::Round);
  scene.stroke(outline, style, color);
  Path corner;
  corner.move_to({right - fold, box.y0 + 0.75}).line_to({right - fold, box.y0 + 0.75 + fold}).line_to({right, box.y0 + 0.75 + fold});
  scene.stroke(corner, style, color);
}

}  // namespace

EmptyScreenText empty_screen_text(EmptyState state, std::string_view open_error) {
  switch (state) {
    case EmptyState::Opening: return {"Opening PDF…", "Reading the selected document.", {}};
    case EmptyState::Empty: return {"No document open", "Choose a PDF to start reading.", {}};
    case EmptyState::Failed: break;
  }
  std::string lower(open_error);
  std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string_view body = "Check the file and try again.";
  if (contains(lower, "password") || contains(lower, "encrypt")) {
    body = "This PDF needs a password before it can be opened.";
  } else if (contains(lower, "unavailable") || contains(lower, "not a readable pdf")) {
    body = "The file is unavailable or isn't a readable PDF.";
  }
  return {"Couldn't open this document", body, open_error};
}

Rect open_button_rect(const Rect& canvas) {
  const Point c = canvas.center();
  return {c.x - 75, c.y + 78, c.x + 75, c.y + 116};
}

void draw_empty_screen(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                       const Rect& canvas, EmptyState state, std::string_view open_error, bool button_hovered) {
  const auto& colors = theme.colors;
  const Point c = canvas.center();

  // Pictogram: a page with a folded corner and three lines of "text".
  const Rect page{c.x - 39, c.y - 79, c.x + 39, c.y + 19};
  const double radius = std::min(std::min(page.width(), page.height()) / 2, 8.0);
  scene.fill_rounded_rect(page, radius, colors.surface);
  scene.stroke_rounded_rect(page, radius, 1.5, colors.border);
  scene.fill(Path().move_to({page.x1 - 22, page.y0}).line_to({page.x1, page.y0 + 22}).line_to({page.x1 - 22, page.y0 + 22}).close(),
             colors.lift(kHoverStrength));
  for (double dy : {44.0, 56.0, 68.0}) {
    scene.line({page.x0 + 16, page.y0 + dy}, {page.x1 - 16, page.y0 + dy}, 2, colors.border);
  }

  const EmptyScreenText texts = empty_screen_text(state, open_error);
  const auto title = text.measure(texts.title, 16, velyn_ui::kWeightSemibold);
  text.draw_text_weighted(scene, texts.title, {c.x - title.width / 2, c.y + 34}, 16, velyn_ui::kWeightSemibold,
                          colors.text);
  const double wrap = std::max(1.0, canvas.width() - 80);
  text.draw_wrapped(scene, texts.body, {c.x - wrap / 2, c.y + 58}, wrap, 12.5, velyn_ui::kWeightRegular,
                    state == EmptyState::Failed ? colors.danger : colors.secondary_text, velyn_ui::TextAlign::Center);

  if (state == EmptyState::Opening) {
    const Rect track{c.x - 54, c.y + 82, c.x + 54, c.y + 86};
    scene.fill_rounded_rect(track, 2, colors.border);
    scene.fill_rounded_rect({track.x0, track.y0, track.x0 + track.width() * kProgressFraction, track.y1}, 2,
                            colors.accent);
    return;
  }

  const Rect button = open_button_rect(canvas);
  if (!texts.detail.empty()) {
    const double detail_wrap = std::max(1.0, std::min(kDetailMaxWidth, canvas.width() - 80));
    text.draw_wrapped(scene, texts.detail, {c.x - detail_wrap / 2, button.y1 + 14}, detail_wrap, kDetailSize,
                      velyn_ui::kWeightRegular, colors.secondary_text, velyn_ui::TextAlign::Center);
  }
  scene.fill_rounded_rect(button, theme.radius, colors.accent);
  if (button_hovered) scene.fill_rounded_rect(button, theme.radius, colors.lift(kHoverStrength));
  constexpr std::string_view kLabel = "Open a PDF…";
  const Color on_accent = colors.on_accent(kOnAccentContrast);
  const auto label = text.measure(kLabel, 13, velyn_ui::kWeightSemibold);
  const double block = label.width + 24;
  const double x = button.center().x - block / 2;
  const double cy = button.center().y;
  draw_document_icon(scene, {x, cy - 8, x + 16, cy + 8}, on_accent);
  text.draw_text_weighted(scene, kLabel, {x + 24, cy - label.height / 2}, 13, velyn_ui::kWeightSemibold, on_accent);
}

}  // namespace pdf_app
