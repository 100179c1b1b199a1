#include "velyn_ui/text_break.h"

#include <pango/pango.h>

#include <climits>

namespace velyn_ui::text_break {

std::vector<WordRange> unicode_word_ranges(std::string_view utf8) {
  std::vector<WordRange> words;
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return words;
  if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) return words;
  const glong chars = g_utf8_strlen(utf8.data(), static_cast<gssize>(utf8.size()));
  std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(chars) + 1);
  pango_get_log_attrs(utf8.data(), static_cast<int>(utf8.size()), -1, pango_language_get_default(), attrs.data(),
                      static_cast<int>(attrs.size()));

  // Byte offset of every character position, including the end.
  std::vector<std::size_t> offsets;
  offsets.reserve(attrs.size());
  for (const char* p = utf8.data(); offsets.size() < static_cast<std::size_t>(chars); p = g_utf8_next_char(p)) {
    offsets.push_back(static_cast<std::size_t>(p - utf8.data()));
  }
  offsets.push_back(utf8.size());

  std::size_t open = SIZE_MAX;
  for (std::size_t i = 0; i < attrs.size(); ++i) {
    if (attrs[i].is_word_end && open != SIZE_MAX && i > open) {
      words.push_back(WordRange{offsets[open], offsets[i]});
      open = SIZE_MAX;
    }
    if (attrs[i].is_word_start && open == SIZE_MAX && i < static_cast<std::size_t>(chars)) open = i;
  }
  return words;
}

}  // namespace velyn_ui::text_break
