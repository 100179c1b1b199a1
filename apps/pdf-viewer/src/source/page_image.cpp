#include "source/page_image.h"

#include <limits>

namespace pdf::source {

std::uint64_t Image::byte_size() const {
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
  if (pixels > std::numeric_limits<std::uint64_t>::max() / 4) return std::numeric_limits<std::uint64_t>::max();
  return pixels * 4;
}

std::uint64_t TextLayer::byte_size() const {
  return static_cast<std::uint64_t>(boxes.size()) * 48 + text.size();
}

}  // namespace pdf::source
