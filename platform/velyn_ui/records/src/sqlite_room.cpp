// The SQLite room. States: open (connection live, schema checked) or failed at
// open. Every statement that writes runs in its own IMMEDIATE transaction.
#include "velyn_ui/records/sqlite_room.h"

#include <sqlite3.h>

#include <cstring>
#include <system_error>

#include "velyn/try.h"
#include "velyn_ui/records/sqlite_statement.h"

namespace velyn_ui::persist {
namespace {

// Marks the file as ours ("VLRM"), so another application's database is refused.
constexpr int kApplicationId = 0x564c524d;
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS records(
  id BLOB PRIMARY KEY NOT NULL,
  kind TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS record_links(
  record_id BLOB NOT NULL REFERENCES records(id),
  position INTEGER NOT NULL,
  relation TEXT NOT NULL,
  target TEXT NOT NULL,
  PRIMARY KEY(record_id, position));
CREATE TABLE IF NOT EXISTS changes(
  cursor INTEGER PRIMARY KEY AUTOINCREMENT,
  record_id BLOB NOT NULL REFERENCES records(id),
  hash BLOB NOT NULL,
  actor BLOB NOT NULL,
  seq INTEGER NOT NULL,
  bytes BLOB NOT NULL,
  UNIQUE(record_id, hash));
CREATE INDEX IF NOT EXISTS changes_by_record ON changes(record_id, cursor);
)sql";

}  // namespace

struct SqliteRoom::Db {
  sqlite3* db = nullptr;
  std::string name;  // the file, for messages
  std::int64_t data_version = -1;
  Statement append;
  Statement version;

  ~Db() {
    // Statements first: a connection closed under live statements lingers.
    append = {};
    version = {};
    sqlite3_close_v2(db);
  }

  // Every failure names the file: "room <file>: <step>: <cause>".
  std::unexpected<velyn::Error> named(const velyn::Error& e) const {
    return std::unexpected(e.prefixed("room " + name));
  }
  std::unexpected<velyn::Error> error(std::string_view step) const { return named(sqlite_error(db, step)); }

  velyn::Result<void> exec(const char* sql, std::string_view step) {
    if (auto ok = sqlite_exec(db, sql, step); !ok) return named(ok.error());
    return {};
  }

  velyn::Result<std::int64_t> scalar(const char* sql, std::string_view step) {
    Statement s(db, sql);
    if (!s.ok() || s.step() != SQLITE_ROW) return error(step);
    return s.integer(0);
  }

  velyn::Result<std::int64_t> current_version() {
    // Reset at once: a statement left open would pin a read snapshot, and a
    // later write from this connection would then fail with SQLITE_BUSY.
    if (version.step() != SQLITE_ROW) {
      version.reset();
      return error("reading data_version");
    }
    const std::int64_t v = version.integer(0);
    version.reset();
    return v;
  }
};

namespace {

std::optional<record::RecordId> column_id(const Statement& s, int i) {
  const auto bytes = s.blob(i);
  if (bytes.size() != 16) return std::nullopt;
  std::array<std::uint8_t, 16> id{};
  std::memcpy(id.data(), bytes.data(), 16);
  return record::RecordId(id);
}

}  // namespace

velyn::Result<std::unique_ptr<SqliteRoom>> SqliteRoom::open(const std::filesystem::path& file) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return velyn::fail("room " + file.string() + ": creating its directory: " + ec.message());

  auto db = std::make_unique<Db>();
  db->name = file.string();
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db->db, flags, nullptr) != SQLITE_OK) {
    if (!db->db) return velyn::fail("room " + db->name + ": out of memory");
    return db->error("opening");
  }
  sqlite3_extended_result_codes(db->db, 1);
  sqlite3_busy_timeout(db->db, kRoomBusyTimeoutMs);

  // Read before writing anything: a file that is not a database fails here
  // ("file is not a database") and is left exactly as it was.
  const auto app_id = VELYN_TRY(db->scalar("PRAGMA application_id", "reading the file"));
  const auto tables = VELYN_TRY(db->scalar("SELECT count(*) FROM sqlite_master", "reading the file"));
  if (app_id != kApplicationId && (app_id != 0 || tables != 0)) {
    return velyn::fail("room " + db->name + ": the file is a database of another kind, not a room");
  }
  if (tables == 0) {
    Transaction tx(db->db);
    if (!tx.ok()) return db->error("creating the schema");
    const std::string create = std::string(kSchema) + "PRAGMA application_id=" + std::to_string(kApplicationId) +
                               ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
    if (auto ok = db->exec(create.c_str(), "creating the schema"); !ok) return std::unexpected(ok.error());
    if (auto ok = tx.commit("creating the schema"); !ok) return db->named(ok.error());
  } else {
    const auto version = VELYN_TRY(db->scalar("PRAGMA user_version", "reading the schema version"));
    if (version != kSchemaVersion) {
      return velyn::fail("room " + db->name + ": unsupported room version " + std::to_string(version));
    }
    // Catches a damaged file at open rather than in the middle of a frame.
    Statement check(db->db, "PRAGMA quick_check(1)");
    if (!check.ok() || check.step() != SQLITE_ROW) return db->error("checking the file");
    const std::string verdict = check.text(0);
    if (verdict != "ok") return velyn::fail("room " + db->name + ": the file is corrupt: " + verdict);
  }
  VELYN_TRY_VOID(db->exec("PRAGMA journal_mode=WAL", "switching to WAL"));
  VELYN_TRY_VOID(db->exec("PRAGMA synchronous=NORMAL", "setting synchronous"));
  db->append =
      Statement(db->db, "INSERT OR IGNORE INTO changes(record_id, hash, actor, seq, bytes) VALUES(?,?,?,?,?)");
  if (!db->append.ok()) return db->error("preparing statements");
  db->version = Statement(db->db, "PRAGMA data_version");
  if (!db->version.ok()) return db->error("preparing statements");
  db->data_version = VELYN_TRY(db->current_version());
  return std::unique_ptr<SqliteRoom>(new SqliteRoom(file, std::move(db)));
}

SqliteRoom::SqliteRoom(std::filesystem::path file, std::unique_ptr<Db> db)
    : file_(std::move(file)), db_(std::move(db)) {}
SqliteRoom::~SqliteRoom() = default;

velyn::Result<std::vector<record::Record>> SqliteRoom::load_records() {
  std::vector<record::Record> out;
  Statement s(db_->db,
              "SELECT r.id, r.kind, l.relation, l.target FROM records r "
              "LEFT JOIN record_links l ON l.record_id = r.id ORDER BY r.id, l.position");
  if (!s.ok()) return db_->error("reading records");
  int rc;
  while ((rc = s.step()) == SQLITE_ROW) {
    auto id = column_id(s, 0);
    if (!id) continue;  // not one of ours; skipped, never rewritten
    if (out.empty() || out.back().id != *id) out.push_back(record::Record{*id, s.text(1), {}});
    if (!s.is_null(2)) out.back().links.push_back({s.text(2), s.text(3)});
  }
  if (rc != SQLITE_DONE) return db_->error("reading records");
  return out;
}

velyn::Result<record::Record> SqliteRoom::ensure_record(const record::Record& record) {
  Transaction tx(db_->db);
  if (!tx.ok()) return db_->error("storing a record");
  // Errors are read before `tx` goes out of scope: its ROLLBACK would replace them.
  Statement insert(db_->db, "INSERT OR IGNORE INTO records(id, kind) VALUES(?, ?)");
  if (!insert.ok()) return db_->error("storing a record");
  insert.bind(1, record.id.bytes()).bind(2, record.kind);
  if (insert.step() != SQLITE_DONE) return db_->error("storing a record");
  if (sqlite3_changes(db_->db) == 1) {
    Statement link(db_->db, "INSERT INTO record_links(record_id, position, relation, target) VALUES(?,?,?,?)");
    if (!link.ok()) return db_->error("storing record links");
    for (std::size_t i = 0; i < record.links.size(); ++i) {
      link.reset();
      link.bind(1, record.id.bytes()).bind(2, static_cast<std::int64_t>(i));
      link.bind(3, record.links[i].relation).bind(4, record.links[i].target);
      if (link.step() != SQLITE_DONE) return db_->error("storing record links");
    }
  }
  if (auto ok = tx.commit("storing a record"); !ok) return db_->named(ok.error());
  auto all = load_records();
  if (!all) return std::unexpected(all.error());
  for (auto& r : *all) {
    if (r.id == record.id) return std::move(r);
  }
  return velyn::fail("room " + db_->name + ": the stored record vanished");
}

velyn::Result<std::vector<RoomChange>> SqliteRoom::load_changes(std::optional<record::RecordId> record,
                                                               std::int64_t after_cursor) {
  std::vector<RoomChange> out;
  const char* sql = record ? "SELECT cursor, record_id, bytes FROM changes WHERE record_id = ? AND cursor > ? "
                             "ORDER BY cursor"
                           : "SELECT cursor, record_id, bytes FROM changes WHERE cursor > ? ORDER BY cursor";
  Statement s(db_->db, sql);
  if (!s.ok()) return db_->error("reading changes");
  int at = 1;
  if (record) s.bind(at++, record->bytes());
  s.bind(at, after_cursor);
  int rc;
  while ((rc = s.step()) == SQLITE_ROW) {
    auto id = column_id(s, 1);
    if (!id) continue;
    const auto bytes = s.blob(2);
    out.push_back(RoomChange{s.integer(0), *id, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
  }
  if (rc != SQLITE_DONE) return db_->error("reading changes");
  return out;
}

velyn::Result<void> SqliteRoom::append_change(const record::RecordId& record, const docstore::Change& change,
                                              std::span<const std::uint8_t> encoded) {
  // One statement in autocommit mode is one transaction: all of it or none.
  Statement& s = db_->append;
  s.reset();
  s.bind(1, record.bytes()).bind(2, change.hash.bytes).bind(3, change.actor.bytes);
  s.bind(4, static_cast<std::int64_t>(change.seq)).bind(5, encoded);
  const int rc = s.step();
  s.reset();
  if (rc != SQLITE_DONE) return db_->error("appending a change");
  return {};
}

velyn::Result<bool> SqliteRoom::watch() {
  const auto v = VELYN_TRY(db_->current_version());
  const bool changed = v != db_->data_version;
  db_->data_version = v;
  return changed;
}

}  // namespace velyn_ui::persist
