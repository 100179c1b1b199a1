#pragma once
// Page images and text layers: the plain values that renders and text reads
// hand across threads. Their payloads are shared read-only by reference count
// between the worker's caches, the reply and the interface's caches.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pdf::source {

// RGBA, 4 bytes per pixel, rows top to bottom, each row exactly width * 4 bytes.
struct Image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> rgba;

  std::uint64_t byte_size() const;  // width * height * 4, saturating
};

// Requested widths become keys on a 24-pixel grid: max(96, 24 * max(1,
// floor(w / 24))), at most 4096. Shared by the worker, the raster cache and
// the reply budget.
inline constexpr std::uint32_t kWidthStep = 24;
inline constexpr std::uint32_t kMinRenderWidth = 96;
inline constexpr std::uint32_t kMaxRenderWidth = 4096;
constexpr std::uint32_t snap_width(std::uint32_t requested) {
  std::uint32_t steps = requested / kWidthStep;
  if (steps < 1) steps = 1;
  std::uint32_t snapped = steps * kWidthStep;
  if (snapped < kMinRenderWidth) snapped = kMinRenderWidth;
  if (snapped > kMaxRenderWidth) snapped = kMaxRenderWidth;
  return snapped;
}

struct CharBox {
  double x = 0.0;  // points, origin top-left of the page, y grows downwards
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
  std::uint64_t byte_offset = 0;  // of the character in TextLayer::text
  std::uint32_t ch = 0;           // Unicode scalar value

  friend bool operator==(const CharBox&, const CharBox&) = default;
};

// A page's characters in reading order as UTF-8, with one box per character.
struct TextLayer {
  std::string text;
  std::vector<CharBox> boxes;

  std::uint64_t byte_size() const;  // 48 bytes per box plus the text bytes
};

using SharedTextLayer = std::shared_ptr<const TextLayer>;

}  // namespace pdf::source
