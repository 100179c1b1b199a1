#pragma once
// Pure geometry of the markup tools: what a drag commits, what lies under a
// point, how text selections cover a text layer. Page points throughout.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "actions/review_model.h"
#include "app/interaction_state.h"
#include "source/page_image.h"

namespace pdf_app {

inline constexpr double kHighlightMinWidth = 6;   // drags within 6 × 4 points are clicks
inline constexpr double kHighlightMinHeight = 4;
inline constexpr double kLineMinWidth = 2;
inline constexpr double kLineReach = 1.5;  // box heights beside a line that still reach it
inline constexpr double kInkMinStep = 1.5;
inline constexpr double kNoteReach = 24;          // a Note marker answers within 24 points
inline constexpr double kInkReach = 4;            // an ink stroke answers within 4 points of its line
inline constexpr double kSignatureWidth = 218;
inline constexpr double kSignatureHeight = 74;
inline constexpr double kSignatureMargin = 64;

struct PageRect {
  double x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const PageRect&, const PageRect&) = default;
};

// The highlights a drag from `a` to `b` commits: nothing for a click-sized
// drag, one rect per covered text line when a layer is given and a line
// qualifies, else the drag rect itself.
std::vector<PageRect> highlight_rects(const pdf::source::TextLayer* layer, velyn_ui::Point a, velyn_ui::Point b);

// Appends `p` unless it lies within kInkMinStep of the last point.
void append_ink_point(std::vector<pdf_actions::Point>& points, velyn_ui::Point p);

// The signature box for a press at (px, py) on a w × h page: centred on the
// press, 64 points from every edge; a page too small for the margins centres
// the box on the page on that axis.
PageRect signature_box(double px, double py, double w, double h);

// Markup under a point of `page`: a Note within kNoteReach, else the topmost
// Highlight containing the point or Ink stroke within kInkReach of it (a
// stroke that could not be picked could never be deleted).
const pdf_actions::Annotation* annotation_at(const pdf_actions::ReviewModel& review, std::uint64_t page,
                                             velyn_ui::Point p);
const pdf_actions::Annotation* note_at(const pdf_actions::ReviewModel& review, std::uint64_t page, velyn_ui::Point p);
const pdf_actions::Signature* signature_at(const pdf_actions::ReviewModel& review, std::uint64_t page,
                                           velyn_ui::Point p);

// Index of the character whose box holds `p` (exact) or, failing that and
// when `nearest`, of the closest box.
std::optional<std::uint64_t> char_at(const pdf::source::TextLayer& layer, velyn_ui::Point p, bool nearest);
// Index of the character under `p`, or else of the closest character on the
// same line (its box spans p's height) within kLineReach box heights: a press
// in the gap between two words, or just past a line's end, still starts a
// selection there.
std::optional<std::uint64_t> char_on_line(const pdf::source::TextLayer& layer, velyn_ui::Point p);
// [first, end) of the word or line holding character `index`.
std::pair<std::uint64_t, std::uint64_t> word_range(const pdf::source::TextLayer& layer, std::uint64_t index);
std::pair<std::uint64_t, std::uint64_t> line_range(const pdf::source::TextLayer& layer, std::uint64_t index);
// One rect per text line over characters [first, last] (inclusive).
std::vector<PageRect> selection_rects(const pdf::source::TextLayer& layer, std::uint64_t first, std::uint64_t last);
// The text of characters [first, last] (inclusive), trimmed of white space.
std::string selection_text(const pdf::source::TextLayer& layer, std::uint64_t first, std::uint64_t last);
// Number of characters (code points) of UTF-8 text.
std::size_t count_characters(std::string_view utf8);

}  // namespace pdf_app
