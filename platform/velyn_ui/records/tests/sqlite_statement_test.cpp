// The SQLite helpers the room and the search catalogue share: values survive a
// round trip whole, failures say which step and why, and a transaction that is
// not committed leaves nothing behind.
#include "velyn_ui/records/sqlite_statement.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "temp_home.h"

namespace velyn_ui::persist {
namespace {

// A connection to a file in a private directory, closed at the end.
class Connection {
 public:
  explicit Connection(const std::filesystem::path& file) { sqlite3_open(file.c_str(), &db_); }
  ~Connection() { sqlite3_close_v2(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  [[nodiscard]] sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

std::int64_t row_count(sqlite3* db) {
  Statement q(db, "SELECT count(*) FROM t");
  return q.step() == SQLITE_ROW ? q.integer(0) : -1;
}

TEST(SqliteStatement, ValuesRoundTripWhole) {
  testing::TempHome home;
  Connection db(home.dir() / "values.sqlite3");
  ASSERT_TRUE(sqlite_exec(db.get(), "CREATE TABLE t(s TEXT, b BLOB, i INTEGER, n TEXT)", "creating"));

  const std::string text("a\0b", 3);  // an embedded NUL must not cut the text
  const std::array<std::uint8_t, 4> blob{0, 255, 0, 7};
  Statement put(db.get(), "INSERT INTO t VALUES(?1, ?2, ?3, NULL)");
  put.bind(1, text).bind(2, blob).bind(3, std::int64_t{-1} << 40);
  ASSERT_EQ(put.step(), SQLITE_DONE);

  Statement get(db.get(), "SELECT s, b, i, n FROM t");
  ASSERT_EQ(get.step(), SQLITE_ROW);
  EXPECT_EQ(get.text(0), text);
  const auto read = get.blob(1);
  EXPECT_EQ(std::vector<std::uint8_t>(read.begin(), read.end()), std::vector<std::uint8_t>(blob.begin(), blob.end()));
  EXPECT_EQ(get.integer(2), std::int64_t{-1} << 40);
  EXPECT_TRUE(get.is_null(3));
  EXPECT_EQ(get.text(3), "");
  EXPECT_FALSE(get.is_null(0));
}

TEST(SqliteStatement, FailuresNameTheStepAndSqlitesCause) {
  testing::TempHome home;
  Connection db(home.dir() / "errors.sqlite3");
  Statement bad(db.get(), "SELEC 1");
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(sqlite_error(db.get(), "reading").message, "reading: near \"SELEC\": syntax error");
  EXPECT_NE(bad.step(), SQLITE_ROW);  // a statement that never prepared fails, it does not crash

  const auto missing = sqlite_exec(db.get(), "DELETE FROM nowhere", "clearing");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message, "clearing: no such table: nowhere");

  EXPECT_EQ(sqlite_error(nullptr, "opening").message, "opening: out of memory");
}

TEST(SqliteTransaction, OnlyCommittedWorkStays) {
  testing::TempHome home;
  const auto file = home.dir() / "tx.sqlite3";
  Connection db(file);
  ASSERT_TRUE(sqlite_exec(db.get(), "CREATE TABLE t(x)", "creating"));
  {
    Transaction tx(db.get());
    ASSERT_TRUE(tx.ok());
    ASSERT_TRUE(sqlite_exec(db.get(), "INSERT INTO t VALUES(1)", "writing"));
    // Left without commit(), as an early error return leaves it.
  }
  EXPECT_EQ(row_count(db.get()), 0);
  {
    Transaction tx(db.get());
    ASSERT_TRUE(sqlite_exec(db.get(), "INSERT INTO t VALUES(2)", "writing"));
    ASSERT_TRUE(tx.commit("committing"));
  }
  EXPECT_EQ(row_count(db.get()), 1);

  // A second writer holding the lock: BEGIN IMMEDIATE fails at once (no busy
  // timeout here) and says so, rather than failing later mid-write.
  Connection other(file);
  Transaction held(other.get());
  ASSERT_TRUE(held.ok());
  Transaction refused(db.get());
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(sqlite_error(db.get(), "writing").message, "writing: database is locked");
}

}  // namespace
}  // namespace velyn_ui::persist
