#pragma once
// The platform's search catalogue: entries that applications publish so that
// platform-wide search can find their content and open it. One SQLite file
// (WAL, FTS5 index) under the application's data directory, shared by every
// running instance; each instance holds its own connection.
//
// Invariants: keys are unique; every entry belongs to one scope (the
// publisher's name for a set of entries, e.g. one document), so one instance
// retracting its entries never touches another's. The generation grows with
// every write that changes an entry; cursors carry the generation they were
// made at and go stale when it moves. Re-publishing an unchanged entry writes
// nothing. UI thread only; writes are short transactions bounded by the busy
// timeout.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "velyn/error.h"

typedef struct sqlite3 sqlite3;

namespace velyn_ui::search {

// Where activating a result leads: an addressable resource and its action.
struct ActionAddress {
  std::string resource;
  std::string action;
  friend bool operator==(const ActionAddress&, const ActionAddress&) = default;
};

struct SearchResult {
  std::string app_name;
  std::string title;
  std::string detail;
  ActionAddress action_address;
  friend bool operator==(const SearchResult&, const SearchResult&) = default;
};

struct CatalogEntry {
  std::string key;
  std::string scope;
  // Terms separated by NUL characters (see join_terms); searched with the
  // title and the detail.
  std::string indexed_text;
  SearchResult result;
};

struct SearchHit {
  std::string key;
  std::string scope;
  SearchResult result;
  double score = 0;  // higher is better
};

// Where a paged query continues. Stale once the catalogue changed.
struct SearchCursor {
  std::string query;
  std::uint64_t generation = 0;
  std::uint64_t offset = 0;
  friend bool operator==(const SearchCursor&, const SearchCursor&) = default;
};

struct SearchPage {
  std::vector<SearchHit> hits;
  std::uint64_t total = 0;            // matching entries, up to kMaxMatches
  std::optional<SearchCursor> next;   // none on the last page
};

struct ScopeUpdate {
  std::uint64_t written = 0;  // entries that changed or were new
  std::uint64_t removed = 0;
};

struct CatalogStats {
  std::uint64_t entries = 0;
  std::uint64_t scopes = 0;
  std::uint64_t generation = 0;
  std::uint64_t indexed_bytes = 0;
};

class SearchCatalog {
 public:
  static constexpr int kBusyTimeoutMs = 2000;
  static constexpr std::size_t kMaxKeyBytes = 1024;
  static constexpr std::size_t kMaxFieldBytes = 4096;        // title, detail, scope, address parts
  static constexpr std::size_t kMaxIndexedBytes = 1 << 20;   // longer indexed text is cut
  static constexpr std::size_t kMaxQueryBytes = 1024;
  static constexpr std::size_t kMaxQueryTerms = 16;
  static constexpr std::size_t kMaxResults = 1000;           // per search_limited call
  static constexpr std::size_t kMaxPageSize = 200;
  static constexpr std::uint64_t kMaxMatches = 10000;        // counted for a page's total

  // Opens (creating) the catalogue file and its directory.
  static velyn::Result<SearchCatalog> open(const std::filesystem::path& file);
  // The catalogue of an application: <data home>/search/catalog.sqlite3.
  static velyn::Result<SearchCatalog> open_for_application(std::string_view application_id);
  static std::filesystem::path path_for_application(std::string_view application_id);

  SearchCatalog(SearchCatalog&&) noexcept;
  SearchCatalog& operator=(SearchCatalog&&) noexcept;
  ~SearchCatalog();

  // Inserts or replaces the entry with this key (its scope may change).
  velyn::Result<void> upsert(const CatalogEntry& entry);
  // Several entries in one transaction: all or none.
  velyn::Result<void> upsert_all(std::span<const CatalogEntry> entries);
  // True when an entry was removed.
  velyn::Result<bool> remove(std::string_view key);
  // Removes the entries of `scope` whose keys are not in `keep`; returns how many.
  velyn::Result<std::uint64_t> remove_scope_except(std::string_view scope, std::span<const std::string> keep);
  // Publishes exactly `entries` for `scope` in one transaction: each is
  // upserted (with `scope` as its scope) and the scope's other entries are
  // removed. Unchanged entries cost a read, not a write.
  velyn::Result<ScopeUpdate> replace_scope(std::string_view scope, std::span<const CatalogEntry> entries);
  velyn::Result<std::vector<std::string>> keys_in_scope(std::string_view scope) const;
  velyn::Result<std::optional<CatalogEntry>> find(std::string_view key) const;

  // The best `limit` (at most kMaxResults) entries for `query`: every word
  // must occur (the last one as a prefix), case and accents ignored. A query
  // without words finds nothing. Query text is never interpreted as syntax.
  velyn::Result<std::vector<SearchHit>> search_limited(std::string_view query, std::size_t limit) const;
  // One page of results: from the start when `cursor` is none, else where it
  // left off. A stale cursor is an error ("search results changed; run the
  // search again").
  velyn::Result<SearchPage> query_page(std::string_view query, const std::optional<SearchCursor>& cursor,
                                       std::size_t page_size) const;
  velyn::Result<CatalogStats> stats() const;
  [[nodiscard]] bool cursor_is_current(const SearchCursor& cursor) const;
  velyn::Result<std::uint64_t> generation() const;

 private:
  explicit SearchCatalog(sqlite3* db) : db_(db) {}
  velyn::Result<void> upsert_one(const CatalogEntry& entry, bool& changed);
  velyn::Result<void> bump_generation();
  velyn::Result<std::uint64_t> remove_scope_except_in_transaction(std::string_view scope,
                                                                  std::span<const std::string> keep);
  velyn::Result<std::vector<SearchHit>> run_query(const std::string& match, std::size_t limit,
                                                  std::uint64_t offset) const;
  sqlite3* db_ = nullptr;
};

}  // namespace velyn_ui::search
