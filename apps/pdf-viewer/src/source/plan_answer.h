#pragma once
// The document side of the worker's answer to a page-plan request: which plans
// can be shown with the opened PDF, where plain entries come from, and the page
// sizes the answer reports. Pure functions; the worker document
// (worker_document.h) owns the PDF and the loaded content.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "source/document.h"
#include "source/source_protocol.h"
#include "velyn/error.h"

namespace pdf::source {

inline constexpr std::string_view kPlanNeedsUnavailableSource =
    "the shared page plan needs source bytes unavailable on this device";

// Where one plan position comes from.
struct ResolvedPlanPage {
  std::optional<std::uint64_t> source_index;  // plain entry: 0-based page of the opened PDF
  std::optional<PlanImport> imported;         // imported entry: resolved against the loaded content
  friend bool operator==(const ResolvedPlanPage&, const ResolvedPlanPage&) = default;
};

// Fails with kPlanNeedsUnavailableSource when the plan is empty or a plain
// entry names a page above `source_page_count`.
[[nodiscard]] velyn::Result<std::vector<ResolvedPlanPage>> resolve_plan_entries(std::span<const PlanEntry> plan,
                                                                                std::uint64_t source_page_count);

// The sizes of an applied plan, in plan order. `resolved[i]` is the size of the
// page entry i resolved to, or none (e.g. imported content still awaited).
// Each size: the resolved one; else an imported entry's recorded size; else the
// first entry's resolved size; else kDefaultPageSize.
[[nodiscard]] std::vector<PageSize> plan_page_sizes(std::span<const PlanEntry> plan,
                                                    std::span<const std::optional<PageSize>> resolved);

}  // namespace pdf::source
