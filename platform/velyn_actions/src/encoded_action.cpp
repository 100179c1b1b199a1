#include "velyn_actions/encoded_action.h"

namespace velyn_actions {

std::string_view to_string(ActionErrorKind reason) {
  switch (reason) {
    case ActionErrorKind::Encode: return "encoding";
    case ActionErrorKind::Decode: return "decoding";
    case ActionErrorKind::UnknownKind: return "no decoder for";
    case ActionErrorKind::Apply: return "applying";
    case ActionErrorKind::Commit: return "committing";
    case ActionErrorKind::Replicate: return "replicating";
  }
  return "dispatching";
}

std::string ActionError::text() const {
  std::string out(to_string(reason));
  out += ' ';
  out += kind.empty() ? std::string("action") : kind;
  if (!message.empty()) {
    out += ": ";
    out += message;
  }
  return out;
}

}  // namespace velyn_actions
