#pragma once
// Painting one page: shadow, paper, raster (or the page's own text blocks when
// there is no raster to show), review markup and signatures, border.
#include <span>
#include <string>
#include <vector>

#include "actions/review_model.h"
#include "source/document.h"
#include "velyn_ui/color.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/image.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace pdf_app {

inline constexpr velyn_ui::Color kPaper{1, 1, 1, 1};
inline constexpr velyn_ui::Color kPageBorder = velyn_ui::Color::rgb8(203, 213, 225);
inline constexpr velyn_ui::Color kSignatureInk = velyn_ui::Color::rgb8(28, 33, 47);
inline constexpr velyn_ui::Color kSignatureRule = velyn_ui::Color::rgb8(148, 163, 184);
inline constexpr velyn_ui::Color kSignerName = velyn_ui::Color::rgb8(71, 85, 105);
inline constexpr std::string_view kSignatureFace = "Dancing Script";

velyn_ui::Color swatch_color(const velyn_ui::Theme& theme, pdf_actions::Swatch swatch);

// A block of a page shown from its blocks that holds a search match.
struct MatchedBlock {
  std::uint64_t block = 0;  // index within the page over all blocks
  bool current = false;     // holds the current match
};

struct PageContent {
  const velyn_ui::Image* raster = nullptr;         // drawn in raster_rect of the page when present
  const std::vector<pdf::source::Block>* blocks = nullptr;  // drawn when there is no raster
  std::span<const MatchedBlock> matched_blocks;    // backed in accent under their text
  std::span<const pdf_actions::Annotation* const> annotations;
  std::span<const pdf_actions::Signature* const> signatures;
  std::span<const std::string> selected;  // ids of selected annotations
};

// Where a page shown from its blocks (the sample, a PDF opened text-only)
// puts each block, in page points from its top-left. Text blocks carry their
// wrap width, size and weight (size 0 for the others). Drawing and the text
// layers of such pages both follow it.
struct PlacedBlock {
  const pdf::source::Block* block = nullptr;
  double x = 0, y = 0;
  double width = 0;   // wrap width of a text block
  double height = 0;  // of a text block's laid-out text
  double size = 0;
  int weight = 0;
};
std::vector<PlacedBlock> place_blocks(const std::vector<pdf::source::Block>& blocks, double page_width,
                                      velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme);

// Where a page's raster is drawn in its slot: all pages share one slot size,
// but a page of another shape (an imported landscape image, say) keeps its
// own aspect ratio, as large as fits and centred. A raster within 1 % of the
// slot's shape fills the slot (rounding of its pixel size is no reason to
// leave a hairline gap).
velyn_ui::Rect raster_rect(const velyn_ui::Rect& slot, const velyn_ui::Image& raster);

// The review markup of one page and then its signatures, in store order, over
// whatever the page shows; `page` is its screen rect, `zoom` pixels per point.
// The canvas draws it on every page, the rail on every thumbnail.
// A thumbnail of a page shown from its blocks: grey bars standing for them
// (headings darker, body lines lighter, figures as panels), in `thumb`.
void draw_block_skeleton(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                         const velyn_ui::Rect& thumb, double page_width, const std::vector<pdf::source::Block>& blocks);
void draw_page_markup(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                      const velyn_ui::Rect& page, double zoom, const PageContent& content);

// `page` is the page's screen rect; `zoom` screen pixels per point.
void draw_page(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
               const velyn_ui::Rect& page, double zoom, double page_width, const PageContent& content);

}  // namespace pdf_app
