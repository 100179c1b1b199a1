#include "source/worker_document.h"

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
  for (std::size_t i = 0; i < pages; ++i) plan.push_back(PlanSlot{0, i});
  plan_sizes.assign(pages, std::nullopt);
}

std::optional<PageSize> WorkerDocument::source_page_size(std::size_t source, std::size_t page) const {
  if (source >= sources.size()) return std::nullopt;
  const auto& sizes = sources[source].rasterizer.page_sizes();
  if (page >= sizes.size()) return std::nullopt;
  return sizes[page];
}

std::vector<PageSize> WorkerDocument::plan_page_sizes() const {
  std::optional<PageSize> first;
  if (!plan.empty() && plan.front()) first = source_page_size(plan.front()->source, plan.front()->page);
  std::vector<PageSize> sizes;
  sizes.reserve(plan.size());
  for (std::size_t i = 0; i < plan.size(); ++i) {
    std::optional<PageSize> size;
    if (plan[i]) size = source_page_size(plan[i]->source, plan[i]->page);
    if (!size && i < plan_sizes.size()) size = plan_sizes[i];
    if (!size) size = first;
    sizes.push_back(size.value_or(kDefaultPageSize));
  }
  return sizes;
}

std::expected<void, std::string> resolve_plan(WorkerDocument& doc, const std::vector<PlanEntry>& plan) {
  const std::size_t source0_pages = doc.sources.empty() ? 0 : doc.sources.front().rasterizer.page_count();
  if (plan.empty()) return std::unexpected(std::string(kPlanSourcesUnavailableText));
  for (const PlanEntry& entry : plan) {
    if (!entry.imported && (entry.source_page == 0 || entry.source_page > source0_pages)) {
      return std::unexpected(std::string(kPlanSourcesUnavailableText));
    }
  }
  std::vector<std::optional<PlanSlot>> slots;
  std::vector<std::optional<PageSize>> sizes;
  slots.reserve(plan.size());
  sizes.reserve(plan.size());
  for (const PlanEntry& entry : plan) {
    if (!entry.imported) {
      slots.push_back(PlanSlot{0, static_cast<std::size_t>(entry.source_page - 1)});
      sizes.push_back(std::nullopt);
      continue;
    }
    sizes.push_back(PageSize{entry.imported->width_milli / 1000.0, entry.imported->height_milli / 1000.0});
    // A source already loaded for this content serves it; fetching content from
    // the content store belongs to page import and is not reachable from here.
    std::optional<PlanSlot> slot;
    for (std::size_t s = 1; s < doc.sources.size(); ++s) {
      if (doc.sources[s].hash != entry.imported->hash) continue;
      const std::uint64_t page = entry.imported->page;
      if (page >= 1 && page - 1 < doc.sources[s].rasterizer.page_count()) {
        slot = PlanSlot{s, static_cast<std::size_t>(page - 1)};
      }
      break;
    }
    slots.push_back(slot);
  }
  doc.plan = std::move(slots);
  doc.plan_sizes = std::move(sizes);
  return {};
}

}  // namespace pdf::source
