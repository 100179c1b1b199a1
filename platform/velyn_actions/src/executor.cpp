#include "velyn_actions/executor.h"

#include <algorithm>

#include "velyn_actions/log.h"

namespace velyn_actions::executor {

namespace {

std::unexpected<ActionError> failed(ActionError error) {
  log::write(log::Level::Warning, kDispatchFailedMessage, error.text());
  return std::unexpected(std::move(error));
}

DispatchResult apply_and_commit(docstore::Document& document, std::string_view kind,
                                std::span<const TypedAction* const> actions, Transport& transport,
                                ActionContext context) {
  DispatchOutcome outcome;
  outcome.kind = std::string(kind);
  for (const TypedAction* action : actions) {
    if (!outcome.description.empty()) outcome.description += "; ";
    outcome.description += action->describe();
  }
  outcome.context = std::move(context);
  outcome.heads_before = document.heads();

  auto txn = document.begin();
  for (const TypedAction* action : actions) {
    if (auto applied = action->apply(txn); !applied) {
      txn.rollback();
      return failed(ActionError{ActionErrorKind::Apply, std::string(kind), applied.error().message});
    }
  }
  std::optional<docstore::Change> change = txn.commit();
  outcome.heads_after = document.heads();
  if (!change) return outcome;  // a no-op: nothing to commit or replicate
  outcome.change = change->hash;

  const bool local_only = std::ranges::all_of(actions, [](const TypedAction* a) { return a->is_local_only(); });
  if (!local_only) {
    if (auto sent = transport.replicate(document, *change); !sent)
      return failed(ActionError{ActionErrorKind::Replicate, std::string(kind), sent.error().message});
    outcome.replicated = true;
  }
  return outcome;
}

DispatchResult dispatch(const ActionRegistry& registry, docstore::Document& document, const EncodedAction& action,
                        Transport& transport, ActionContext context) {
  auto typed = registry.decode(action);
  if (!typed) return failed(std::move(typed.error()));
  const TypedAction* one[] = {typed->get()};
  return apply_and_commit(document, action.kind, one, transport, std::move(context));
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

DispatchResult dispatch_typed(docstore::Document& document, std::string_view kind,
                              std::span<const TypedAction* const> actions, Transport& transport,
                              ActionContext context) {
  return apply_and_commit(document, kind, actions, transport, std::move(context));
}

}  // namespace velyn_actions::executor
