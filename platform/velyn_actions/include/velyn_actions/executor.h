#pragma once
// Dispatching an encoded action to a replicated document.
//
// One dispatch: decode through the registry, record the heads, apply inside one
// transaction, commit it as one change, hand the change to the transport, and
// report the outcome. Actions already typed in this process skip the decode:
// dispatch_typed applies one gesture's actions, however many, as one change. Any failure is logged at warning level as
// "action dispatch failed". Failures before the commit leave the document
// exactly as it was; a transport failure after it leaves the committed change
// in the local document (the room-backed transport writes every change not yet
// stored on its next append, so nothing is lost) and is still reported.
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "docstore/document.h"
#include "velyn_actions/context.h"
#include "velyn_actions/encoded_action.h"
#include "velyn_actions/registry.h"
#include "velyn_actions/transport.h"

namespace velyn_actions {

inline constexpr std::string_view kDispatchFailedMessage = "action dispatch failed";

struct DispatchOutcome {
  std::string kind;
  std::string description;  // the typed action's own description, for logs
  ActionContext context;
  std::vector<docstore::ChangeHash> heads_before;
  std::vector<docstore::ChangeHash> heads_after;
  std::optional<docstore::ChangeHash> change;  // none when the action changed nothing
  bool replicated = false;                     // the change went through the transport
};

using DispatchResult = std::expected<DispatchOutcome, ActionError>;

namespace executor {

DispatchResult dispatch_by(const ActionRegistry& registry, docstore::Document& document, const EncodedAction& action,
                           Transport& transport);

// As dispatch_by; the context's empty label is filled from the action's JSON
// (context::label_for_json).
DispatchResult dispatch_by_with_context(const ActionRegistry& registry, docstore::Document& document,
                                        const EncodedAction& action, Transport& transport,
                                        const ActionContext& context);

// Applies `actions` in order inside one transaction and commits them as one
// change (one transport hand-over): one user gesture, one change. `kind` names
// them in the outcome and in errors. The change is replicated unless every
// action is local-only. An empty span is a no-op outcome.
DispatchResult dispatch_typed(docstore::Document& document, std::string_view kind,
                              std::span<const TypedAction* const> actions, Transport& transport,
                              ActionContext context);

}  // namespace executor

}  // namespace velyn_actions
