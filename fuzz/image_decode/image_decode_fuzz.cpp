// Imported images are untrusted: any bytes must decode or fail with a text,
// never crash, and never allocate beyond the pixel cap. The cap here is lower
// than the viewer's so that each input stays fast.
#include <cstddef>
#include <cstdint>
#include <span>

#include "source/image_decode.h"

namespace {
constexpr std::uint64_t kFuzzPixelCap = 4'000'000;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto decoded = pdf::source::decode_image(std::span<const std::uint8_t>(data, size), kFuzzPixelCap);
  if (decoded) {
    // A decoded image always matches its declared size.
    if (decoded->rgba.size() != static_cast<std::size_t>(decoded->width) * decoded->height * 4) __builtin_trap();
  } else if (decoded.error().message.empty()) {
    __builtin_trap();
  }
  return 0;
}
