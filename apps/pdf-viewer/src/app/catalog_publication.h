#pragma once
// What the viewer publishes to the platform's search catalogue about the open
// document: the document, its pages, bookmarks, markup, comments, replies and
// the matches of the current search. UI thread only.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "actions/review_model.h"
#include "source/document.h"
#include "source/text_match.h"
#include "velyn/error.h"
#include "velyn_ui/search/search_catalog.h"

namespace pdf_app {

inline constexpr std::string_view kCatalogAppName = "PDF Viewer";
inline constexpr std::size_t kPageDetailChars = 120;

struct CatalogPage {
  std::string plan_id;
  std::uint64_t source_page = 1;  // from 1
};

// A copy of what publication reads, taken on the UI thread.
struct CatalogSnapshot {
  std::string document_key;
  std::string title;
  std::vector<CatalogPage> pages;
  const pdf::source::Document* document = nullptr;  // blocks and outline; borrowed for the call
  pdf_actions::ReviewModel review;
  std::string query;
  pdf::source::SearchOptions options;
  std::vector<std::uint64_t> match_pages;  // the page of each match, in match order
};

// 16 lower-case hexadecimal digits of the 64-bit FNV-1a hash of the trimmed
// query followed by one byte each for whole word and case sensitive.
std::string search_key(std::string_view query, pdf::source::SearchOptions options);
// The outline entry's key: FNV-1a over title, page, depth and how many earlier
// entries share all three, separated by 0 bytes.
std::string outline_key(const std::vector<pdf::source::OutlineEntry>& outline, std::size_t index);

// The entries in publication order.
std::vector<velyn_ui::search::CatalogEntry> catalog_entries(const CatalogSnapshot& snapshot);
// Upserts every entry; the first error ends publication. Returns the keys written.
velyn::Result<std::set<std::string>> publish_catalog(velyn_ui::search::SearchCatalog& catalog,
                                                     const CatalogSnapshot& snapshot);

// The viewer's side of the catalogue: opened on first use, written only when
// what it would publish changed.
// A catalogue that failed (to open or to take the entries) is tried again on
// a frame at least kCatalogRetrySeconds later: the entries are published once
// it works, without a write attempt on every frame while it does not.
inline constexpr double kCatalogRetrySeconds = 1;

struct CatalogPublisher {
  std::optional<velyn_ui::search::SearchCatalog> catalog;
  std::optional<std::uint64_t> published_key;
  std::optional<double> retry_after;  // frame clock; set while the catalogue fails
};

struct PdfApp;
// The frame update's step: publishes the bound document's entries when the
// catalogue key changed and retracts the entries it no longer has. Shows
// "Search index unavailable: {}" when the catalogue fails.
void refresh_catalog(PdfApp& app);

}  // namespace pdf_app
