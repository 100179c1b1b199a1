#pragma once
// The SQLite helpers every store of the toolkit uses (rooms, the search
// catalogue): a prepared statement that finalizes itself, an IMMEDIATE
// transaction that rolls back unless committed, and failure texts of the shape
// "step: what SQLite said". Callers keep <sqlite3.h> for result codes; this
// header only names the handles, so including it pulls in no SQLite.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "velyn/error.h"

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;

namespace velyn_ui::persist {

// "step: <the connection's last error>"; a connection SQLite could not even
// allocate (null) reads "out of memory".
[[nodiscard]] velyn::Error sqlite_error(sqlite3* db, std::string_view step);

// Runs SQL text that returns no rows (pragmas, schema, BEGIN/COMMIT).
velyn::Result<void> sqlite_exec(sqlite3* db, const char* sql, std::string_view step);

class Statement {
 public:
  Statement() = default;
  // Prepares `sql`; ok() tells whether that worked. A statement that failed to
  // prepare fails every step() too, so callers may check either.
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  [[nodiscard]] bool ok() const { return stmt_ != nullptr; }

  // Parameters are 1-based, values are copied (the caller's buffer may go).
  Statement& bind(int i, std::string_view text);
  Statement& bind(int i, std::int64_t value);
  Statement& bind(int i, std::span<const std::uint8_t> blob);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step();
  // Ready to run again with new parameters. Also ends the statement's read:
  // a statement left stepped pins a read snapshot, and a later write from the
  // same connection would then fail with SQLITE_BUSY.
  void reset();

  // Columns are 0-based; the values live until the next step() or reset().
  [[nodiscard]] std::string text(int col) const;  // NUL bytes kept; NULL reads ""
  [[nodiscard]] std::int64_t integer(int col) const;
  [[nodiscard]] double real(int col) const;
  [[nodiscard]] std::span<const std::uint8_t> blob(int col) const;
  [[nodiscard]] bool is_null(int col) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE at construction, so the write lock is taken (or waited for)
// before anything is read; ROLLBACK at destruction unless commit() ran, so an
// early error return never leaves half a write behind.
class Transaction {
 public:
  explicit Transaction(sqlite3* db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // False when BEGIN failed; sqlite_error() then tells why.
  [[nodiscard]] bool ok() const { return open_; }
  // A failed COMMIT is rolled back; its text is "step: cause".
  velyn::Result<void> commit(std::string_view step);

 private:
  sqlite3* db_;
  bool open_ = false;
};

}  // namespace velyn_ui::persist
