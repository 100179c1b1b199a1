#pragma once
// The interface's cache of page rasters, keyed by (page index, width bucket),
// and the bookkeeping of which keys were requested from the PDF worker.
//
// Invariants:
// - the summed pixel bytes of the entries stay at most the budget, except that
//   entries used in the current frame are never evicted (a frame that needs
//   more than the budget keeps them all until a later frame frees them);
// - eviction takes the least recently used entry first;
// - a raster that just arrived counts as in use until the next frame ends;
// - an evicted or dropped key is also forgotten as requested, so a later frame
//   may ask for it again; a failed key is asked for again only once
//   kRenderRetrySeconds have passed (no request loop on every frame).
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "velyn_ui/image.h"

namespace pdf_app {

inline constexpr std::uint32_t kRasterWidthStep = 24;
inline constexpr std::uint32_t kRasterMinWidth = 96;
inline constexpr std::uint32_t kRasterMaxWidth = 4096;
inline constexpr std::uint32_t kThumbnailMaxWidth = 600;
inline constexpr std::uint64_t kRasterCacheBytes = 256ull * 1024 * 1024;
inline constexpr double kRenderRetrySeconds = 3;

// Device width asked for a page drawn `logical_width` wide: twice that, 96–4096.
std::uint32_t page_target_width(double logical_width);
// Device width asked for a thumbnail `logical_width` wide: twice that, 96–600.
std::uint32_t thumbnail_target_width(double logical_width);
// The cache key of a target width (clamped to 4096): 96 below 120, else floored to 24.
std::uint32_t width_bucket(std::uint32_t target);

// Rasters belong to a page-plan entry, not to a position: a page that moves
// keeps its raster, so the new order shows at once, before the worker has
// rebuilt its document.
struct RasterKey {
  std::string entry;  // the page-plan entry id
  std::uint32_t bucket = 0;
  friend auto operator<=>(const RasterKey&, const RasterKey&) = default;
};

class RasterCache {
 public:
  explicit RasterCache(std::uint64_t budget_bytes = kRasterCacheBytes) : budget_(budget_bytes) {}

  // Starts a frame: entries looked up from now on count as in use.
  void begin_frame() { ++frame_; }
  // The raster for `key`, marked as used in this frame.
  const velyn_ui::Image* lookup(const RasterKey& key);
  void insert(const RasterKey& key, velyn_ui::Image image);

  [[nodiscard]] bool requested(const RasterKey& key) const { return requested_.contains(key); }
  void mark_requested(const RasterKey& key) { requested_.insert(key); }
  void forget_request(const RasterKey& key) { requested_.erase(key); }
  // A failed key is not asked for again until kRenderRetrySeconds after the
  // failure (`now`, seconds on the frame clock): the page is retried while it
  // is still needed, without a request on every frame.
  void mark_failed(const RasterKey& key, double now) {
    failed_[key] = now;
    requested_.erase(key);
  }
  [[nodiscard]] bool failed(const RasterKey& key, double now) const {
    const auto retry = retry_at(key);
    return retry && now < *retry;
  }
  // When a failed key may be asked for again; none for a key that did not fail.
  [[nodiscard]] std::optional<double> retry_at(const RasterKey& key) const {
    const auto it = failed_.find(key);
    return it == failed_.end() ? std::nullopt : std::optional(it->second + kRenderRetrySeconds);
  }

  // Lets every failed key be asked for at once (the worker's plan changed).
  void forget_failures() { failed_.clear(); }

  // Drops every raster and request (another document).
  void clear();
  // Forgets every outstanding request, keeping the rasters: the worker dropped
  // the requests it had queued (a new page plan was sent).
  void forget_requests() { requested_.clear(); }

  [[nodiscard]] std::size_t size() const { return entries_.size(); }
  [[nodiscard]] std::uint64_t bytes() const { return bytes_; }
  [[nodiscard]] std::size_t requested_count() const { return requested_.size(); }

 private:
  struct Entry {
    velyn_ui::Image image;
    std::uint64_t last_used = 0;  // frame number
    std::uint64_t tick = 0;       // recency within and across frames
  };
  void evict_to_budget();

  std::uint64_t budget_;
  std::uint64_t bytes_ = 0;
  std::uint64_t frame_ = 0;
  std::uint64_t tick_ = 0;
  std::map<RasterKey, Entry> entries_;
  std::map<std::uint64_t, RasterKey> by_recency_;  // tick → key
  std::set<RasterKey> requested_;
  std::map<RasterKey, double> failed_;  // key → when it failed
};

}  // namespace pdf_app
