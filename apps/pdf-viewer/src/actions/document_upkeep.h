#pragma once
// Writes a shared document needs once, not on every read: seeding the page
// plan of a newly bound document, and giving records from before page ids the
// id of their page's entry. A read (needs_upkeep) tells whether there is
// anything to do, so a frame that finds nothing opens no transaction; the
// writes go out through the executor as one change, like any other.
#include <cstdint>
#include <string>

#include "docstore/document.h"
#include "velyn_actions/typed_action.h"

namespace pdf_actions {

[[nodiscard]] bool needs_upkeep(const docstore::Document& doc);

class UpkeepAction final : public velyn_actions::TypedAction {
 public:
  // `page_count`: pages of the opened file, seeded as source-1 … source-N.
  explicit UpkeepAction(std::uint64_t page_count) : page_count_(page_count) {}

  [[nodiscard]] std::string describe() const override { return "Upkeep"; }
  velyn::Result<void> apply(docstore::Transaction& txn) const override;
  [[nodiscard]] bool is_local_only() const override { return false; }

 private:
  std::uint64_t page_count_;
};

}  // namespace pdf_actions
