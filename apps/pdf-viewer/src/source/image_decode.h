#pragma once
// Decoding imported PNG and JPEG files into RGBA pixels. Input is untrusted:
// the declared dimensions are checked against kMaxImagePixels before any pixel
// buffer is allocated, so a tiny file declaring a huge image fails cleanly.
// Pure function of the bytes; safe on any thread.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "velyn/error.h"

namespace pdf::source {

// 100 megapixels: far above any photo or scan worth importing as a page, and a
// bound on the decoder's allocation (400 MB of RGBA).
inline constexpr std::uint64_t kMaxImagePixels = 100'000'000;

struct DecodedImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;  // tightly packed, rows top to bottom
};

// The format is recognised from the content (PNG or JPEG signature). The error
// is the decoder's text alone, e.g. "unsupported image format" or "the image
// is 60000 x 60000 pixels; the limit is 100000000 pixels"; callers add their
// own step prefix.
velyn::Result<DecodedImage> decode_image(std::span<const std::uint8_t> bytes,
                                         std::uint64_t max_pixels = kMaxImagePixels);

}  // namespace pdf::source
