#pragma once
// Unicode word segmentation from Pango's log attributes.
#include <cstddef>
#include <string_view>
#include <vector>

namespace velyn_ui::text_break {

struct WordRange {
  std::size_t start = 0;  // byte offsets into the text, end exclusive
  std::size_t end = 0;

  friend bool operator==(const WordRange&, const WordRange&) = default;
};

// The words of `utf8` in order, as byte ranges. Invalid UTF-8 gives no words.
std::vector<WordRange> unicode_word_ranges(std::string_view utf8);

}  // namespace velyn_ui::text_break
