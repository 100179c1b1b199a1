#pragma once
// The action host: where a widget's input-made actions are dispatched. It runs
// the framework's executor with the launch's registry and a local transport
// whose sink appends the change to the room the document belongs to, so that
// other processes on the workspace merge it on their next poll.
//
// The host is owned by the frame loop (window or headless harness) and lives as
// long as it; widgets borrow it through FrameServices during one call. UI
// thread only. A failed dispatch is logged by the executor ("action dispatch
// failed") and leaves the document unchanged.
#include <functional>
#include <memory>

#include "docstore/document.h"
#include "velyn/error.h"
#include "velyn_actions/context.h"
#include "velyn_actions/encoded_action.h"
#include "velyn_actions/executor.h"
#include "velyn_actions/registry.h"
#include "velyn_actions/transport.h"

namespace velyn_ui::action_host {

class ActionHost {
 public:
  // `registry` may be null: the host then knows no kind and every dispatch fails.
  ActionHost(std::shared_ptr<const velyn_actions::ActionRegistry> registry, velyn_actions::LocalTransport::Sink sink);

  [[nodiscard]] const velyn_actions::ActionRegistry& registry() const { return *registry_; }
  // The transport every dispatch of this host replicates through.
  [[nodiscard]] velyn_actions::Transport& transport() { return transport_; }

  velyn_actions::DispatchResult dispatch(docstore::Document& document, const velyn_actions::EncodedAction& action);
  velyn_actions::DispatchResult dispatch_with_context(docstore::Document& document,
                                                      const velyn_actions::EncodedAction& action,
                                                      const velyn_actions::ActionContext& context);

 private:
  std::shared_ptr<const velyn_actions::ActionRegistry> registry_;
  velyn_actions::LocalTransport transport_;
};

}  // namespace velyn_ui::action_host
