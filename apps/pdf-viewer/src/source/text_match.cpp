#include "source/text_match.h"

#include <glib.h>

#include <algorithm>

#include "velyn_ui/text_break.h"

namespace pdf::source {
namespace {

// Offsets of one character: folded end N and original end O.
struct MapEntry {
  std::size_t folded = 0;
  std::size_t original = 0;
};

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string_view trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const char* p = text.data() + begin;
    if (!g_unichar_isspace(g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - begin)))) break;
    begin = static_cast<std::size_t>(g_utf8_next_char(p) - text.data());
  }
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < text.size();) {
    const char* p = text.data() + pos;
    bool space = g_unichar_isspace(g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - pos)));
    pos = static_cast<std::size_t>(g_utf8_next_char(p) - text.data());
    if (!space) end = pos;
  }
  return text.substr(begin, std::min(end, text.size()) - begin);
}

// Appends the lowercase mapping of the character at `p` (of `len` bytes): the
// unconditional full mapping, which differs from the simple one only for U+0130.
// Context rules (final sigma) are left out on purpose: a lone capital sigma
// must fold to the same letter as a lower-case one typed in a query.
void append_folded(std::string& out, const char* p, std::size_t len) {
  if (len == 1 && static_cast<unsigned char>(*p) < 0x80) {
    out.push_back(static_cast<char>(g_ascii_tolower(*p)));
    return;
  }
  const gunichar c = g_utf8_get_char(p);
  if (c == 0x130) {
    out.append("i\xcc\x87");
    return;
  }
  char buffer[6];
  const int written = g_unichar_to_utf8(g_unichar_tolower(c), buffer);
  out.append(buffer, static_cast<std::size_t>(written));
}

// Length of the character at `pos`; malformed bytes count as single characters.
std::size_t char_length(std::string_view text, std::size_t pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (pos + len > text.size() ||
      g_utf8_get_char_validated(text.data() + pos, static_cast<gssize>(len)) >= static_cast<gunichar>(-2)) {
    return 1;
  }
  return len;
}

bool inside_word(const std::vector<velyn_ui::text_break::WordRange>& words, std::size_t p) {
  // The last word starting before p is the only candidate (words are disjoint and ordered).
  auto it = std::partition_point(words.begin(), words.end(), [p](const auto& w) { return w.start < p; });
  if (it == words.begin()) return false;
  --it;
  return p < it->end;
}

}  // namespace

std::string fold_case(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t len = char_length(text, pos);
    if (len == 1 && static_cast<unsigned char>(text[pos]) >= 0x80) {
      out.push_back(text[pos]);  // malformed byte kept as is
    } else {
      append_folded(out, text.data() + pos, len);
    }
    pos += len;
  }
  return out;
}

std::vector<ByteRange> find_matches(std::string_view text, std::string_view query, SearchOptions options,
                                    std::size_t limit) {
  std::vector<ByteRange> accepted;
  limit = std::min(limit, kMaxMatches);
  const std::string_view q = trim(query);
  if (limit == 0 || q.empty()) return accepted;

  std::string folded_text;
  std::string folded_query;
  std::string_view haystack = text;
  std::string_view needle = q;
  std::vector<MapEntry> map;  // empty: positions map one to one
  if (!options.case_sensitive) {
    folded_query = fold_case(q);
    needle = folded_query;
    if (is_ascii(text)) {
      folded_text = fold_case(text);
    } else {
      folded_text.reserve(text.size());
      map.reserve(text.size() + 1);
      map.push_back(MapEntry{0, 0});
      for (std::size_t pos = 0; pos < text.size();) {
        std::size_t len = char_length(text, pos);
        if (len == 1 && static_cast<unsigned char>(text[pos]) >= 0x80) {
          folded_text.push_back(text[pos]);
        } else {
          append_folded(folded_text, text.data() + pos, len);
        }
        pos += len;
        map.push_back(MapEntry{folded_text.size(), pos});
      }
    }
    haystack = folded_text;
  }
  if (needle.empty()) return accepted;

  std::vector<velyn_ui::text_break::WordRange> words;
  if (options.whole_word) words = velyn_ui::text_break::unicode_word_ranges(text);

  std::size_t from = 0;
  while (accepted.size() < limit) {
    const std::size_t found = haystack.find(needle, from);
    if (found == std::string_view::npos) break;
    const std::size_t f = found;
    const std::size_t g = found + needle.size();
    from = g;

    ByteRange range{f, g};
    if (!map.empty()) {
      // K: last entry with N <= F; J: first entry with N >= G.
      auto k = std::partition_point(map.begin(), map.end(), [f](const MapEntry& e) { return e.folded <= f; });
      auto j = std::partition_point(map.begin(), map.end(), [g](const MapEntry& e) { return e.folded < g; });
      if (k == map.begin() || j == map.end()) continue;
      --k;
      if (k->folded != f && options.whole_word) continue;
      if (options.whole_word && j->folded != g) continue;
      range = ByteRange{k->original, j->original};
    }
    if (!accepted.empty() && range.start < accepted.back().end) continue;
    if (options.whole_word && (inside_word(words, range.start) || inside_word(words, range.end))) continue;
    accepted.push_back(range);
  }
  return accepted;
}

std::vector<PageMatch> match_chars(const TextLayer& layer, const std::vector<ByteRange>& ranges, std::uint64_t page) {
  std::vector<PageMatch> matches;
  matches.reserve(ranges.size());
  auto below = [&layer](std::size_t offset) {
    auto it = std::partition_point(layer.boxes.begin(), layer.boxes.end(),
                                   [offset](const CharBox& b) { return b.byte_offset < offset; });
    return static_cast<std::uint64_t>(it - layer.boxes.begin());
  };
  for (const ByteRange& r : ranges) {
    const std::uint64_t first = below(r.start);
    const std::uint64_t last = below(r.end);
    matches.push_back(PageMatch{page, first, last - first});
  }
  return matches;
}

std::vector<BlockMatch> search_blocks(const Document& document, std::string_view query, SearchOptions options) {
  std::vector<BlockMatch> matches;
  if (trim(query).empty()) return matches;
  for (std::size_t p = 0; p < document.pages.size(); ++p) {
    const auto& blocks = document.pages[p];
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      if (!block_carries_text(blocks[b].kind)) continue;
      for (const ByteRange& r : find_matches(blocks[b].text, query, options, kMaxMatches - matches.size())) {
        matches.push_back(BlockMatch{p + 1, b, r.start, r.end - r.start});
      }
      if (matches.size() >= kMaxMatches) return matches;
    }
  }
  return matches;
}

}  // namespace pdf::source
