#pragma once
// The search bar under the toolbar: query field, count, hint and the "Case"
// and "Whole word" chips. Layout is pure so tests and drawing agree.
#include <string>

#include "velyn_ui/geometry.h"
#include "velyn_ui/widget.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
}  // namespace velyn_ui

namespace pdf_app {

struct PdfApp;

inline constexpr double kSearchMinField = 150;
inline constexpr double kSearchMaxField = 520;
inline constexpr std::string_view kSearchHint = "Enter ▸ next  ·  Esc ▸ close";

struct SearchBarLayout {
  velyn_ui::Rect field, whole_word, case_chip, hint;
  bool show_hint = false;
  enum class Count { None, Compact, Full } count = Count::None;
  velyn_ui::Point count_at;
};

// `full` and `compact` are the widths of the two count texts, `hint` the
// hint's, `case_w` and `word_w` the chip labels' (all at their sizes).
SearchBarLayout layout_search_bar(const velyn_ui::Rect& bar, double text_scale, double full, double compact,
                                  double hint, double case_w, double word_w);

void draw_search_bar(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx);

}  // namespace pdf_app
