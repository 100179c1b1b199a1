#pragma once
// A drawable raster. Built once from straight RGBA bytes and kept in the
// scene's native layout (premultiplied, native-endian ARGB), so drawing it every
// frame copies nothing. Copies share the pixels.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace velyn_ui {

class Image {
 public:
  Image() = default;
  // `rgba` holds width × height × 4 bytes, rows tightly packed, alpha straight.
  // Returns an empty image when the sizes disagree.
  static Image from_rgba(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  bool empty() const { return !pixels_; }
  // Native ARGB32 words, row-major, stride width × 4 bytes.
  std::span<const std::uint32_t> argb() const {
    return pixels_ ? std::span<const std::uint32_t>(*pixels_) : std::span<const std::uint32_t>();
  }

 private:
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::shared_ptr<const std::vector<std::uint32_t>> pixels_;
};

}  // namespace velyn_ui
