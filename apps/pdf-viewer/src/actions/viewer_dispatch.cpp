#include "actions/viewer_dispatch.h"

#include "actions/action_json.h"
#include "actions/apply.h"
#include "velyn/try.h"
#include "velyn_actions/log.h"

namespace pdf_actions {

std::string ViewerTypedAction::describe() const {
  auto encoded = encode_action(action_);
  return encoded ? encoded->json : std::string(action_.variant_name());
}

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

velyn_actions::DispatchResult dispatch_viewer_action(const velyn_actions::ActionRegistry& registry,
                                                     docstore::Document& document,
                                                     velyn_actions::Transport& transport, std::string_view app_id,
                                                     const PdfViewerAction& action) {
  auto encoded = encode_action(action);
  if (!encoded) {
    velyn_actions::log::write(velyn_actions::log::Level::Warning, velyn_actions::kDispatchFailedMessage,
                              encoded.error().text());
    return std::unexpected(std::move(encoded.error()));
  }
  return velyn_actions::executor::dispatch_by_with_context(registry, document, *encoded, transport,
                                                           dispatch_context(app_id, action));
}

}  // namespace pdf_actions
