// The document side of the worker's answer to a page plan: which plans it can
// show with the opened PDF, and the page sizes it reports.
#include "source/plan_answer.h"

#include <gtest/gtest.h>

namespace pdf::source {
namespace {

// Recorded at 300 by 400 points, unlike any resolved or fallback size below.
PlanImport imported() { return PlanImport{std::string(64, 'a'), "pdf", 1, 300000, 400000}; }

const std::vector<PlanEntry> kPlan = {{"source-2", 2, std::nullopt}, {"import-a", 1, imported()},
                                      {"source-1", 1, std::nullopt}};

TEST(PlanAnswer, ResolvesPlainPagesAgainstTheOpenedPdf) {
  auto resolved = resolve_plan_entries(kPlan, 2);
  ASSERT_TRUE(resolved);
  EXPECT_EQ(*resolved, (std::vector<ResolvedPlanPage>{{1, std::nullopt}, {std::nullopt, imported()}, {0, std::nullopt}}));
  // A plain page the opened PDF lacks, and an empty plan, cannot be shown.
  EXPECT_EQ(resolve_plan_entries(kPlan, 1).error().message,
            "the shared page plan needs source bytes unavailable on this device");
  EXPECT_FALSE(resolve_plan_entries({}, 3));
  EXPECT_FALSE(resolve_plan_entries(std::vector<PlanEntry>{{"source-0", 0, std::nullopt}}, 3));
}

TEST(PlanAnswer, SizesFallBackToRecordedThenFirstThenDefault) {
  const std::vector<std::optional<PageSize>> first_known = {PageSize{100, 200}, std::nullopt, std::nullopt};
  EXPECT_EQ(plan_page_sizes(kPlan, first_known), (std::vector<PageSize>{{100, 200}, {300, 400}, {100, 200}}));
  const std::vector<std::optional<PageSize>> none = {std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(plan_page_sizes(kPlan, none), (std::vector<PageSize>{{612, 792}, {300, 400}, {612, 792}}));
  // A resolved size wins over the recorded one.
  const std::vector<std::optional<PageSize>> all = {PageSize{1, 2}, PageSize{3, 4}, PageSize{5, 6}};
  EXPECT_EQ(plan_page_sizes(kPlan, all), (std::vector<PageSize>{{1, 2}, {3, 4}, {5, 6}}));
}

}  // namespace
}  // namespace pdf::source
