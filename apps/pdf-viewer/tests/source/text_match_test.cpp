// The matching engine: options, Unicode case mapping, whole words, limits.
#include "source/text_match.h"

#include <gtest/gtest.h>

namespace pdf::source {
namespace {

struct MatchCase {
  const char* name;
  std::string text;
  std::string query;
  SearchOptions options;
  std::vector<ByteRange> expected;
};

TEST(FindMatches, Table) {
  const SearchOptions insensitive{false, false};
  const SearchOptions sensitive{false, true};
  const SearchOptions whole{true, false};
  const MatchCase cases[] = {
      {"spaces-only query", "a b c", "   ", insensitive, {}},
      {"empty query", "abc", "", insensitive, {}},
      {"query is trimmed", "say hello", "  hello ", insensitive, {{4, 9}}},
      {"insensitive finds upper case", "Hello HELLO", "hello", insensitive, {{0, 5}, {6, 11}}},
      {"sensitive does not", "Hello HELLO", "hello", sensitive, {}},
      {"sensitive exact", "Hello hello", "hello", sensitive, {{6, 11}}},
      {"non-overlapping", "aaa", "aa", insensitive, {{0, 2}}},
      {"whole word rejects inside a word", "catalog cat", "cat", whole, {{8, 11}}},
      {"whole word between punctuation", "(cat), cat.", "cat", whole, {{1, 4}, {7, 10}}},
      {"whole word inside only", "concatenate", "cat", whole, {}},
      // İ (2 bytes) lowercases to i + U+0307 (3 bytes): matches map back to whole characters.
      {"dotted capital I maps to whole character", "xİy", "i", insensitive, {{1, 3}}},
      {"expansion match includes following text", "İstanbul", "i̇stanbul", insensitive, {{0, 9}}},
      {"whole word drops match starting inside expansion", "İ x", "\xcc\x87", whole, {}},
      {"whole word drops match ending inside expansion", "İ", "i", whole, {}},
      {"non-ascii text, ascii query", "Ünïcode text TEXT", "text", insensitive, {{10, 14}, {15, 19}}},
      {"sharp s", "STRASSE straße", "straße", insensitive, {{8, 15}}},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(find_matches(c.text, c.query, c.options, 500), c.expected) << c.name;
  }
}

TEST(FindMatches, LimitIsCappedAt500) {
  std::string text;
  for (int i = 0; i < 600; ++i) text += "word ";
  EXPECT_EQ(find_matches(text, "word", {}, 10000).size(), 500u);
  EXPECT_EQ(find_matches(text, "word", {}, 7).size(), 7u);
  EXPECT_TRUE(find_matches(text, "word", {}, 0).empty());
}

TEST(FoldCase, LowercasesCharacterByCharacter) {
  EXPECT_EQ(fold_case("ABC"), "abc");
  EXPECT_EQ(fold_case("İ"), "i\xcc\x87");
  EXPECT_EQ(fold_case("ΣΑΣ"), "σασ");  // no final-sigma context rule: each character alone
  EXPECT_EQ(find_matches("ΑΣ", "σ", {}, 500), (std::vector<ByteRange>{{2, 4}}));
}

TEST(MatchChars, CountsBoxesBeforeEachEnd) {
  TextLayer layer;
  layer.text = "aé b";  // offsets 0, 1, 3, 4
  for (std::uint64_t off : {0u, 1u, 3u, 4u}) layer.boxes.push_back(CharBox{0, 0, 0, 0, off, 'x'});
  auto matches = match_chars(layer, {{1, 3}, {4, 5}}, 7);
  ASSERT_EQ(matches.size(), 2u);
  EXPECT_EQ(matches[0], (PageMatch{7, 1, 1}));
  EXPECT_EQ(matches[1], (PageMatch{7, 3, 1}));
}

TEST(SearchBlocks, SearchesTextKindsOnlyAndStopsAt500) {
  Document doc;
  doc.pages = {
      {Block{BlockKind::Title, "Cat", 0}, Block{BlockKind::Spacer, "", 6}, Block{BlockKind::Figure, "cat caption", 10},
       Block{BlockKind::Quote, "a cat", 0}},
      {Block{BlockKind::Byline, "cat", 0}},
  };
  auto matches = search_blocks(doc, "cat", {});
  ASSERT_EQ(matches.size(), 3u);
  EXPECT_EQ(matches[0], (BlockMatch{1, 0, 0, 3}));
  EXPECT_EQ(matches[1], (BlockMatch{1, 3, 2, 3}));
  EXPECT_EQ(matches[2], (BlockMatch{2, 0, 0, 3}));
  EXPECT_TRUE(search_blocks(doc, "  ", {}).empty());

  Document many;
  std::string text;
  for (int i = 0; i < 200; ++i) text += "cat ";
  many.pages = {{Block{BlockKind::Paragraph, text, 0}}, {Block{BlockKind::Paragraph, text, 0}},
                {Block{BlockKind::Paragraph, text, 0}}};
  auto capped = search_blocks(many, "cat", {});
  ASSERT_EQ(capped.size(), 500u);
  EXPECT_EQ(capped.back().page, 3u);
}

}  // namespace
}  // namespace pdf::source
