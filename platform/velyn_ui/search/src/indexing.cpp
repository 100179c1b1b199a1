#include "velyn_ui/search/indexing.h"

#include <glib.h>

#include <cstring>

namespace velyn_ui::search {

namespace {
template <class Range>
std::string join(const Range& terms) {
  std::string out;
  bool first = true;
  for (const auto& t : terms) {
    if (!first) out.push_back('\0');
    out.append(t);
    first = false;
  }
  return out;
}
}  // namespace

std::string join_terms(std::initializer_list<std::string_view> terms) { return join(terms); }
std::string join_terms(std::span<const std::string> terms) { return join(terms); }

std::string first_chars(std::string_view utf8, std::size_t count) {
  gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
  const char* p = valid;
  for (std::size_t i = 0; i < count && *p; ++i) p = g_utf8_next_char(p);
  std::string out(valid, static_cast<std::size_t>(p - valid));
  g_free(valid);
  return out;
}

}  // namespace velyn_ui::search

namespace velyn_ui::search::provider {

namespace {
constexpr gunichar kCapitalIWithDot = 0x0130;
// U+0130's full lowercase mapping: "i" and a combining dot above. It is the
// only character whose unconditional full mapping differs from the simple one.
constexpr const char* kIWithDotLower = "i\xCC\x87";
}  // namespace

std::string normalize_search_text(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      out.push_back(static_cast<char>(g_ascii_tolower(static_cast<char>(byte))));
      ++i;
      continue;
    }
    const std::size_t len = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    const gunichar c = i + len <= utf8.size()
                           ? g_utf8_get_char_validated(utf8.data() + i, static_cast<gssize>(len))
                           : static_cast<gunichar>(-1);
    if (c >= static_cast<gunichar>(-2)) {
      out.push_back(utf8[i]);  // a malformed byte stays one byte, so offsets still map
      ++i;
      continue;
    }
    if (c == kCapitalIWithDot) {
      out.append(kIWithDotLower);
    } else {
      // Locale-independent and without context rules (a capital sigma is always σ).
      char buf[6];
      out.append(buf, static_cast<std::size_t>(g_unichar_to_utf8(g_unichar_tolower(c), buf)));
    }
    i += len;
  }
  return out;
}

}  // namespace velyn_ui::search::provider
