// The SQLite room. States: open (connection live, schema checked) or failed at
// open. Every statement that writes runs in its own IMMEDIATE transaction.
#include "velyn_ui/persist/sqlite_room.h"

#include <sqlite3.h>

#include <cstring>
#include <system_error>

#include "velyn/try.h"

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

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

}  // namespace

struct SqliteRoom::Db {
  sqlite3* db = nullptr;
  std::string name;  // the file, for messages
  std::int64_t data_version = -1;
  sqlite3_stmt* append = nullptr;
  sqlite3_stmt* version = nullptr;

  ~Db() {
    sqlite3_finalize(append);
    sqlite3_finalize(version);
    sqlite3_close_v2(db);
  }

  std::unexpected<velyn::Error> error(std::string_view step) const {
    return velyn::fail("room " + name + ": " + std::string(step) + ": " + sqlite3_errmsg(db));
  }

  velyn::Result<void> exec(const char* sql, std::string_view step) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return error(step);
    return {};
  }

  velyn::Result<std::int64_t> scalar(const char* sql, std::string_view step) {
    Statement s;
    if (sqlite3_prepare_v2(db, sql, -1, &s.stmt, nullptr) != SQLITE_OK) return error(step);
    const int rc = sqlite3_step(s.stmt);
    if (rc != SQLITE_ROW) return error(step);
    return sqlite3_column_int64(s.stmt, 0);
  }

  velyn::Result<std::int64_t> current_version() {
    // Reset at once: a statement left open would pin a read snapshot, and a
    // later write from this connection would then fail with SQLITE_BUSY.
    if (sqlite3_step(version) != SQLITE_ROW) {
      sqlite3_reset(version);
      return error("reading data_version");
    }
    const std::int64_t v = sqlite3_column_int64(version, 0);
    sqlite3_reset(version);
    return v;
  }
};

namespace {

void bind_blob(sqlite3_stmt* s, int i, const void* data, std::size_t size) {
  sqlite3_bind_blob(s, i, data, static_cast<int>(size), SQLITE_TRANSIENT);
}
void bind_text(sqlite3_stmt* s, int i, std::string_view text) {
  sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
std::string column_text(sqlite3_stmt* s, int i) {
  const auto* p = sqlite3_column_text(s, i);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(s, i)))
           : std::string();
}
std::optional<record::RecordId> column_id(sqlite3_stmt* s, int i) {
  if (sqlite3_column_bytes(s, i) != 16) return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  std::memcpy(bytes.data(), sqlite3_column_blob(s, i), 16);
  return record::RecordId(bytes);
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
    VELYN_TRY_VOID(db->exec("BEGIN IMMEDIATE", "creating the schema"));
    const std::string create = std::string(kSchema) + "PRAGMA application_id=" + std::to_string(kApplicationId) +
                               ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
    if (auto ok = db->exec(create.c_str(), "creating the schema"); !ok) {
      sqlite3_exec(db->db, "ROLLBACK", nullptr, nullptr, nullptr);
      return std::unexpected(ok.error());
    }
    VELYN_TRY_VOID(db->exec("COMMIT", "creating the schema"));
  } else {
    const auto version = VELYN_TRY(db->scalar("PRAGMA user_version", "reading the schema version"));
    if (version != kSchemaVersion) {
      return velyn::fail("room " + db->name + ": unsupported room version " + std::to_string(version));
    }
    // Catches a damaged file at open rather than in the middle of a frame.
    Statement check;
    if (sqlite3_prepare_v2(db->db, "PRAGMA quick_check(1)", -1, &check.stmt, nullptr) != SQLITE_OK) {
      return db->error("checking the file");
    }
    if (sqlite3_step(check.stmt) != SQLITE_ROW) return db->error("checking the file");
    const std::string verdict = column_text(check.stmt, 0);
    if (verdict != "ok") return velyn::fail("room " + db->name + ": the file is corrupt: " + verdict);
  }
  VELYN_TRY_VOID(db->exec("PRAGMA journal_mode=WAL", "switching to WAL"));
  VELYN_TRY_VOID(db->exec("PRAGMA synchronous=NORMAL", "setting synchronous"));
  if (sqlite3_prepare_v2(db->db,
                         "INSERT OR IGNORE INTO changes(record_id, hash, actor, seq, bytes) VALUES(?,?,?,?,?)", -1,
                         &db->append, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db->db, "PRAGMA data_version", -1, &db->version, nullptr) != SQLITE_OK) {
    return db->error("preparing statements");
  }
  db->data_version = VELYN_TRY(db->current_version());
  return std::unique_ptr<SqliteRoom>(new SqliteRoom(file, std::move(db)));
}

SqliteRoom::SqliteRoom(std::filesystem::path file, std::unique_ptr<Db> db)
    : file_(std::move(file)), db_(std::move(db)) {}
SqliteRoom::~SqliteRoom() = default;

velyn::Result<std::vector<record::Record>> SqliteRoom::load_records() {
  std::vector<record::Record> out;
  Statement s;
  if (sqlite3_prepare_v2(db_->db,
                         "SELECT r.id, r.kind, l.relation, l.target FROM records r "
                         "LEFT JOIN record_links l ON l.record_id = r.id ORDER BY r.id, l.position",
                         -1, &s.stmt, nullptr) != SQLITE_OK) {
    return db_->error("reading records");
  }
  int rc;
  while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
    auto id = column_id(s.stmt, 0);
    if (!id) continue;  // not one of ours; skipped, never rewritten
    if (out.empty() || out.back().id != *id) out.push_back(record::Record{*id, column_text(s.stmt, 1), {}});
    if (sqlite3_column_type(s.stmt, 2) != SQLITE_NULL) {
      out.back().links.push_back({column_text(s.stmt, 2), column_text(s.stmt, 3)});
    }
  }
  if (rc != SQLITE_DONE) return db_->error("reading records");
  return out;
}

velyn::Result<record::Record> SqliteRoom::ensure_record(const record::Record& record) {
  VELYN_TRY_VOID(db_->exec("BEGIN IMMEDIATE", "storing a record"));
  auto fail_rollback = [&](std::string_view step) {
    auto e = db_->error(step);
    sqlite3_exec(db_->db, "ROLLBACK", nullptr, nullptr, nullptr);
    return e;
  };
  Statement insert;
  if (sqlite3_prepare_v2(db_->db, "INSERT OR IGNORE INTO records(id, kind) VALUES(?, ?)", -1, &insert.stmt,
                         nullptr) != SQLITE_OK) {
    return fail_rollback("storing a record");
  }
  bind_blob(insert.stmt, 1, record.id.bytes().data(), 16);
  bind_text(insert.stmt, 2, record.kind);
  if (sqlite3_step(insert.stmt) != SQLITE_DONE) return fail_rollback("storing a record");
  if (sqlite3_changes(db_->db) == 1) {
    Statement link;
    if (sqlite3_prepare_v2(db_->db, "INSERT INTO record_links(record_id, position, relation, target) VALUES(?,?,?,?)",
                           -1, &link.stmt, nullptr) != SQLITE_OK) {
      return fail_rollback("storing record links");
    }
    for (std::size_t i = 0; i < record.links.size(); ++i) {
      sqlite3_reset(link.stmt);
      bind_blob(link.stmt, 1, record.id.bytes().data(), 16);
      sqlite3_bind_int64(link.stmt, 2, static_cast<sqlite3_int64>(i));
      bind_text(link.stmt, 3, record.links[i].relation);
      bind_text(link.stmt, 4, record.links[i].target);
      if (sqlite3_step(link.stmt) != SQLITE_DONE) return fail_rollback("storing record links");
    }
  }
  if (auto ok = db_->exec("COMMIT", "storing a record"); !ok) return fail_rollback("storing a record");
  for (auto& r : VELYN_TRY(load_records())) {
    if (r.id == record.id) return std::move(r);
  }
  return velyn::fail("room " + db_->name + ": the stored record vanished");
}

velyn::Result<std::vector<RoomChange>> SqliteRoom::load_changes(std::optional<record::RecordId> record,
                                                               std::int64_t after_cursor) {
  std::vector<RoomChange> out;
  Statement s;
  const char* sql = record ? "SELECT cursor, record_id, bytes FROM changes WHERE record_id = ? AND cursor > ? "
                             "ORDER BY cursor"
                           : "SELECT cursor, record_id, bytes FROM changes WHERE cursor > ? ORDER BY cursor";
  if (sqlite3_prepare_v2(db_->db, sql, -1, &s.stmt, nullptr) != SQLITE_OK) return db_->error("reading changes");
  int at = 1;
  if (record) bind_blob(s.stmt, at++, record->bytes().data(), 16);
  sqlite3_bind_int64(s.stmt, at, after_cursor);
  int rc;
  while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
    auto id = column_id(s.stmt, 1);
    if (!id) continue;
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.stmt, 2));
    const auto n = static_cast<std::size_t>(sqlite3_column_bytes(s.stmt, 2));
    out.push_back(RoomChange{sqlite3_column_int64(s.stmt, 0), *id, std::vector<std::uint8_t>(p, p + n)});
  }
  if (rc != SQLITE_DONE) return db_->error("reading changes");
  return out;
}

velyn::Result<void> SqliteRoom::append_change(const record::RecordId& record, const docstore::Change& change,
                                              std::span<const std::uint8_t> encoded) {
  // One statement in autocommit mode is one transaction: all of it or none.
  sqlite3_stmt* s = db_->append;
  sqlite3_reset(s);
  bind_blob(s, 1, record.bytes().data(), 16);
  bind_blob(s, 2, change.hash.bytes.data(), change.hash.bytes.size());
  bind_blob(s, 3, change.actor.bytes.data(), change.actor.bytes.size());
  sqlite3_bind_int64(s, 4, static_cast<sqlite3_int64>(change.seq));
  bind_blob(s, 5, encoded.data(), encoded.size());
  const int rc = sqlite3_step(s);
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
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
