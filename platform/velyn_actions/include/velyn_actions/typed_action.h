#pragma once
// A decoded action: what the framework applies to a replicated document.
#include <memory>
#include <string>

#include "docstore/document.h"
#include "velyn/error.h"

namespace velyn_actions {

class TypedAction {
 public:
  virtual ~TypedAction() = default;

  // For logs: the variant and its fields.
  [[nodiscard]] virtual std::string describe() const = 0;
  // Runs inside the dispatch's one transaction. An error rolls the transaction
  // back; actions whose apply cannot fail always return success.
  virtual velyn::Result<void> apply(docstore::Transaction& txn) const = 0;
  // True for actions that only matter to this instance: they are applied but
  // their change is not handed to the transport.
  [[nodiscard]] virtual bool is_local_only() const = 0;
};

}  // namespace velyn_actions
