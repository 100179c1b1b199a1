#pragma once
// The text layer of a page shown from its blocks (the built-in sample, a PDF
// opened text-only): every character of its text blocks where drawing puts it,
// in page points, with a line break between blocks, so that selection, copy,
// highlight snapping and hit tests work there as on a PDF page.
#include <vector>

#include "source/document.h"
#include "source/page_image.h"

namespace velyn_ui {
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace pdf_app {

// Laid out at text scale 1 whatever the renderer's scale (restored after).
pdf::source::SharedTextLayer block_text_layer(const std::vector<pdf::source::Block>& blocks, double page_width,
                                              velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme);

}  // namespace pdf_app
