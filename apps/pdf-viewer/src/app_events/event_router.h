#pragma once
// Input routing of the viewer: keys, wheel, magnify and pointer gestures on
// the toolbar, page bubble, rail, search bar, review sidebar, signature pad,
// selection HUD and canvas, and the five markup tools. UI thread only.
//
// Routing order: blocked input is ignored; an open context menu sees the
// event first; then the comment editor, the search field, and the viewer's
// own handling. Input only translates: what it asks for becomes a command or
// a gesture's viewer actions, carried out by the executor (app/executor.h).
#include "app/tool.h"
#include "app/interaction_state.h"
#include "velyn_ui/event.h"
#include "velyn_ui/widget.h"

namespace docstore {
class Document;
}

namespace pdf_app {

struct PdfApp;

inline constexpr double kWheelLine = 56;     // pixels per wheel line
inline constexpr double kArrowStep = 90;
inline constexpr double kPanSlop = 4;        // a press becomes a pan beyond this
inline constexpr double kMinRegion = 3;      // points; smaller regions copy nothing

// The input layer's one entry: the viewer widget hands it every event.
velyn_ui::Handled route_event(PdfApp& app, const velyn_ui::Event& event, docstore::Document& document,
                              velyn_ui::FrameContext& ctx);

// Copies the shown text selection; false when nothing was copied.
bool copy_selection(PdfApp& app);
// Deletes the selected annotation, else the selected signature.
void delete_selection(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx);

}  // namespace pdf_app
