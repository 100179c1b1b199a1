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
constexpr gunichar kCapitalSigma = 0x03A3;
constexpr const char* kSmallSigma = "\xCF\x83";
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
    const gunichar c = g_utf8_get_char_validated(utf8.data() + i, static_cast<gssize>(utf8.size() - i));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      out.append("\xEF\xBF\xBD");  // U+FFFD for the broken byte
      ++i;
      continue;
    }
    char buf[6];
    const int len = g_unichar_to_utf8(c, buf);
    if (c == kCapitalSigma) {
      // GLib would read a lone sigma as word-final (ς); folding takes σ always.
      out.append(kSmallSigma);
    } else {
      // One character at a time, so the expansion is the character's own.
      gchar* lower = g_utf8_strdown(buf, len);
      out.append(lower);
      g_free(lower);
    }
    i += static_cast<std::size_t>(len);
  }
  return out;
}

}  // namespace velyn_ui::search::provider
