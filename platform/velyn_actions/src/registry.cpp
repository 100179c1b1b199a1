#include "velyn_actions/registry.h"

namespace velyn_actions {

velyn::Result<void> ActionRegistry::register_decoder(std::string_view kind, Decoder decoder) {
  if (kind.empty()) return velyn::fail("an action kind cannot be empty");
  if (!decoder) return velyn::fail("no decoder given for " + std::string(kind));
  if (!decoders_.try_emplace(std::string(kind), std::move(decoder)).second)
    return velyn::fail("a decoder for " + std::string(kind) + " is already registered");
  return {};
}

DecodeResult ActionRegistry::decode(const EncodedAction& action) const {
  auto it = decoders_.find(action.kind);
  if (it == decoders_.end()) return std::unexpected(ActionError{ActionErrorKind::UnknownKind, action.kind, ""});
  auto typed = it->second(action.json);
  if (typed && !*typed) return std::unexpected(decode_error(action.kind, "the decoder produced no action"));
  return typed;
}

}  // namespace velyn_actions
