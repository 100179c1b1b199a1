#include "velyn_actions/executor.h"

#include "velyn_actions/log.h"

namespace velyn_actions::executor {

namespace {

std::unexpected<ActionError> failed(ActionError error) {
  log::write(log::Level::Warning, kDispatchFailedMessage, error.text());
  return std::unexpected(std::move(error));
}

DispatchResult dispatch(const ActionRegistry& registry, docstore::Document& document, const EncodedAction& action,
                        Transport& transport, ActionContext context) {
  auto typed = registry.decode(action);
  if (!typed) return failed(std::move(typed.error()));

  DispatchOutcome outcome;
  outcome.kind = action.kind;
  outcome.description = (*typed)->describe();
  outcome.context = std::move(context);
  outcome.heads_before = document.heads();

  auto txn = document.begin();
  if (auto applied = (*typed)->apply(txn); !applied) {
    txn.rollback();
    return failed(ActionError{ActionErrorKind::Apply, action.kind, applied.error().message});
  }
  std::optional<docstore::Change> change = txn.commit();
  outcome.heads_after = document.heads();
  if (!change) return outcome;  // a no-op: nothing to commit or replicate
  outcome.change = change->hash;

  if (!(*typed)->is_local_only()) {
    if (auto sent = transport.replicate(document, *change); !sent)
      return failed(ActionError{ActionErrorKind::Replicate, action.kind, sent.error().message});
    outcome.replicated = true;
  }
  return outcome;
}

}  // namespace

DispatchResult dispatch_by(const ActionRegistry& registry, docstore::Document& document, const EncodedAction& action,
                           Transport& transport) {
  return dispatch(registry, document, action, transport, ActionContext{});
}

DispatchResult dispatch_by_with_context(const ActionRegistry& registry, docstore::Document& document,
                                        const EncodedAction& action, Transport& transport,
                                        const ActionContext& context) {
  ActionContext full = context;
  if (full.label.empty()) full.label = context::label_for_json(action.json);
  return dispatch(registry, document, action, transport, std::move(full));
}

}  // namespace velyn_actions::executor
