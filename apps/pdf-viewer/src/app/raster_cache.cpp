#include "app/raster_cache.h"

#include <algorithm>
#include <cmath>

namespace pdf_app {

namespace {
std::uint64_t image_bytes(const velyn_ui::Image& image) { return std::uint64_t(image.width()) * image.height() * 4; }
}  // namespace

std::uint32_t page_target_width(double logical_width) {
  const double t = std::round(std::max(logical_width, 1.0) * 2);
  if (!std::isfinite(t)) return kRasterMaxWidth;
  return static_cast<std::uint32_t>(std::clamp(t, double(kRasterMinWidth), double(kRasterMaxWidth)));
}

std::uint32_t thumbnail_target_width(double logical_width) {
  const double t = std::round(logical_width * 2);
  if (!std::isfinite(t)) return kThumbnailMaxWidth;
  return static_cast<std::uint32_t>(std::clamp(t, double(kRasterMinWidth), double(kThumbnailMaxWidth)));
}

std::uint32_t width_bucket(std::uint32_t target) {
  // Clamped first, as the worker snaps it: 5000 and 4096 both give 4080.
  const std::uint32_t steps = std::min(target, kRasterMaxWidth) / kRasterWidthStep;
  if (steps < 5) return kRasterMinWidth;
  return std::min(steps * kRasterWidthStep, kRasterMaxWidth);
}

const velyn_ui::Image* RasterCache::lookup(const RasterKey& key) {
  auto it = entries_.find(key);
  if (it == entries_.end()) return nullptr;
  by_recency_.erase(it->second.tick);
  it->second.tick = ++tick_;
  it->second.last_used = frame_;
  by_recency_.emplace(it->second.tick, key);
  return &it->second.image;
}

void RasterCache::insert(const RasterKey& key, velyn_ui::Image image) {
  if (auto it = entries_.find(key); it != entries_.end()) {
    bytes_ -= image_bytes(it->second.image);
    by_recency_.erase(it->second.tick);
    entries_.erase(it);
  }
  failed_.erase(key);
  const std::uint64_t size = image_bytes(image);
  // A raster that just arrived is kept through the next frame, which asked
  // for it and will show it; evicting it at once would re-request it forever.
  Entry entry{std::move(image), frame_ + 1, ++tick_};
  by_recency_.emplace(entry.tick, key);
  entries_.emplace(key, std::move(entry));
  bytes_ += size;
  evict_to_budget();
}

void RasterCache::evict_to_budget() {
  auto it = by_recency_.begin();
  while (bytes_ > budget_ && it != by_recency_.end()) {
    auto entry = entries_.find(it->second);
    if (entry->second.last_used >= frame_) {
      ++it;  // shown in this frame: never evicted
      continue;
    }
    bytes_ -= image_bytes(entry->second.image);
    requested_.erase(entry->first);
    entries_.erase(entry);
    it = by_recency_.erase(it);
  }
}

void RasterCache::clear() {
  entries_.clear();
  by_recency_.clear();
  requested_.clear();
  failed_.clear();
  bytes_ = 0;
}

}  // namespace pdf_app
