#pragma once
// The search bar's state: the query field, its two options and the results of
// the current search. UI thread only.
//
// Invariants: `matches` and `block_matches` are sorted by page, then by first
// character, and hold at most kMaxMatches; `current` indexes the list in use
// (block matches for documents without PDFium pages) or is 0 when it is empty;
// `counted` holds the pages whose text layer was matched for this query, so a
// layer that arrives is matched once.
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "source/text_match.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/widget/text_input.h"

namespace pdf_app {

struct SearchChip {
  int id = 0;  // 0 whole word, 1 case
  velyn_ui::Rect rect;
};

struct SearchState {
  velyn_ui::widget::TextInput field;
  bool whole_word = false;
  bool case_sensitive = false;
  std::vector<pdf::source::BlockMatch> block_matches;  // documents without PDFium pages
  std::size_t current = 0;
  std::vector<SearchChip> chips;  // rebuilt every frame
  velyn_ui::Rect field_rect;
  std::unordered_set<std::uint64_t> counted;  // pages (from 1) matched for this query
  std::size_t key = 0;  // bumps on every run: names the search in published entries
};

}  // namespace pdf_app
