#include "velyn_ui/action_host.h"

namespace velyn_ui::action_host {

namespace {
std::shared_ptr<const velyn_actions::ActionRegistry> or_empty(
    std::shared_ptr<const velyn_actions::ActionRegistry> registry) {
  return registry ? std::move(registry) : std::make_shared<const velyn_actions::ActionRegistry>();
}
}  // namespace

ActionHost::ActionHost(std::shared_ptr<const velyn_actions::ActionRegistry> registry,
                       velyn_actions::LocalTransport::Sink sink)
    : registry_(or_empty(std::move(registry))), transport_(std::move(sink)) {}

velyn_actions::DispatchResult ActionHost::dispatch(docstore::Document& document,
                                                   const velyn_actions::EncodedAction& action) {
  return velyn_actions::executor::dispatch_by(*registry_, document, action, transport_);
}

velyn_actions::DispatchResult ActionHost::dispatch_with_context(docstore::Document& document,
                                                                const velyn_actions::EncodedAction& action,
                                                                const velyn_actions::ActionContext& context) {
  return velyn_actions::executor::dispatch_by_with_context(*registry_, document, action, transport_, context);
}

}  // namespace velyn_ui::action_host
