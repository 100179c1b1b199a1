#pragma once
// What the worker keeps for one opened document: its page sources (source 0 is
// the opened PDF), the resolved page plan, and the render and text caches.
// Worker thread only.
//
// Invariants: every ready plan slot names an existing source and a page index
// below that source's page count; plan_entries has one entry per slot; the render
// cache's total equals the sum of its entries' sizes and stays within its budget
// except transiently inside insert.
#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "source/page_image.h"
#include "source/rasterizer.h"
#include "source/source_protocol.h"
#include "velyn/error.h"

namespace pdf::source {

struct PageSource {
  Rasterizer rasterizer;
  std::optional<std::string> hash;  // imported content; none for the opened PDF
};

// A plan slot: ready (source, page within it) or awaiting imported content.
struct PlanSlot {
  std::size_t source = 0;
  std::size_t page = 0;
};

inline constexpr std::uint64_t kRenderCacheBudget = 192ull * 1024 * 1024;

// LRU cache of rendered images keyed by (source, page, pixel width).
class RenderCache {
 public:
  using Key = std::tuple<std::size_t, std::size_t, std::uint32_t>;
  explicit RenderCache(std::uint64_t budget = kRenderCacheBudget) : budget_(budget) {}

  // The cached image, marked most recently used; nothing on a miss.
  std::optional<Image> find(const Key& key);
  // Stores `image` unless it alone exceeds the budget, evicting least recently
  // used entries until it fits.
  void insert(const Key& key, Image image);

  std::uint64_t total_bytes() const { return total_; }
  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    Image image;
    std::uint64_t bytes = 0;
    std::list<Key>::iterator recency;
  };
  void erase(std::map<Key, Entry>::iterator it);
  std::uint64_t budget_;
  std::uint64_t total_ = 0;
  std::map<Key, Entry> entries_;
  std::list<Key> recency_;  // least recently used first
};

struct WorkerDocument {
  std::vector<PageSource> sources;
  std::vector<std::optional<PlanSlot>> plan;  // nothing: awaiting imported content
  std::vector<PlanEntry> plan_entries;        // the plan as applied, one entry per slot
  RenderCache render_cache;
  std::map<std::pair<std::size_t, std::size_t>, SharedTextLayer> text_cache;  // no eviction

  // Source 0 with the identity plan: the seeded entry of each of its pages.
  explicit WorkerDocument(Rasterizer opened);

  // Size of every plan position, in plan order (see PagePlanApplied).
  std::vector<PageSize> plan_page_sizes() const;
  // The size of source `source`'s page `page`, if known.
  std::optional<PageSize> source_page_size(std::size_t source, std::size_t page) const;
};

// Resolves `plan` against the document's sources (plan_answer.h) and makes it
// the document's plan. An imported entry is served by content already loaded
// (plan_sources.h loads it) and otherwise stays awaiting. On failure, with
// kPlanNeedsUnavailableSource, the document keeps its previous plan.
velyn::Result<void> resolve_plan(WorkerDocument& doc, const std::vector<PlanEntry>& plan);

}  // namespace pdf::source
