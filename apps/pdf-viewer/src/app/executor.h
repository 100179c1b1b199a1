#pragma once
// The executor: the one place that carries out what input asks for. A view
// command changes view state (page, zoom, panels, tool, search); a gesture's
// viewer actions go to the shared document as one change. Each command is
// written once here, whatever input produced it. UI thread only.
#include <span>

#include "actions/viewer_action.h"
#include "app/command.h"
#include "app/interaction_state.h"
#include "docstore/document.h"
#include "velyn_ui/widget.h"

namespace pdf_app {

struct PdfApp;

// Carries out a view command. Page, zoom and panel commands need a document
// on screen and do nothing without one; Open and SaveAs belong to the file
// operations (their pickers and lifecycle) and are not carried out here.
void execute(PdfApp& app, const Command& command);

// Dispatches one gesture's viewer actions as one change (see PdfApp::dispatch_actions).
bool execute(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx,
             std::span<const pdf_actions::PdfViewerAction> actions);
inline bool execute(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx,
                    const pdf_actions::PdfViewerAction& action) {
  return execute(app, document, ctx, std::span(&action, 1));
}

// Lays the frame out again after the panels changed.
void relayout(PdfApp& app);

// The interaction mode with what goes with it: leaving a text selection drops it.
void set_interaction_mode(PdfApp& app, InteractionMode mode);

}  // namespace pdf_app
