#pragma once
// The matching engine: finding a query in a text with case and whole-word
// options, mapping byte matches to character boxes, and searching the text
// blocks of documents without PDFium pages. Pure functions; any thread.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "source/document.h"
#include "source/page_image.h"

namespace pdf::source {

inline constexpr std::size_t kMaxMatches = 500;

struct SearchOptions {
  bool whole_word = false;
  bool case_sensitive = false;
};

struct ByteRange {
  std::size_t start = 0;
  std::size_t end = 0;
  friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// A match on a PDFium page: characters [first, first + count) of its layer.
struct PageMatch {
  std::uint64_t page = 0;  // from 1
  std::uint64_t first = 0;
  std::uint64_t count = 0;
  friend bool operator==(const PageMatch&, const PageMatch&) = default;
};

// A match inside one text block of a text-only page.
struct BlockMatch {
  std::uint64_t page = 0;   // from 1
  std::uint64_t block = 0;  // index within the page over all blocks
  std::uint64_t start = 0;  // bytes within the block's text
  std::uint64_t length = 0;
  friend bool operator==(const BlockMatch&, const BlockMatch&) = default;
};

// Case folding the matcher relies on: each character replaced by its full
// Unicode lowercase mapping without context rules (g_unichar_tolower, and
// U+0130 to "i" + U+0307), character by character, so that the folded text's
// offsets can be mapped back. The search catalogue's normalisation must fold
// the same way.
std::string fold_case(std::string_view text);

// Ascending, non-overlapping byte ranges of `query` (trimmed) in `text`, at
// most min(limit, 500).
std::vector<ByteRange> find_matches(std::string_view text, std::string_view query, SearchOptions options,
                                    std::size_t limit);

// Byte ranges over `layer.text` to character ranges on page `page`.
std::vector<PageMatch> match_chars(const TextLayer& layer, const std::vector<ByteRange>& ranges, std::uint64_t page);

// Matches in the text-carrying blocks of every page, at most 500.
std::vector<BlockMatch> search_blocks(const Document& document, std::string_view query, SearchOptions options);

}  // namespace pdf::source
