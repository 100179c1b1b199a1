#pragma once
// The action registry: one decoder per action kind. Every encoded action, local
// or from another instance or automation, reaches its typed form here.
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "velyn_actions/encoded_action.h"
#include "velyn_actions/typed_action.h"

namespace velyn_actions {

using DecodeResult = std::expected<std::unique_ptr<TypedAction>, ActionError>;
// Parses the JSON text of one kind. Must not throw; gets untrusted text.
using Decoder = std::function<DecodeResult(std::string_view json)>;

class ActionRegistry {
 public:
  ActionRegistry() = default;

  // A kind has one decoder; registering a second for it is an error.
  velyn::Result<void> register_decoder(std::string_view kind, Decoder decoder);
  [[nodiscard]] bool has(std::string_view kind) const { return decoders_.find(kind) != decoders_.end(); }
  [[nodiscard]] DecodeResult decode(const EncodedAction& action) const;

 private:
  std::map<std::string, Decoder, std::less<>> decoders_;
};

}  // namespace velyn_actions
