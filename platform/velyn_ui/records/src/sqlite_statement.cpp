#include "velyn_ui/records/sqlite_statement.h"

#include <sqlite3.h>

#include <utility>

namespace velyn_ui::persist {

velyn::Error sqlite_error(sqlite3* db, std::string_view step) {
  return velyn::Error(std::string(step) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

velyn::Result<void> sqlite_exec(sqlite3* db, const char* sql, std::string_view step) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return std::unexpected(sqlite_error(db, step));
  return {};
}

Statement::Statement(sqlite3* db, const char* sql) {
  if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept : stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

Statement& Statement::bind(int i, std::string_view text) {
  sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::bind(int i, std::int64_t value) {
  sqlite3_bind_int64(stmt_, i, value);
  return *this;
}

Statement& Statement::bind(int i, std::span<const std::uint8_t> blob) {
  sqlite3_bind_blob(stmt_, i, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
  return *this;
}

int Statement::step() { return sqlite3_step(stmt_); }

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::string Statement::text(int col) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))) : std::string();
}

std::int64_t Statement::integer(int col) const { return sqlite3_column_int64(stmt_, col); }

double Statement::real(int col) const { return sqlite3_column_double(stmt_, col); }

std::span<const std::uint8_t> Statement::blob(int col) const {
  // The pointer first, then the size: asking for the size first could make
  // SQLite convert the value and move it.
  const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
  return {p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))};
}

bool Statement::is_null(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

Transaction::Transaction(sqlite3* db) : db_(db) {
  open_ = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

Transaction::~Transaction() {
  if (open_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

velyn::Result<void> Transaction::commit(std::string_view step) {
  open_ = false;
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    // The text first: the ROLLBACK would replace SQLite's message.
    auto err = sqlite_error(db_, step);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return std::unexpected(err);
  }
  return {};
}

}  // namespace velyn_ui::persist
