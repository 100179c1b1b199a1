#include "source/plan_answer.h"

#include <string>

namespace pdf::source {

velyn::Result<std::vector<ResolvedPlanPage>> resolve_plan_entries(std::span<const PlanEntry> plan,
                                                                  std::uint64_t source_page_count) {
  if (plan.empty()) return velyn::fail(std::string(kPlanNeedsUnavailableSource));
  std::vector<ResolvedPlanPage> out;
  out.reserve(plan.size());
  for (const auto& entry : plan) {
    if (entry.imported) {
      out.push_back({std::nullopt, entry.imported});
      continue;
    }
    if (entry.source_page < 1 || entry.source_page > source_page_count)
      return velyn::fail(std::string(kPlanNeedsUnavailableSource));
    out.push_back({entry.source_page - 1, std::nullopt});
  }
  return out;
}

std::vector<PageSize> plan_page_sizes(std::span<const PlanEntry> plan,
                                      std::span<const std::optional<PageSize>> resolved) {
  auto resolved_at = [&](std::size_t i) -> std::optional<PageSize> {
    return i < resolved.size() ? resolved[i] : std::nullopt;
  };
  const std::optional<PageSize> first = plan.empty() ? std::nullopt : resolved_at(0);
  std::vector<PageSize> sizes;
  sizes.reserve(plan.size());
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (auto size = resolved_at(i)) {
      sizes.push_back(*size);
    } else if (plan[i].imported) {
      sizes.push_back({plan[i].imported->width_milli / 1000.0, plan[i].imported->height_milli / 1000.0});
    } else if (first) {
      sizes.push_back(*first);
    } else {
      sizes.push_back(kDefaultPageSize);
    }
  }
  return sizes;
}

}  // namespace pdf::source
