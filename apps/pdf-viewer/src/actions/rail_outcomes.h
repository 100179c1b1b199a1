#pragma once
// Turning what the page rail queued (select, move, duplicate, delete, add) into
// navigation and plan actions, against the sequence the viewer last derived.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "actions/viewer_action.h"

namespace pdf_actions {

// The viewer's copy of the displayed sequence, position by position (0-based).
struct DisplayedPlan {
  std::vector<std::string> ids;
  std::vector<std::uint64_t> source_pages;
  std::vector<std::optional<ImportedPage>> imported;

  [[nodiscard]] static DisplayedPlan from(const std::vector<PagePlanEntry>& sequence);
};

enum class RailOutcomeKind { Select, Move, Duplicate, Delete, AddPages, Other };

struct RailOutcome {
  RailOutcomeKind kind = RailOutcomeKind::Other;
  std::size_t position = 0;    // 0-based, the page acted on
  std::size_t drop_index = 0;  // Move only: the rail's drop index
};

struct RailGoToPage {
  std::uint64_t page = 1;  // from 1
  friend bool operator==(const RailGoToPage&, const RailGoToPage&) = default;
};
struct RailRequestImport {
  friend bool operator==(const RailRequestImport&, const RailRequestImport&) = default;
};

// Nothing (monostate), a page to go to, a plan action to dispatch, or the import picker.
using RailEffect = std::variant<std::monostate, RailGoToPage, PdfViewerAction, RailRequestImport>;

// An outcome whose position has no entry gives nothing. Duplicates get a new
// "page-" id from new_duplicate_entry_id().
[[nodiscard]] RailEffect rail_effect(const DisplayedPlan& plan, const RailOutcome& outcome);

}  // namespace pdf_actions
