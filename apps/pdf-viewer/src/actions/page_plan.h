#pragma once
// The shared page plan: the order of the pages that every instance shows and a
// save exports, stored as the root list "page-plan" of entry maps plus the
// tombstone map "page-plan-tombstones" and "meta"."page-plan-seeded".
//
// Invariants:
// - The displayed sequence is derived, never stored: valid entries in list
//   order, tombstoned ids dropped, the first element of a repeated id wins.
// - Tombstones only grow; a tombstoned id is never displayed again.
// - The plan actions change nothing unless every precondition holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "actions/viewer_action.h"
#include "docstore/document.h"

namespace pdf_actions {

inline constexpr std::uint32_t kMaxPageMilli = 100'000'000;  // a page side, thousandths of a point
inline constexpr std::size_t kMaxImportPages = 512;          // per ImportPages action
inline constexpr std::size_t kMaxPlanEntryIdBytes = 160;
inline constexpr std::size_t kContentHashDigits = 64;

// "source-" + n, the id of the seeded entry for page n of the opened PDF.
[[nodiscard]] std::string seeded_entry_id(std::uint64_t page);

// Hash of 64 hexadecimal digits, kind "pdf" or "image", page at least 1, both
// sides 1 to kMaxPageMilli.
[[nodiscard]] bool is_valid_imported_page(const ImportedPage& page);

[[nodiscard]] std::vector<PagePlanEntry> derive_page_plan(const docstore::Document& doc);

// Seeds the plan with `page_count` (at least 1) source entries once per
// document; entries imported before the seed stay in front.
void seed_page_plan(docstore::Transaction& txn, std::uint64_t page_count);
// Whether the plan was seeded (by this or any instance): seeding has nothing left to do.
[[nodiscard]] bool page_plan_seeded(const docstore::Document& doc);

void apply_duplicate_page_plan(docstore::Transaction& txn, const PdfViewerAction::DuplicatePagePlan& action);
void apply_import_pages(docstore::Transaction& txn, const PdfViewerAction::ImportPages& action);
void apply_move_page_plan(docstore::Transaction& txn, const PdfViewerAction::MovePagePlan& action);
// Expects page ids backfilled first (apply does so); removes the entry's markup.
void apply_delete_page_plan(docstore::Transaction& txn, const PdfViewerAction::DeletePagePlan& action);

}  // namespace pdf_actions
