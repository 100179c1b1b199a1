#include "actions/document_upkeep.h"

#include <algorithm>

#include "actions/page_plan.h"
#include "actions/review_store.h"

namespace pdf_actions {

bool needs_upkeep(const docstore::Document& doc) { return !page_plan_seeded(doc) || page_ids_missing(doc); }

velyn::Result<void> UpkeepAction::apply(docstore::Transaction& txn) const {
  seed_page_plan(txn, std::max<std::uint64_t>(page_count_, 1));
  backfill_page_ids(txn);
  return {};
}

}  // namespace pdf_actions
