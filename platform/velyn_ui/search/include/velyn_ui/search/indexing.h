#pragma once
// Helpers for building catalogue entries and the search text normaliser that
// matching engines rely on.
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace velyn_ui::search {

// Terms joined by NUL characters, the catalogue's indexed-text form.
std::string join_terms(std::initializer_list<std::string_view> terms);
std::string join_terms(std::span<const std::string> terms);
// The first `count` characters (not bytes) of `utf8`; invalid UTF-8 is repaired first.
std::string first_chars(std::string_view utf8, std::size_t count);

}  // namespace velyn_ui::search

namespace velyn_ui::search::provider {

// Lower-cases character by character with each character's full Unicode
// lowercase mapping, independent of the locale and without context rules (a
// capital sigma always becomes σ, U+0130 becomes "i" + U+0307), so the output
// is the concatenation of the characters' own expansions and a position map
// can be built one character at a time. A malformed byte is kept as it is
// (one byte in, one byte out).
std::string normalize_search_text(std::string_view utf8);

}  // namespace velyn_ui::search::provider
