#pragma once
// Word and character boundaries for selecting text by word, and the UTF-8
// stepping every text widget shares.
#include <cstddef>
#include <string_view>

namespace velyn_ui::text_selection {

struct Boundaries {
  std::size_t start = 0;  // byte offsets, end exclusive
  std::size_t end = 0;
  friend bool operator==(const Boundaries&, const Boundaries&) = default;
};

// The word of `utf8` that holds the character at `byte_offset`; outside every
// word, the single character there (white space, punctuation). An offset at
// or past the end gives the empty range at the end. Offsets inside a
// character count as that character.
Boundaries word_boundaries(std::string_view utf8, std::size_t byte_offset);

// Start of the word before `byte_offset` (Ctrl+Left) and end of the word after
// it (Ctrl+Right); the text's ends when there is none.
std::size_t previous_word_start(std::string_view utf8, std::size_t byte_offset);
std::size_t next_word_end(std::string_view utf8, std::size_t byte_offset);

// Character stepping over UTF-8; offsets are clamped to the text.
std::size_t previous_char(std::string_view utf8, std::size_t byte_offset);
std::size_t next_char(std::string_view utf8, std::size_t byte_offset);
// The character boundary at or before `byte_offset`.
std::size_t floor_boundary(std::string_view utf8, std::size_t byte_offset);

}  // namespace velyn_ui::text_selection
