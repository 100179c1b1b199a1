#include "app/catalog_publication.h"

#include <fmt/format.h>

#include "app/launch.h"
#include "app/pdf_app.h"
#include "app/search_run.h"
#include "velyn/try.h"

#include <algorithm>
#include <span>
#include <variant>

namespace pdf_app {

namespace source = pdf::source;
using velyn_ui::search::CatalogEntry;

namespace {

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;

void fnv(std::uint64_t& h, std::string_view bytes) {
  for (const unsigned char c : bytes) {
    h ^= c;
    h *= kFnvPrime;
  }
}

void fnv(std::uint64_t& h, std::span<const std::uint8_t> bytes) {
  fnv(h, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void fnv_number(std::uint64_t& h, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) {
    h ^= (value >> (8 * i)) & 0xff;
    h *= kFnvPrime;
  }
}

std::string_view trimmed(std::string_view s) {
  const auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
  while (!s.empty() && ws(s.front())) s.remove_prefix(1);
  while (!s.empty() && ws(s.back())) s.remove_suffix(1);
  return s;
}

bool is_text_block(source::BlockKind kind) {
  using K = source::BlockKind;
  return kind == K::Title || kind == K::Heading || kind == K::Subheading || kind == K::Paragraph ||
         kind == K::Byline || kind == K::Quote;
}

std::string page_text(const source::Document* doc, std::uint64_t source_page) {
  if (!doc || source_page == 0 || source_page > doc->pages.size()) return {};
  std::string out;
  for (const auto& b : doc->pages[source_page - 1]) {
    if (!is_text_block(b.kind)) continue;
    if (!out.empty()) out.push_back(' ');
    out += b.text;
  }
  return out;
}

// The first `n` characters (code points) of UTF-8 text.
std::string first_chars(std::string_view s, std::size_t n) {
  std::size_t i = 0, count = 0;
  while (i < s.size()) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (count == n) break;
      ++count;
    }
    ++i;
  }
  return std::string(s.substr(0, i));
}

std::string terms(std::initializer_list<std::string_view> parts) {
  std::string out;
  bool first = true;
  for (const auto p : parts) {
    if (!first) out.push_back('\0');
    out += p;
    first = false;
  }
  return out;
}

CatalogEntry entry(std::string_view scope, std::string key, std::string indexed, std::string title, std::string detail, std::string action) {
  CatalogEntry e;
  e.scope = std::string(scope);
  e.result.action_address = {key, std::move(action)};
  e.key = std::move(key);
  e.indexed_text = std::move(indexed);
  e.result.app_name = std::string(kCatalogAppName);
  e.result.title = std::move(title);
  e.result.detail = std::move(detail);
  return e;
}

std::string_view kind_name(const pdf_actions::AnnoGeom& g) {
  if (std::holds_alternative<pdf_actions::AnnoGeom::Highlight>(g.value)) return "highlight";
  if (std::holds_alternative<pdf_actions::AnnoGeom::Ink>(g.value)) return "ink";
  return "note";
}

}  // namespace

std::string search_key(std::string_view query, source::SearchOptions options) {
  std::uint64_t h = kFnvOffset;
  fnv(h, trimmed(query));
  const char flags[2] = {char(options.whole_word ? 1 : 0), char(options.case_sensitive ? 1 : 0)};
  fnv(h, {flags, 2});
  return fmt::format("{:016x}", h);
}

std::string outline_key(const std::vector<source::OutlineEntry>& outline, std::size_t index) {
  const auto& e = outline.at(index);
  const auto earlier = std::count_if(outline.begin(), outline.begin() + std::ptrdiff_t(index), [&](const auto& o) {
    return o.title == e.title && o.page == e.page && o.level == e.level;
  });
  std::uint64_t h = kFnvOffset;
  const std::string_view zero("\0", 1);
  fnv(h, e.title);
  fnv(h, zero);
  fnv(h, fmt::format("{}", e.page));
  fnv(h, zero);
  fnv(h, fmt::format("{}", e.level));
  fnv(h, zero);
  fnv(h, fmt::format("{}", earlier));
  return fmt::format("{:016x}", h);
}

std::vector<CatalogEntry> catalog_entries(const CatalogSnapshot& s) {
  std::vector<CatalogEntry> out;
  const std::string& dk = s.document_key;
  const std::string scope = fmt::format("pdf:{}", dk);
  out.push_back(entry(scope, fmt::format("pdf.document:{}", dk), terms({s.title, "pdf document", "find", "save annotated PDF"}),
                      s.title, "Open PDF document", "find"));
  for (std::size_t i = 0; i < s.pages.size(); ++i) {
    const std::string text = page_text(s.document, s.pages[i].source_page);
    const std::string n = fmt::format("{}", i + 1);
    out.push_back(entry(scope, fmt::format("pdf.page:{}:{}", dk, s.pages[i].plan_id),
                        terms({fmt::format("Page {}", n), "pdf page", "open", text}), fmt::format("Page {}", n),
                        first_chars(text, kPageDetailChars), "open"));
  }
  if (s.document) {
    const auto& outline = s.document->outline;
    for (std::size_t i = 0; i < outline.size(); ++i) {
      const auto& o = outline[i];
      out.push_back(entry(scope, fmt::format("pdf.outline:{}:{}", dk, outline_key(outline, i)),
                          terms({"bookmark", "outline", "contents", o.title, fmt::format("page {}", o.page),
                                 fmt::format("level {}", o.level + 1), "open"}),
                          fmt::format("Bookmark — {}", o.title), fmt::format("Contents · page {}", o.page), "open"));
    }
  }
  for (const auto& a : s.review.annotations) {
    const auto kind = kind_name(a.geom);
    out.push_back(entry(scope, fmt::format("pdf.annotation:{}", a.id),
                        terms({"annotation", kind, fmt::format("page {}", a.page), a.author, "open"}),
                        fmt::format("{} annotation", kind), fmt::format("Page {} · {}", a.page, a.author), "open"));
  }
  for (const auto& g : s.review.signatures) {
    out.push_back(entry(scope, fmt::format("pdf.signature:{}", g.id),
                        terms({"signature", g.signer, g.date, fmt::format("page {}", g.page), "open"}),
                        fmt::format("Signature by {}", g.signer), fmt::format("Page {} · {}", g.page, g.date), "open"));
  }
  for (const auto& c : s.review.comments) {
    out.push_back(entry(scope, fmt::format("pdf.comment:{}", c.id),
                        terms({"comment", c.author, c.body, fmt::format("page {}", c.page), "open", "reply", "resolve"}),
                        fmt::format("Comment — {}", c.author), c.body, "open"));
    for (const auto& r : c.replies) {
      out.push_back(entry(scope, fmt::format("pdf.reply:{}:{}", c.id, r.id),
                          terms({"reply", r.author, r.body, fmt::format("page {}", c.page), "open"}),
                          fmt::format("Reply — {}", r.author), r.body, "open"));
    }
  }
  if (!trimmed(s.query).empty()) {
    const std::string key = search_key(s.query, s.options);
    for (std::size_t i = 0; i < s.match_pages.size(); ++i) {
      const auto page = s.match_pages[i];
      out.push_back(entry(scope, fmt::format("pdf.search-result:{}:{}:{}:{}", dk, key, i, page),
                          terms({"find result", s.query, fmt::format("page {}", page), fmt::format("match {}", i + 1),
                                 "open"}),
                          fmt::format("Match {} · page {}", i + 1, page), fmt::format("Find result for “{}”", s.query),
                          "open"));
    }
  }
  return out;
}

velyn::Result<std::set<std::string>> publish_catalog(velyn_ui::search::SearchCatalog& catalog,
                                                     const CatalogSnapshot& snapshot) {
  std::set<std::string> keys;
  for (const auto& e : catalog_entries(snapshot)) {
    VELYN_TRY_VOID(catalog.upsert(e));
    keys.insert(e.key);
  }
  return keys;
}

}  // namespace pdf_app

namespace pdf_app {

void refresh_catalog(PdfApp& app) {
  auto& pub = app.catalog;
  if (!app.document_loaded || !app.doc || !app.record || app.waiting_for_record) return;
  if (pub.retry_after && app.last_now < *pub.retry_after) return;
  // The key: generations of what the entries are made of, and the search as
  // typed, hashed without building anything, so an unchanged frame costs
  // a few comparisons and no allocation.
  const std::size_t n = search_result_count(app);
  std::uint64_t h = kFnvOffset;
  fnv(h, app.record->id.bytes());
  fnv(h, app.doc->document.title.empty() ? app.doc->file_name : app.doc->document.title);
  fnv_number(h, app.plan_generation);
  fnv_number(h, app.review_generation);
  fnv(h, app.search.field.text());
  fnv_number(h, (app.search.whole_word ? 1u : 0u) | (app.search.case_sensitive ? 2u : 0u));
  for (std::size_t i = 0; i < n; ++i) fnv_number(h, search_result_page(app, i));
  if (pub.published_key == h) return;

  CatalogSnapshot s;
  s.document_key = app.record->id.to_string();
  s.title = app.doc->document.title.empty() ? app.doc->file_name : app.doc->document.title;
  for (const auto& e : app.plan) s.pages.push_back({e.id, e.source_page});
  s.document = &app.doc->document;
  s.review = app.review;
  s.query = app.search.field.text();
  s.options = {.whole_word = app.search.whole_word, .case_sensitive = app.search.case_sensitive};
  for (std::size_t i = 0; i < n; ++i) s.match_pages.push_back(search_result_page(app, i));
  if (!pub.catalog) {
    auto opened = velyn_ui::search::SearchCatalog::open_for_application(kApplicationId);
    if (!opened) {
      app.status = fmt::format("Search index unavailable: {}", opened.error().message);
      pub.retry_after = app.last_now + kCatalogRetrySeconds;
      return;
    }
    pub.catalog = std::move(*opened);
  }
  auto keys = publish_catalog(*pub.catalog, s);
  if (!keys) {
    app.status = fmt::format("Search index unavailable: {}", keys.error().message);
    pub.retry_after = app.last_now + kCatalogRetrySeconds;
    return;
  }
  const std::vector<std::string> keep(keys->begin(), keys->end());
  if (auto removed = pub.catalog->remove_scope_except(fmt::format("pdf:{}", s.document_key), keep); !removed) {
    app.status = fmt::format("Search index unavailable: {}", removed.error().message);
    pub.retry_after = app.last_now + kCatalogRetrySeconds;
    return;
  }
  pub.published_key = h;
  pub.retry_after.reset();
}

}  // namespace pdf_app
