#pragma once
// Carrying committed changes to the other instances of a record.
//
// The executor hands every committed change to a Transport. The toolkit wires
// the room-backed record set behind the local transport at launch; tests wire
// documents to each other in memory.
#include <functional>
#include <utility>
#include <vector>

#include "docstore/change.h"
#include "docstore/document.h"
#include "velyn/error.h"

namespace velyn_actions {

class Transport {
 public:
  virtual ~Transport() = default;
  // `document` is the replica the change was committed to (its record is the
  // caller's to look up); `change` is that committed change.
  virtual velyn::Result<void> replicate(const docstore::Document& document, const docstore::Change& change) = 0;
};

// The transport of one process: forwards to a sink (the room append in the
// viewer), or, without one, keeps the changes for whoever takes them.
class LocalTransport final : public Transport {
 public:
  using Sink = std::function<velyn::Result<void>(const docstore::Document&, const docstore::Change&)>;

  LocalTransport() = default;
  explicit LocalTransport(Sink sink) : sink_(std::move(sink)) {}

  velyn::Result<void> replicate(const docstore::Document& document, const docstore::Change& change) override;

  // Changes replicated without a sink, oldest first; taking them empties the list.
  [[nodiscard]] std::vector<docstore::Change> take_pending() { return std::exchange(pending_, {}); }
  [[nodiscard]] std::size_t pending_count() const { return pending_.size(); }

 private:
  Sink sink_;
  std::vector<docstore::Change> pending_;
};

}  // namespace velyn_actions
