#include "source/worker_document.h"

#include "actions/page_plan.h"
#include "source/plan_answer.h"
#include "velyn/try.h"

namespace pdf::source {

std::optional<Image> RenderCache::find(const Key& key) {
  auto it = entries_.find(key);
  if (it == entries_.end()) return std::nullopt;
  recency_.splice(recency_.end(), recency_, it->second.recency);
  return it->second.image;
}

void RenderCache::erase(std::map<Key, Entry>::iterator it) {
  total_ -= it->second.bytes;
  recency_.erase(it->second.recency);
  entries_.erase(it);
}

void RenderCache::insert(const Key& key, Image image) {
  const std::uint64_t bytes = image.byte_size();
  if (bytes > budget_) return;
  if (auto it = entries_.find(key); it != entries_.end()) erase(it);
  while (total_ + bytes > budget_ && !recency_.empty()) erase(entries_.find(recency_.front()));
  auto recency = recency_.insert(recency_.end(), key);
  entries_.emplace(key, Entry{std::move(image), bytes, recency});
  total_ += bytes;
}

WorkerDocument::WorkerDocument(Rasterizer opened) {
  const std::size_t pages = opened.page_count();
  sources.push_back(PageSource{std::move(opened), std::nullopt});
  plan.reserve(pages);
  plan_entries.reserve(pages);
  for (std::size_t i = 0; i < pages; ++i) {
    plan.push_back(PlanSlot{0, i});
    plan_entries.push_back(PlanEntry{pdf_actions::seeded_entry_id(i + 1), i + 1, std::nullopt});
  }
}

std::optional<PageSize> WorkerDocument::source_page_size(std::size_t source, std::size_t page) const {
  if (source >= sources.size()) return std::nullopt;
  const auto& sizes = sources[source].rasterizer.page_sizes();
  if (page >= sizes.size()) return std::nullopt;
  return sizes[page];
}

std::vector<PageSize> WorkerDocument::plan_page_sizes() const {
  std::vector<std::optional<PageSize>> resolved;
  resolved.reserve(plan.size());
  for (const auto& slot : plan) resolved.push_back(slot ? source_page_size(slot->source, slot->page) : std::nullopt);
  // Qualified: the member's own name would hide the free function.
  return pdf::source::plan_page_sizes(plan_entries, resolved);
}

namespace {

// The slot of the first loaded content with the entry's hash, if that content
// has the entry's page; otherwise the entry awaits its content.
std::optional<PlanSlot> loaded_slot(const WorkerDocument& doc, const PlanImport& imported) {
  for (std::size_t s = 1; s < doc.sources.size(); ++s) {
    if (doc.sources[s].hash != imported.hash) continue;
    if (imported.page >= 1 && imported.page - 1 < doc.sources[s].rasterizer.page_count()) {
      return PlanSlot{s, static_cast<std::size_t>(imported.page - 1)};
    }
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

velyn::Result<void> resolve_plan(WorkerDocument& doc, const std::vector<PlanEntry>& plan) {
  const std::size_t source0_pages = doc.sources.empty() ? 0 : doc.sources.front().rasterizer.page_count();
  const auto resolved = VELYN_TRY(resolve_plan_entries(plan, source0_pages));
  std::vector<std::optional<PlanSlot>> slots;
  slots.reserve(resolved.size());
  for (const ResolvedPlanPage& page : resolved) {
    if (page.source_index) {
      slots.push_back(PlanSlot{0, static_cast<std::size_t>(*page.source_index)});
    } else {
      slots.push_back(loaded_slot(doc, *page.imported));
    }
  }
  doc.plan = std::move(slots);
  doc.plan_entries = plan;
  return {};
}

}  // namespace pdf::source
