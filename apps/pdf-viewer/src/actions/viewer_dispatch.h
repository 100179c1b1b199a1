#pragma once
// The viewer's actions inside the action framework: the decoder registered for
// "pdf_viewer.action", its typed action, and the context of a dispatch.
#include <expected>
#include <span>
#include <string_view>

#include "actions/viewer_action.h"
#include "velyn_actions/context.h"
#include "velyn_actions/executor.h"
#include "velyn_actions/registry.h"

namespace pdf_actions {

// The window title, and the application every dispatched action names.
inline constexpr std::string_view kAppTitle = "PDF Viewer";

class ViewerTypedAction final : public velyn_actions::TypedAction {
 public:
  explicit ViewerTypedAction(PdfViewerAction action) : action_(std::move(action)) {}

  [[nodiscard]] std::string describe() const override;
  velyn::Result<void> apply(docstore::Transaction& txn) const override;  // always succeeds
  [[nodiscard]] bool is_local_only() const override { return false; }

  [[nodiscard]] const PdfViewerAction& action() const { return action_; }

 private:
  PdfViewerAction action_;
};

// The decoder of "pdf_viewer.action".
[[nodiscard]] velyn_actions::DecodeResult decode_viewer_typed_action(std::string_view json);
velyn::Result<void> register_viewer_actions(velyn_actions::ActionRegistry& registry);

// The application, the title "PDF Viewer" and the action's label, e.g.
// "Add annotation".
[[nodiscard]] velyn_actions::ActionContext dispatch_context(std::string_view app_id, const PdfViewerAction& action);

// One gesture's actions, typed as they are (no JSON on the way), applied in
// order and committed as one change with the context of the first action.
// Actions whose text JSON could not carry are refused before anything is
// written, so every change this process makes can cross to another.
velyn_actions::DispatchResult dispatch_viewer_actions(docstore::Document& document,
                                                      velyn_actions::Transport& transport, std::string_view app_id,
                                                      std::span<const PdfViewerAction> actions);
inline velyn_actions::DispatchResult dispatch_viewer_action(docstore::Document& document,
                                                            velyn_actions::Transport& transport,
                                                            std::string_view app_id, const PdfViewerAction& action) {
  return dispatch_viewer_actions(document, transport, app_id, std::span(&action, 1));
}

}  // namespace pdf_actions
