#pragma once
// Whether bytes are well-formed UTF-8, as JSON readers, file-name display and
// every other text consumer of the code base demand: no overlong forms, no
// surrogates (U+D800 to U+DFFF), nothing above U+10FFFF, no truncated or stray
// continuation bytes. NUL is a character like any other; callers that hand
// text to NUL-terminated APIs check for it themselves.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velyn {

[[nodiscard]] constexpr bool is_valid_utf8(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len = 0;
    std::uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;  // a continuation byte without a lead, or 0xF8 and above
    }
    if (len > n - i) return false;  // truncated sequence
    for (std::size_t k = 1; k < len; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    constexpr std::uint32_t kMinForLength[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinForLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

}  // namespace velyn
