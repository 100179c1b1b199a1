#pragma once
// The canvas when no document is shown: a document pictogram, a title and a
// body for the empty, loading and error states, and either the "Open a PDF…"
// button or a progress bar.
#include <string>
#include <string_view>

#include "velyn_ui/geometry.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace pdf_app {

enum class EmptyState { Empty, Opening, Failed };

struct EmptyScreenText {
  std::string_view title;
  std::string_view body;
  std::string_view detail;  // the error state's own cause, under the button; empty otherwise
};

// Title and body of a state; the error body is chosen from the open error,
// which is also shown whole as the detail, so that every failure says why.
EmptyScreenText empty_screen_text(EmptyState state, std::string_view open_error);

// Rect of the "Open a PDF…" button for a canvas (absent while opening).
velyn_ui::Rect open_button_rect(const velyn_ui::Rect& canvas);

void draw_empty_screen(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                       const velyn_ui::Rect& canvas, EmptyState state, std::string_view open_error,
                       bool button_hovered);

}  // namespace pdf_app
