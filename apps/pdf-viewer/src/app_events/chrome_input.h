#pragma once
// Input on the window's chrome: the toolbar, the page bubble, the page rail
// (its gestures, resize edge, menu and wheel) and the canvas's scrollbars.
// Each turns what happened into commands for the executor. UI thread only.
#include <optional>

#include "velyn_ui/event.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/widget.h"

namespace docstore {
class Document;
}

namespace pdf_app {

struct PdfApp;

// A press on the toolbar: its answer, or none when the press is elsewhere
// (Open and Save answer No: the file operations take them).
std::optional<velyn_ui::Handled> press_toolbar(PdfApp& app, velyn_ui::Point at, docstore::Document& document,
                                               velyn_ui::FrameContext& ctx);
// A press on the page bubble's arrows or label; false when elsewhere.
bool press_bubble(PdfApp& app, velyn_ui::Point at, double now);
// The rail's share of any event.
velyn_ui::Handled rail_event(PdfApp& app, const velyn_ui::Event& event, docstore::Document& document,
                             velyn_ui::FrameContext& ctx);
// A press on a scrollbar: the thumb starts a drag, the track pages; false when elsewhere.
bool press_scrollbar(PdfApp& app, velyn_ui::Point at);

}  // namespace pdf_app
