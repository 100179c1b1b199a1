#include "velyn_actions/transport.h"

namespace velyn_actions {

velyn::Result<void> LocalTransport::replicate(const docstore::Document& document, const docstore::Change& change) {
  if (sink_) return sink_(document, change);
  pending_.push_back(change);
  return {};
}

}  // namespace velyn_actions
