#include "velyn_ui/widget/text_selection.h"

#include <algorithm>

#include "velyn_ui/text_break.h"

namespace velyn_ui::text_selection {

namespace {
bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

std::size_t floor_boundary(std::string_view utf8, std::size_t byte_offset) {
  std::size_t i = std::min(byte_offset, utf8.size());
  while (i > 0 && i < utf8.size() && is_continuation(utf8[i])) --i;
  return i;
}

std::size_t previous_char(std::string_view utf8, std::size_t byte_offset) {
  std::size_t i = floor_boundary(utf8, byte_offset);
  if (i == 0) return 0;
  --i;
  while (i > 0 && is_continuation(utf8[i])) --i;
  return i;
}

std::size_t next_char(std::string_view utf8, std::size_t byte_offset) {
  std::size_t i = floor_boundary(utf8, byte_offset);
  if (i >= utf8.size()) return utf8.size();
  ++i;
  while (i < utf8.size() && is_continuation(utf8[i])) ++i;
  return i;
}

Boundaries word_boundaries(std::string_view utf8, std::size_t byte_offset) {
  const std::size_t at = floor_boundary(utf8, byte_offset);
  if (at >= utf8.size()) return {utf8.size(), utf8.size()};
  for (const auto& w : text_break::unicode_word_ranges(utf8)) {
    if (w.start <= at && at < w.end) return {w.start, w.end};
    if (w.start > at) break;
  }
  return {at, next_char(utf8, at)};
}

std::size_t previous_word_start(std::string_view utf8, std::size_t byte_offset) {
  const std::size_t at = floor_boundary(utf8, byte_offset);
  std::size_t best = 0;
  for (const auto& w : text_break::unicode_word_ranges(utf8)) {
    if (w.start >= at) break;
    best = w.start;
  }
  return best;
}

std::size_t next_word_end(std::string_view utf8, std::size_t byte_offset) {
  const std::size_t at = floor_boundary(utf8, byte_offset);
  for (const auto& w : text_break::unicode_word_ranges(utf8)) {
    if (w.end > at) return w.end;
  }
  return utf8.size();
}

}  // namespace velyn_ui::text_selection
