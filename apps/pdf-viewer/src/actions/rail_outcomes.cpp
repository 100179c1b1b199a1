#include "actions/rail_outcomes.h"

#include "actions/action_ids.h"

namespace pdf_actions {

DisplayedPlan DisplayedPlan::from(const std::vector<PagePlanEntry>& sequence) {
  DisplayedPlan plan;
  for (const auto& entry : sequence) {
    plan.ids.push_back(entry.id);
    plan.source_pages.push_back(entry.source_page);
    plan.imported.push_back(entry.imported);
  }
  return plan;
}

RailEffect rail_effect(const DisplayedPlan& plan, const RailOutcome& outcome) {
  using A = PdfViewerAction;
  const std::size_t a = outcome.position;
  const bool has_entry = a < plan.ids.size();
  switch (outcome.kind) {
    case RailOutcomeKind::Select:
      if (!has_entry) return {};
      return RailGoToPage{a + 1};
    case RailOutcomeKind::Move: {
      if (!has_entry) return {};
      std::optional<std::string> after;
      // The entry just before the drop index anchors the move; none means the front.
      if (outcome.drop_index >= 1 && outcome.drop_index - 1 < plan.ids.size()) after = plan.ids[outcome.drop_index - 1];
      return PdfViewerAction{A::MovePagePlan{plan.ids[a], std::move(after)}};
    }
    case RailOutcomeKind::Duplicate: {
      if (!has_entry) return {};
      const std::uint64_t source_page = a < plan.source_pages.size() ? plan.source_pages[a] : a + 1;
      std::optional<ImportedPage> imported = a < plan.imported.size() ? plan.imported[a] : std::nullopt;
      return PdfViewerAction{A::DuplicatePagePlan{plan.ids[a], new_duplicate_entry_id(), source_page, imported}};
    }
    case RailOutcomeKind::Delete:
      if (!has_entry) return {};
      return PdfViewerAction{A::DeletePagePlan{plan.ids[a]}};
    case RailOutcomeKind::AddPages:
      return RailRequestImport{};
    case RailOutcomeKind::Other:
      break;
  }
  return {};
}

}  // namespace pdf_actions
