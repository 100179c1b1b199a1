#pragma once
// Running a search over the open document and stepping through its results.
// UI thread only; nothing here waits for the worker: pages without a text
// layer are requested and matched when their layer arrives.
#include <cstddef>
#include <string>

#include "velyn_ui/event.h"

namespace pdf_app {

struct PdfApp;

// Shows the search bar (laying the frame out again), leaving its field and results as they are.
void show_search_bar(PdfApp& app);
// Shows the bar, focuses the field and runs the search when it has a query.
void open_search(PdfApp& app);
// Unfocuses and clears the field, hides the bar and forgets every result.
void close_search(PdfApp& app);
// Searches from scratch: results reset, the first result becomes current and
// its page is shown. PDFium pages without a layer are requested.
void run_search(PdfApp& app);
// A page's layer arrived: it is matched once and merged into the sorted
// results. The current result stays the same result; only the first result of
// a search moves the view.
void search_layer_arrived(PdfApp& app, std::uint64_t page);
// Steps by +1 or −1 with wrap-around and shows the new current result's page.
void step_search(PdfApp& app, int direction);

[[nodiscard]] std::size_t search_result_count(const PdfApp& app);
// The page (from 1) of result `index`; 0 when there is none.
[[nodiscard]] std::uint64_t search_result_page(const PdfApp& app, std::size_t index);
// "N of M matches" (or "N/M"), "No matches" (or "0"), or empty without a query.
[[nodiscard]] std::string search_count_text(const PdfApp& app, bool compact);

// Keys and text while the field is focused; pointer presses in the field and
// on the chips. Handled::No leaves the event to the viewer.
velyn_ui::Handled handle_search_event(PdfApp& app, const velyn_ui::Event& event, double now);

}  // namespace pdf_app
