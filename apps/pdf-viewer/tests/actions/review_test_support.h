#pragma once
// Shared helpers of the review model tests: apply actions in their own
// transaction, and write raw shapes the way a foreign or older writer might.
#include "actions/apply.h"
#include "actions/page_plan.h"
#include "actions/review_store.h"
#include "docstore/document.h"

namespace pdf_actions::testing {

inline void apply(docstore::Document& doc, const PdfViewerAction& action) {
  auto txn = doc.begin();
  apply_action(txn, action);
  txn.commit();
}

inline void seed(docstore::Document& doc, std::uint64_t pages) {
  auto txn = doc.begin();
  seed_page_plan(txn, pages);
  txn.commit();
}

inline std::vector<std::string> plan_ids(const docstore::Document& doc) {
  std::vector<std::string> ids;
  for (const auto& e : derive_page_plan(doc)) ids.push_back(e.id);
  return ids;
}

inline ImportedPage imported(char digit = 'a', std::uint64_t page = 1) {
  return ImportedPage{std::string(64, digit), "pdf", page, 612000, 792000};
}

}  // namespace pdf_actions::testing
