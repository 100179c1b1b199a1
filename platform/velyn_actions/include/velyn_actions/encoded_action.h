#pragma once
// The wire form of an action: a dotted kind naming its decoder and the JSON
// text of its payload. Instances, recordings and automation exchange exactly
// these two strings, unchanged.
#include <string>
#include <string_view>

#include "velyn/error.h"

namespace velyn_actions {

struct EncodedAction {
  std::string kind;
  std::string json;

  friend bool operator==(const EncodedAction&, const EncodedAction&) = default;
};

// Why a step of encoding, decoding or dispatching an action failed.
enum class ActionErrorKind {
  Encode,       // the typed value could not be written as JSON
  Decode,       // the JSON text does not describe a value of the kind
  UnknownKind,  // no decoder is registered for the kind
  Apply,        // the typed action refused to change the document
  Commit,       // the document store rejected the change
  Replicate,    // the transport could not carry the change
};

struct ActionError {
  ActionErrorKind reason = ActionErrorKind::Decode;
  std::string kind;     // the action kind concerned, e.g. "pdf_viewer.action"
  std::string message;  // the cause, e.g. the JSON parser's message

  // One human-readable text: "<step> <kind>: <message>".
  [[nodiscard]] std::string text() const;
  [[nodiscard]] velyn::Error to_error() const { return velyn::Error(text()); }

  friend bool operator==(const ActionError&, const ActionError&) = default;
};

[[nodiscard]] std::string_view to_string(ActionErrorKind reason);

inline ActionError encode_error(std::string_view kind, std::string message) {
  return ActionError{ActionErrorKind::Encode, std::string(kind), std::move(message)};
}
inline ActionError decode_error(std::string_view kind, std::string message) {
  return ActionError{ActionErrorKind::Decode, std::string(kind), std::move(message)};
}

}  // namespace velyn_actions
