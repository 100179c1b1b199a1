#include "actions/viewer_dispatch.h"

#include "actions/action_json.h"
#include "actions/apply.h"
#include "velyn/try.h"
#include "velyn_actions/log.h"

namespace pdf_actions {

// Logs name the variant; the JSON form is written only where an action leaves the process.
std::string ViewerTypedAction::describe() const { return std::string(action_.variant_name()); }

velyn::Result<void> ViewerTypedAction::apply(docstore::Transaction& txn) const {
  apply_action(txn, action_);
  return {};
}

velyn_actions::DecodeResult decode_viewer_typed_action(std::string_view json) {
  auto action = VELYN_TRY(decode_action(json));
  return std::make_unique<ViewerTypedAction>(std::move(action));
}

velyn::Result<void> register_viewer_actions(velyn_actions::ActionRegistry& registry) {
  return registry.register_decoder(kViewerActionKind, decode_viewer_typed_action);
}

velyn_actions::ActionContext dispatch_context(std::string_view app_id, const PdfViewerAction& action) {
  // Every viewer action is written as an object with one member, its variant.
  return velyn_actions::ActionContext{std::string(app_id), std::string(kAppTitle),
                                      velyn_actions::context::humanize_identifier(action.variant_name())};
}

velyn_actions::DispatchResult dispatch_viewer_actions(docstore::Document& document,
                                                      velyn_actions::Transport& transport, std::string_view app_id,
                                                      std::span<const PdfViewerAction> actions) {
  std::vector<ViewerTypedAction> typed;
  typed.reserve(actions.size());
  for (const PdfViewerAction& action : actions) {
    if (auto checked = check_action_texts(action); !checked) {
      velyn_actions::log::write(velyn_actions::log::Level::Warning, velyn_actions::kDispatchFailedMessage,
                                checked.error().text());
      return std::unexpected(std::move(checked.error()));
    }
    typed.emplace_back(action);
  }
  std::vector<const velyn_actions::TypedAction*> pointers;
  pointers.reserve(typed.size());
  for (const auto& t : typed) pointers.push_back(&t);
  const auto context = actions.empty() ? velyn_actions::ActionContext{std::string(app_id), std::string(kAppTitle), ""}
                                       : dispatch_context(app_id, actions.front());
  return velyn_actions::executor::dispatch_typed(document, kViewerActionKind, pointers, transport, context);
}

}  // namespace pdf_actions
