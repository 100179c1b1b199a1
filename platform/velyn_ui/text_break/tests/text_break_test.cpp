#include "velyn_ui/text_break.h"

#include <gtest/gtest.h>

#include <string>

namespace velyn_ui::text_break {
namespace {

std::vector<std::string> words_of(std::string_view text) {
  std::vector<std::string> out;
  for (WordRange r : unicode_word_ranges(text)) out.emplace_back(text.substr(r.start, r.end - r.start));
  return out;
}

TEST(UnicodeWordRanges, SplitsAtSpacesAndPunctuation) {
  struct Case {
    std::string text;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"", {}},
      {"hello world", {"hello", "world"}},
      {"  cat, dog.", {"cat", "dog"}},
      {"İstanbul straße", {"İstanbul", "straße"}},
      {"x", {"x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(words_of(c.text), c.words) << c.text;
}

TEST(UnicodeWordRanges, ByteOffsetsCountMultibyteCharacters) {
  auto ranges = unicode_word_ranges("é ab");
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0], (WordRange{0, 2}));
  EXPECT_EQ(ranges[1], (WordRange{3, 5}));
}

TEST(UnicodeWordRanges, InvalidUtf8GivesNothing) { EXPECT_TRUE(unicode_word_ranges("\xff\xfe ab").empty()); }

}  // namespace
}  // namespace velyn_ui::text_break
