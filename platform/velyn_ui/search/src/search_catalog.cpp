#include "velyn_ui/search/search_catalog.h"

#include <glib.h>
#include <sqlite3.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "velyn/try.h"
#include "velyn_ui/records/open_room.h"
#include "velyn_ui/records/sqlite_statement.h"

namespace velyn_ui::search {

using persist::sqlite_error;
using persist::sqlite_exec;
using persist::Statement;
using persist::Transaction;

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT OR IGNORE INTO meta(name, value) VALUES ('generation', 0);
CREATE TABLE IF NOT EXISTS entries(
  id INTEGER PRIMARY KEY,
  key TEXT NOT NULL UNIQUE,
  scope TEXT NOT NULL,
  app_name TEXT NOT NULL,
  title TEXT NOT NULL,
  detail TEXT NOT NULL,
  resource TEXT NOT NULL,
  action TEXT NOT NULL,
  body TEXT NOT NULL,
  digest INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS entries_scope ON entries(scope);
CREATE VIRTUAL TABLE IF NOT EXISTS entries_fts USING fts5(
  title, detail, body, content='entries', content_rowid='id', tokenize='unicode61 remove_diacritics 2');
CREATE TRIGGER IF NOT EXISTS entries_ai AFTER INSERT ON entries BEGIN
  INSERT INTO entries_fts(rowid, title, detail, body) VALUES (new.id, new.title, new.detail, new.body);
END;
CREATE TRIGGER IF NOT EXISTS entries_ad AFTER DELETE ON entries BEGIN
  INSERT INTO entries_fts(entries_fts, rowid, title, detail, body) VALUES ('delete', old.id, old.title, old.detail, old.body);
END;
CREATE TRIGGER IF NOT EXISTS entries_au AFTER UPDATE ON entries BEGIN
  INSERT INTO entries_fts(entries_fts, rowid, title, detail, body) VALUES ('delete', old.id, old.title, old.detail, old.body);
  INSERT INTO entries_fts(rowid, title, detail, body) VALUES (new.id, new.title, new.detail, new.body);
END;
)sql";

constexpr std::string_view kCommitting = "committing the search catalogue";

// Column weights for ranking: a title hit outranks a detail hit outranks body text.
constexpr const char* kRank = "bm25(entries_fts, 10.0, 3.0, 1.0)";

// Valid UTF-8 of at most `limit` bytes, cut on a character boundary; NULs
// (term separators) become line breaks, which the tokenizer also separates on.
std::string clean_field(std::string_view in, std::size_t limit) {
  gchar* valid = g_utf8_make_valid(in.data(), static_cast<gssize>(in.size()));
  std::string out(valid);
  g_free(valid);
  if (out.size() > limit) {
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  return out;
}

std::string clean_indexed(std::string_view in) {
  std::string terms(in);
  std::replace(terms.begin(), terms.end(), '\0', '\n');
  return clean_field(terms, SearchCatalog::kMaxIndexedBytes);
}

std::uint64_t digest_of(std::initializer_list<std::string_view> parts) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a 64
  for (const auto part : parts) {
    for (const char c : part) {
      h ^= static_cast<unsigned char>(c);
      h *= 1099511628211ull;
    }
    h ^= 0xff;  // field separator
    h *= 1099511628211ull;
  }
  return h;
}

// The query's words, each quoted as an FTS5 string (so no word is ever read
// as an operator), all required, the last one as a prefix.
std::string match_expression(std::string_view query) {
  const std::string q = clean_field(query, SearchCatalog::kMaxQueryBytes);
  std::vector<std::string> words;
  std::string word;
  for (const char* p = q.c_str(); *p; p = g_utf8_next_char(p)) {
    if (g_unichar_isalnum(g_utf8_get_char(p))) {
      word.append(p, static_cast<std::size_t>(g_utf8_next_char(p) - p));
    } else if (!word.empty()) {
      words.push_back(std::exchange(word, {}));
    }
  }
  if (!word.empty()) words.push_back(word);
  if (words.size() > SearchCatalog::kMaxQueryTerms) words.resize(SearchCatalog::kMaxQueryTerms);
  std::string expr;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i) expr += ' ';
    expr += '"' + words[i] + '"';
    if (i + 1 == words.size()) expr += '*';
  }
  return expr;
}

}  // namespace

std::filesystem::path SearchCatalog::path_for_application(std::string_view application_id) {
  return persist::data_home(application_id) / "search" / "catalog.sqlite3";
}

velyn::Result<SearchCatalog> SearchCatalog::open_for_application(std::string_view application_id) {
  return open(path_for_application(application_id));
}

velyn::Result<SearchCatalog> SearchCatalog::open(const std::filesystem::path& file) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return velyn::fail("creating the search catalogue directory: " + ec.message());
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    auto err = sqlite_error(db, "opening the search catalogue");
    sqlite3_close(db);
    return std::unexpected(err);
  }
  SearchCatalog catalog(db);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  for (const char* sql : {"PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", kSchema}) {
    if (auto ok = sqlite_exec(db, sql, "preparing the search catalogue"); !ok) return std::unexpected(ok.error());
  }
  // A file that is not a catalogue fails above or here, not on first use.
  Statement check(db, "SELECT count(*) FROM entries_fts WHERE entries_fts MATCH 'x'");
  if (!check.ok() || check.step() != SQLITE_ROW) {
    return std::unexpected(sqlite_error(db, "checking the search catalogue"));
  }
  return catalog;
}

SearchCatalog::SearchCatalog(SearchCatalog&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}
SearchCatalog& SearchCatalog::operator=(SearchCatalog&& other) noexcept {
  if (this != &other) {
    sqlite3_close(db_);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}
SearchCatalog::~SearchCatalog() { sqlite3_close(db_); }

velyn::Result<void> SearchCatalog::bump_generation() {
  return sqlite_exec(db_, "UPDATE meta SET value = value + 1 WHERE name = 'generation'",
                     "updating the search catalogue");
}

velyn::Result<void> SearchCatalog::upsert_one(const CatalogEntry& entry, bool& changed) {
  if (entry.key.empty()) return velyn::fail("catalogue entry without a key");
  if (entry.key.size() > kMaxKeyBytes) return velyn::fail("catalogue entry key is longer than 1024 bytes");
  const std::string scope = clean_field(entry.scope, kMaxFieldBytes);
  const std::string app = clean_field(entry.result.app_name, kMaxFieldBytes);
  const std::string title = clean_field(entry.result.title, kMaxFieldBytes);
  const std::string detail = clean_field(entry.result.detail, kMaxFieldBytes);
  const std::string resource = clean_field(entry.result.action_address.resource, kMaxFieldBytes);
  const std::string action = clean_field(entry.result.action_address.action, kMaxFieldBytes);
  const std::string body = clean_indexed(entry.indexed_text);
  const auto digest = static_cast<std::int64_t>(digest_of({scope, app, title, detail, resource, action, body}));

  Statement current(db_, "SELECT digest FROM entries WHERE key = ?1");
  current.bind(1, entry.key);
  const int rc = current.step();
  if (rc == SQLITE_ROW && current.integer(0) == digest) return {};  // unchanged: no write
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return std::unexpected(sqlite_error(db_, "reading the search catalogue"));

  Statement put(db_,
                "INSERT INTO entries(key, scope, app_name, title, detail, resource, action, body, digest) "
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT(key) DO UPDATE SET "
                "scope = excluded.scope, app_name = excluded.app_name, title = excluded.title, "
                "detail = excluded.detail, resource = excluded.resource, action = excluded.action, "
                "body = excluded.body, digest = excluded.digest");
  put.bind(1, entry.key).bind(2, scope).bind(3, app).bind(4, title).bind(5, detail).bind(6, resource);
  put.bind(7, action).bind(8, body).bind(9, digest);
  if (!put.ok() || put.step() != SQLITE_DONE) return std::unexpected(sqlite_error(db_, "writing the search catalogue"));
  changed = true;
  return {};
}

velyn::Result<void> SearchCatalog::upsert(const CatalogEntry& entry) { return upsert_all(std::span(&entry, 1)); }

velyn::Result<void> SearchCatalog::upsert_all(std::span<const CatalogEntry> entries) {
  Transaction tx(db_);
  if (!tx.ok()) return std::unexpected(sqlite_error(db_, "writing the search catalogue"));
  bool changed = false;
  for (const auto& e : entries) {
    if (auto r = upsert_one(e, changed); !r) return r;
  }
  if (changed) {
    if (auto r = bump_generation(); !r) return r;
  }
  return tx.commit(kCommitting);
}

velyn::Result<bool> SearchCatalog::remove(std::string_view key) {
  Transaction tx(db_);
  if (!tx.ok()) return std::unexpected(sqlite_error(db_, "removing from the search catalogue"));
  Statement del(db_, "DELETE FROM entries WHERE key = ?1");
  del.bind(1, key);
  if (del.step() != SQLITE_DONE) return std::unexpected(sqlite_error(db_, "removing from the search catalogue"));
  const bool removed = sqlite3_changes(db_) > 0;
  if (removed) {
    VELYN_TRY_VOID(bump_generation());
  }
  VELYN_TRY_VOID(tx.commit(kCommitting));
  return removed;
}

velyn::Result<std::uint64_t> SearchCatalog::remove_scope_except_in_transaction(std::string_view scope,
                                                                               std::span<const std::string> keep) {
  const auto fail = [&] { return std::unexpected(sqlite_error(db_, "removing from the search catalogue")); };
  // The keys to keep go through a temporary table so any number of them fits.
  if (sqlite3_exec(db_, "CREATE TEMP TABLE IF NOT EXISTS keep_keys(key TEXT PRIMARY KEY); DELETE FROM keep_keys;",
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail();
  }
  for (const auto& k : keep) {
    Statement one(db_, "INSERT OR IGNORE INTO keep_keys(key) VALUES (?1)");
    one.bind(1, k);
    if (one.step() != SQLITE_DONE) return fail();
  }
  Statement del(db_, "DELETE FROM entries WHERE scope = ?1 AND key NOT IN (SELECT key FROM keep_keys)");
  del.bind(1, clean_field(scope, kMaxFieldBytes));
  if (del.step() != SQLITE_DONE) return fail();
  const auto removed = static_cast<std::uint64_t>(sqlite3_changes(db_));
  sqlite3_exec(db_, "DELETE FROM keep_keys", nullptr, nullptr, nullptr);
  return removed;
}

velyn::Result<std::uint64_t> SearchCatalog::remove_scope_except(std::string_view scope,
                                                                std::span<const std::string> keep) {
  Transaction tx(db_);
  if (!tx.ok()) return std::unexpected(sqlite_error(db_, "removing from the search catalogue"));
  auto removed = remove_scope_except_in_transaction(scope, keep);
  if (!removed) return removed;
  if (*removed) {
    VELYN_TRY_VOID(bump_generation());
  }
  VELYN_TRY_VOID(tx.commit(kCommitting));
  return removed;
}

velyn::Result<ScopeUpdate> SearchCatalog::replace_scope(std::string_view scope, std::span<const CatalogEntry> entries) {
  Transaction tx(db_);
  if (!tx.ok()) return std::unexpected(sqlite_error(db_, "writing the search catalogue"));
  ScopeUpdate update;
  std::vector<std::string> keys;
  keys.reserve(entries.size());
  for (const auto& e : entries) {
    CatalogEntry scoped = e;
    scoped.scope = std::string(scope);
    bool changed = false;
    VELYN_TRY_VOID(upsert_one(scoped, changed));
    update.written += changed ? 1 : 0;
    keys.push_back(e.key);
  }
  update.removed = VELYN_TRY(remove_scope_except_in_transaction(scope, keys));
  if (update.written || update.removed) {
    VELYN_TRY_VOID(bump_generation());
  }
  VELYN_TRY_VOID(tx.commit(kCommitting));
  return update;
}

velyn::Result<std::vector<std::string>> SearchCatalog::keys_in_scope(std::string_view scope) const {
  Statement q(db_, "SELECT key FROM entries WHERE scope = ?1 ORDER BY id");
  q.bind(1, clean_field(scope, kMaxFieldBytes));
  std::vector<std::string> keys;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) keys.push_back(q.text(0));
  if (rc != SQLITE_DONE) return std::unexpected(sqlite_error(db_, "reading the search catalogue"));
  return keys;
}

velyn::Result<std::optional<CatalogEntry>> SearchCatalog::find(std::string_view key) const {
  Statement q(db_, "SELECT key, scope, app_name, title, detail, resource, action, body FROM entries WHERE key = ?1");
  q.bind(1, key);
  const int rc = q.step();
  if (rc == SQLITE_DONE) return std::optional<CatalogEntry>();
  if (rc != SQLITE_ROW) return std::unexpected(sqlite_error(db_, "reading the search catalogue"));
  CatalogEntry e;
  e.key = q.text(0);
  e.scope = q.text(1);
  e.result = {q.text(2), q.text(3), q.text(4), {q.text(5), q.text(6)}};
  e.indexed_text = q.text(7);
  std::replace(e.indexed_text.begin(), e.indexed_text.end(), '\n', '\0');
  return std::optional<CatalogEntry>(std::move(e));
}

velyn::Result<std::vector<SearchHit>> SearchCatalog::run_query(const std::string& match, std::size_t limit,
                                                               std::uint64_t offset) const {
  std::vector<SearchHit> hits;
  if (match.empty() || limit == 0) return hits;
  const std::string sql = std::string("SELECT e.key, e.scope, e.app_name, e.title, e.detail, e.resource, e.action, ") +
                          kRank +
                          " AS score FROM entries_fts JOIN entries e ON e.id = entries_fts.rowid "
                          "WHERE entries_fts MATCH ?1 ORDER BY score, e.id LIMIT ?2 OFFSET ?3";
  Statement q(db_, sql.c_str());
  if (!q.ok()) return std::unexpected(sqlite_error(db_, "searching the catalogue"));
  q.bind(1, match).bind(2, static_cast<std::int64_t>(limit)).bind(3, static_cast<std::int64_t>(offset));
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    hits.push_back({q.text(0), q.text(1), {q.text(2), q.text(3), q.text(4), {q.text(5), q.text(6)}}, -q.real(7)});
  }
  if (rc != SQLITE_DONE) return std::unexpected(sqlite_error(db_, "searching the catalogue"));
  return hits;
}

velyn::Result<std::vector<SearchHit>> SearchCatalog::search_limited(std::string_view query, std::size_t limit) const {
  return run_query(match_expression(query), std::min(limit, kMaxResults), 0);
}

velyn::Result<SearchPage> SearchCatalog::query_page(std::string_view query, const std::optional<SearchCursor>& cursor,
                                                    std::size_t page_size) const {
  const auto gen = VELYN_TRY(generation());
  SearchCursor at{std::string(query), gen, 0};
  if (cursor) {
    if (cursor->generation != gen) return velyn::fail("search results changed; run the search again");
    at = *cursor;
  }
  const std::string match = match_expression(at.query);
  SearchPage page;
  if (match.empty()) return page;
  const std::size_t size = std::clamp<std::size_t>(page_size, 1, kMaxPageSize);
  Statement count(db_, "SELECT count(*) FROM (SELECT 1 FROM entries_fts WHERE entries_fts MATCH ?1 LIMIT ?2)");
  count.bind(1, match).bind(2, static_cast<std::int64_t>(kMaxMatches));
  if (count.step() != SQLITE_ROW) return std::unexpected(sqlite_error(db_, "searching the catalogue"));
  page.total = static_cast<std::uint64_t>(count.integer(0));
  page.hits = VELYN_TRY(run_query(match, size, at.offset));
  const std::uint64_t next = at.offset + page.hits.size();
  if (next < page.total && !page.hits.empty()) page.next = SearchCursor{at.query, gen, next};
  return page;
}

velyn::Result<std::uint64_t> SearchCatalog::generation() const {
  Statement q(db_, "SELECT value FROM meta WHERE name = 'generation'");
  if (q.step() != SQLITE_ROW) return std::unexpected(sqlite_error(db_, "reading the search catalogue"));
  return static_cast<std::uint64_t>(q.integer(0));
}

bool SearchCatalog::cursor_is_current(const SearchCursor& cursor) const {
  const auto gen = generation();
  return gen && *gen == cursor.generation;
}

velyn::Result<CatalogStats> SearchCatalog::stats() const {
  Statement q(db_, "SELECT count(*), count(DISTINCT scope), coalesce(sum(length(CAST(body AS BLOB))), 0) FROM entries");
  if (q.step() != SQLITE_ROW) return std::unexpected(sqlite_error(db_, "reading the search catalogue"));
  CatalogStats s;
  s.entries = static_cast<std::uint64_t>(q.integer(0));
  s.scopes = static_cast<std::uint64_t>(q.integer(1));
  s.indexed_bytes = static_cast<std::uint64_t>(q.integer(2));
  s.generation = VELYN_TRY(generation());
  return s;
}

}  // namespace velyn_ui::search
