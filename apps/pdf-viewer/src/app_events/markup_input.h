#pragma once
// The markup gestures' outcomes: notes, highlights and ink made into viewer
// actions for the executor, the canvas selection they leave, and a region of
// a page copied as an image. Input-layer helpers of the router. UI thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "actions/review_model.h"
#include "app/markup_geometry.h"
#include "source/page_text.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/widget.h"

namespace docstore {
class Document;
}

namespace pdf_app {

struct PdfApp;

void select_annotation(PdfApp& app, const std::string& id);
void clear_canvas_selection(PdfApp& app);
// The comment thread of an annotation, if any.
const pdf_actions::Comment* thread_of(const PdfApp& app, const std::string& anno_id);
// Shows the annotation's thread in the sidebar.
void reveal_annotation(PdfApp& app, const std::string& anno_id);
// A note at `at` (page points) with its comment, whose editor opens.
void create_note(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, std::uint64_t page,
                 velyn_ui::Point at);
// One highlight per line rect, all one gesture; the last is selected.
void add_highlights(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, std::uint64_t page,
                    const std::vector<PageRect>& rects, pdf_actions::Swatch swatch);
// The text layer of page `page` (from 1), if it is held.
const pdf::source::TextLayer* layer_of(const PdfApp& app, std::uint64_t page);
// Copies the shift-dragged region of its page's raster as an image.
void copy_region(PdfApp& app);
// Ends a highlight or ink drag: its annotations go to the executor.
void commit_markup(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx);

}  // namespace pdf_app
