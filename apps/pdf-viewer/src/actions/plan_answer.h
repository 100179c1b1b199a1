#pragma once
// The document side of the worker's answer to a page-plan request: which plans
// can be shown with the opened PDF, where plain entries come from, and the page
// sizes the answer reports. Pure functions; the worker owns the PDF.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "actions/viewer_action.h"
#include "velyn/error.h"

namespace pdf_actions {

inline constexpr std::string_view kPlanNeedsUnavailableSource =
    "the shared page plan needs source bytes unavailable on this device";

struct PageSize {
  double width = 0;   // points
  double height = 0;  // points
  friend bool operator==(const PageSize&, const PageSize&) = default;
};
inline constexpr PageSize kFallbackPageSize{612, 792};

// Where one plan position comes from.
struct ResolvedPlanPage {
  std::optional<std::uint64_t> source_index;  // plain entry: 0-based page of the opened PDF
  std::optional<ImportedPage> imported;       // imported entry: resolved against the page sources
  friend bool operator==(const ResolvedPlanPage&, const ResolvedPlanPage&) = default;
};

// Fails with kPlanNeedsUnavailableSource when the plan is empty or a plain
// entry names a page above `source_page_count`.
[[nodiscard]] velyn::Result<std::vector<ResolvedPlanPage>> resolve_plan(std::span<const PagePlanEntry> plan,
                                                                        std::uint64_t source_page_count);

// The sizes of an applied plan, in plan order. `resolved[i]` is the size of the
// page entry i resolved to, or none (e.g. imported content still awaited).
// Each size: the resolved one; else an imported entry's recorded size; else the
// first entry's resolved size; else 612 by 792 points.
[[nodiscard]] std::vector<PageSize> plan_page_sizes(std::span<const PagePlanEntry> plan,
                                                    std::span<const std::optional<PageSize>> resolved);

}  // namespace pdf_actions
