#include "app/search_run.h"

#include <fmt/format.h>

#include <algorithm>

#include "app/executor.h"
#include "app/pdf_app.h"

namespace pdf_app {

namespace source = pdf::source;

namespace {

std::string_view trimmed(std::string_view s) {
  const auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
  while (!s.empty() && ws(s.front())) s.remove_prefix(1);
  while (!s.empty() && ws(s.back())) s.remove_suffix(1);
  return s;
}

bool has_raster_pages(const PdfApp& app) { return app.doc && app.doc->raster_document.has_value(); }

source::SearchOptions options_of(const PdfApp& app) {
  return {.whole_word = app.search.whole_word, .case_sensitive = app.search.case_sensitive};
}

bool before(const source::PageMatch& a, const source::PageMatch& b) {
  return a.page != b.page ? a.page < b.page : a.first < b.first;
}

// Asks for the layer of every page that has none and is not asked for, until
// the worker's text lane is full; the rest is asked for as layers arrive.
void request_missing_layers(PdfApp& app) {
  const std::uint64_t n = app.page_count();
  for (std::uint64_t i = 0; i < n; ++i) {
    if (app.page_texts.contains(i + 1) || app.text_requested.contains(i)) continue;
    app.request_text(i);
    if (app.text_lane_full || !app.client) break;
  }
}

// Matches one stored layer and merges its results; returns how many landed
// at or before position `mark` of the old list (those shift it).
std::size_t merge_page(PdfApp& app, std::uint64_t page, std::size_t mark) {
  const auto it = app.page_texts.find(page);
  if (it == app.page_texts.end() || !it->second) return 0;
  app.search.counted.insert(page);
  auto& all = app.search_matches;
  // Only results that can still enter the first kMaxMatches are worth finding.
  if (all.size() >= source::kMaxMatches && all.back().page < page) return 0;
  const auto ranges =
      source::find_matches(it->second->text, app.search.field.text(), options_of(app), source::kMaxMatches);
  auto found = source::match_chars(*it->second, ranges, page);
  if (found.empty()) return 0;
  const auto pos = std::lower_bound(all.begin(), all.end(), found.front(), before);
  const std::size_t at = std::size_t(pos - all.begin());
  all.insert(pos, found.begin(), found.end());
  if (all.size() > source::kMaxMatches) all.resize(source::kMaxMatches);
  return at <= mark ? found.size() : 0;
}

}  // namespace

void show_search_bar(PdfApp& app) {
  if (app.panels.search_open) return;
  app.panels.search_open = true;
  relayout(app);
}

void open_search(PdfApp& app) {
  show_search_bar(app);
  app.search.field.set_focused(true);
  if (!app.search.field.text().empty()) run_search(app);
  app.redraw_requested = true;
}

void close_search(PdfApp& app) {
  app.search.field.set_focused(false);
  app.search.field.set_text("");
  (void)app.search.field.take_dirty();
  if (app.panels.search_open) {
    app.panels.search_open = false;
    relayout(app);
  }
  app.search_matches.clear();
  app.search.block_matches.clear();
  app.search.counted.clear();
  app.search.current = 0;
  app.redraw_requested = true;
}

void run_search(PdfApp& app) {
  auto& s = app.search;
  s.current = 0;
  ++s.key;
  s.counted.clear();
  app.search_matches.clear();
  s.block_matches.clear();
  app.redraw_requested = true;
  if (!app.doc || trimmed(s.field.text()).empty()) return;
  if (!has_raster_pages(app)) {
    s.block_matches = source::search_blocks(app.doc->document, s.field.text(), options_of(app));
    if (!s.block_matches.empty()) app.go_to_page(s.block_matches.front().page);
    return;
  }
  request_missing_layers(app);
  for (const auto& [page, layer] : app.page_texts) merge_page(app, page, 0);
  if (!app.search_matches.empty()) app.go_to_page(app.search_matches.front().page);
}

void search_layer_arrived(PdfApp& app, std::uint64_t page) {
  if (!app.panels.search_open || !has_raster_pages(app) || trimmed(app.search.field.text()).empty()) return;
  if (!app.search.counted.contains(page)) {
    const bool had = !app.search_matches.empty();
    const std::size_t shifted = merge_page(app, page, app.search.current);
    if (!had && !app.search_matches.empty()) {
      app.search.current = 0;
      app.go_to_page(app.search_matches.front().page);
    } else if (had) {
      app.search.current = std::min(app.search.current + shifted, app.search_matches.size() - 1);
    }
  }
  request_missing_layers(app);
  app.redraw_requested = true;
}

std::size_t search_result_count(const PdfApp& app) {
  return has_raster_pages(app) ? app.search_matches.size() : app.search.block_matches.size();
}

std::uint64_t search_result_page(const PdfApp& app, std::size_t index) {
  if (index >= search_result_count(app)) return 0;
  return has_raster_pages(app) ? app.search_matches[index].page : app.search.block_matches[index].page;
}

void step_search(PdfApp& app, int direction) {
  const std::size_t n = search_result_count(app);
  if (n == 0) return;
  const auto c = static_cast<long long>(std::min(app.search.current, n - 1));
  app.search.current = std::size_t((c + direction + static_cast<long long>(n)) % static_cast<long long>(n));
  app.go_to_page(search_result_page(app, app.search.current));
}

std::string search_count_text(const PdfApp& app, bool compact) {
  const std::size_t n = search_result_count(app);
  if (n > 0) {
    const std::size_t k = std::min(app.search.current, n - 1) + 1;
    return compact ? fmt::format("{}/{}", k, n) : fmt::format("{} of {} matches", k, n);
  }
  if (!app.search.field.text().empty()) return compact ? "0" : "No matches";
  return {};
}

velyn_ui::Handled handle_search_event(PdfApp& app, const velyn_ui::Event& event, double now) {
  using velyn_ui::Handled;
  if (!app.panels.search_open) return Handled::No;
  auto& s = app.search;
  if (const auto* press = std::get_if<velyn_ui::PointerPress>(&event)) {
    if (press->button != velyn_ui::PointerButton::Primary) return Handled::No;
    for (const auto& chip : s.chips) {
      if (!chip.rect.contains(press->at)) continue;
      (chip.id == 1 ? s.case_sensitive : s.whole_word) ^= true;
      run_search(app);
      return Handled::Yes;
    }
    if (s.field_rect.contains(press->at)) {
      s.field.set_focused(true);
      s.field.handle_event(event, now);
      app.redraw_requested = true;
      return Handled::Yes;
    }
    if (app.regions.search_bar.contains(press->at)) return Handled::Yes;
    s.field.set_focused(false);
    return Handled::No;
  }
  if (std::holds_alternative<velyn_ui::PointerMove>(event) ||
      std::holds_alternative<velyn_ui::PointerRelease>(event)) {
    s.field.handle_event(event, now);
    return Handled::No;  // the viewer still sees the pointer
  }
  if (!s.field.focused()) return Handled::No;
  if (const auto* key = std::get_if<velyn_ui::KeyPress>(&event)) {
    if (key->key == velyn_ui::Key::Enter) {
      step_search(app, (key->modifiers & velyn_ui::kModShift) ? -1 : 1);
      app.redraw_requested = true;
      return Handled::Yes;
    }
    if (key->key == velyn_ui::Key::Escape ||
        (key->key == velyn_ui::Key::Character && key->character == U'f' && (key->modifiers & velyn_ui::kModCtrl))) {
      close_search(app);
      return Handled::Yes;
    }
  }
  if (!std::holds_alternative<velyn_ui::KeyPress>(event) && !std::holds_alternative<velyn_ui::TextCommit>(event) &&
      !std::holds_alternative<velyn_ui::TextPreedit>(event)) {
    return Handled::No;
  }
  const auto response = s.field.handle_event(event, now);
  if (s.field.take_dirty()) run_search(app);
  app.redraw_requested = true;
  return velyn_ui::widget::focused_field_answer(response, event);
}

}  // namespace pdf_app
