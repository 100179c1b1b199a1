// Rooms: persistence, replication between connections and processes, crashes,
// and files that are not rooms.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "temp_home.h"
#include "velyn_ui/records/open_room.h"
#include "velyn_ui/records/sqlite_room.h"

namespace velyn_ui::persist {
namespace {

using docstore::ObjId;
using docstore::ObjType;
using record::Record;
using record::RecordId;

const Record kRecord{RecordId::derived("annotations", "/doc.pdf"), "annotation-set", {{"marks-up", "/doc.pdf"}}};

std::vector<char> read_all(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One change: append a map to "annotations" (creating the list when missing).
void append_annotation(docstore::Document& doc, const std::string& id) {
  auto tx = doc.begin();
  auto list = doc.get(ObjId::root(), "annotations");
  ObjId l = list && list->as_list() ? *list->as_list() : *tx.put_object(ObjId::root(), "annotations", ObjType::List);
  auto m = *tx.insert_object(l, tx.document().length(l), ObjType::Map);
  (void)tx.put(m, "id", id);
  (void)tx.put(m, "page", std::int64_t{1});
  tx.commit();
}

std::size_t annotation_count(const docstore::Document& doc) {
  auto list = doc.get(ObjId::root(), "annotations");
  return list && list->as_list() ? doc.length(*list->as_list()) : 0;
}

TEST(Room, OpensUnderTheDataHomeAndKeepsRecordsAndChanges) {
  testing::TempHome home;
  const auto expected = home.dir() / "data" / "org.example.viewer" / "rooms" / "ws-1.sqlite3";
  {
    auto opened = open_room("org.example.viewer", "ws-1");
    ASSERT_TRUE(opened) << opened.error().message;
    EXPECT_EQ(opened->companion.file, expected);
    EXPECT_EQ(opened->companion.workspace_id, "ws-1");
    auto doc = opened->records.document_for(kRecord);
    ASSERT_TRUE(doc);
    append_annotation(doc->get(), "a");
    append_annotation(doc->get(), "b");
    EXPECT_EQ(*opened->records.persist_local_changes(), 2u);
    EXPECT_EQ(*opened->records.persist_local_changes(), 0u);
  }
  ASSERT_TRUE(std::filesystem::exists(expected));
  auto again = open_room("org.example.viewer", "ws-1");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->records.find_record(kRecord.id), kRecord);
  // A later opener's kind and links do not replace the stored ones.
  Record other = kRecord;
  other.kind = "something-else";
  auto doc = again->records.document_for(other);
  ASSERT_TRUE(doc);
  EXPECT_EQ(again->records.find_record(kRecord.id)->kind, "annotation-set");
  EXPECT_EQ(annotation_count(doc->get()), 2u);
  EXPECT_EQ(doc->get().change_count(), 2u);
}

TEST(Room, RefusesIdsThatAreNotFileNames) {
  testing::TempHome home;
  for (const char* ws : {"", ".", "..", "a/b"}) EXPECT_FALSE(open_room("org.example.viewer", ws)) << ws;
  EXPECT_FALSE(open_room("../x", "ws"));
}

TEST(Room, SecondConnectionSeesCommittedChangesOnPoll) {
  testing::TempHome home;
  auto a = open_room("app.id", "ws");
  auto b = open_room("app.id", "ws");
  ASSERT_TRUE(a && b);
  auto& da = a->records.document_for(kRecord).value().get();
  auto& db = b->records.document_for(kRecord).value().get();
  EXPECT_EQ(*b->records.poll(), false);  // nothing happened yet
  append_annotation(da, "x");
  ASSERT_TRUE(a->records.persist_local_changes());
  EXPECT_EQ(*b->records.poll(), true);
  EXPECT_EQ(annotation_count(db), 1u);
  EXPECT_EQ(db.heads(), da.heads());
  EXPECT_EQ(*b->records.poll(), false);
  // Merged changes are not written back as b's own.
  EXPECT_EQ(*b->records.persist_local_changes(), 0u);
  EXPECT_EQ(*a->records.poll(), false);
}

// Two processes on one room file append 500 changes each at the same time.
TEST(Room, TwoProcessesAppendingConcurrentlyConverge) {
  testing::TempHome home;
  constexpr int kEach = 500;
  const auto file = home.dir() / "shared.sqlite3";
  ASSERT_TRUE(open(file));  // create the schema once
  std::vector<pid_t> children;
  for (int who = 0; who < 2; ++who) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 1;
      if (auto room = open(file)) {
        auto& doc = room->records.document_for(kRecord).value().get();
        bool ok = true;
        for (int i = 0; i < kEach && ok; ++i) {
          append_annotation(doc, std::to_string(who) + "-" + std::to_string(i));
          ok = room->records.persist_local_changes().has_value() && room->records.poll().has_value();
        }
        for (int spin = 0; ok && spin < 20000 && doc.change_count() < 2 * kEach; ++spin) {
          ok = room->records.poll().has_value();
          ::usleep(1000);
        }
        std::ofstream(home.dir() / ("state-" + std::to_string(who))) << annotation_count(doc) << " "
                                                                     << doc.change_count();
        status = ok && doc.change_count() == 2 * kEach ? 0 : 2;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto room = open(file);
  ASSERT_TRUE(room);
  auto& doc = room->records.document_for(kRecord).value().get();
  EXPECT_EQ(doc.change_count(), 2u * kEach);
  EXPECT_EQ(doc.waiting_count(), 0u);
  const std::string expected = std::to_string(annotation_count(doc)) + " " + std::to_string(2 * kEach);
  for (int who = 0; who < 2; ++who) {
    std::ifstream in(home.dir() / ("state-" + std::to_string(who)));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, expected) << who;
  }
  // Each process created "annotations" concurrently: one list wins, the count
  // of what is visible is the same everywhere.
  EXPECT_GE(annotation_count(doc), static_cast<std::size_t>(kEach));
}

TEST(Room, ProcessKilledWhileAppendingLosesOnlyItsUncommittedChange) {
  testing::TempHome home;
  const auto file = home.dir() / "crash.sqlite3";
  int pipefd[2];
  ASSERT_EQ(::pipe(pipefd), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(pipefd[0]);
    auto room = open(file);
    if (!room) ::_exit(1);
    auto& doc = room->records.document_for(kRecord).value().get();
    for (std::uint32_t i = 1;; ++i) {
      append_annotation(doc, std::to_string(i));
      if (!room->records.persist_local_changes()) ::_exit(2);
      if (::write(pipefd[1], &i, sizeof i) != sizeof i) ::_exit(3);  // i changes are committed
    }
  }
  ::close(pipefd[1]);
  std::uint32_t committed = 0;
  while (committed < 300) {
    ASSERT_EQ(::read(pipefd[0], &committed, sizeof committed), static_cast<ssize_t>(sizeof committed));
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  // The child ran on between the read above and the kill: what it reported
  // since is still in the pipe, and the last number there is what it committed.
  for (std::uint32_t later = 0; ::read(pipefd[0], &later, sizeof later) == static_cast<ssize_t>(sizeof later);) {
    committed = later;
  }
  ::close(pipefd[0]);
  ASSERT_TRUE(WIFSIGNALED(status));

  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok");
    sqlite3_finalize(s);
    sqlite3_close(db);
  }
  auto room = open(file);
  ASSERT_TRUE(room) << room.error().message;
  auto& doc = room->records.document_for(kRecord).value().get();
  EXPECT_GE(doc.change_count(), committed);
  EXPECT_LE(doc.change_count(), committed + 1u);  // at most the one in flight
  EXPECT_EQ(doc.waiting_count(), 0u);
  EXPECT_EQ(annotation_count(doc), doc.change_count());
}

TEST(Room, FilesThatAreNotRoomsFailWithTheirNameAndStayUntouched) {
  testing::TempHome home;
  const auto garbage = home.dir() / "garbage.sqlite3";
  std::ofstream(garbage) << std::string(8192, 'x');

  const auto foreign = home.dir() / "foreign.sqlite3";
  {
    sqlite3* db = nullptr;
    sqlite3_open(foreign.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }

  const auto corrupt = home.dir() / "corrupt.sqlite3";
  {
    auto room = open(corrupt);
    ASSERT_TRUE(room);
    auto& doc = room->records.document_for(kRecord).value().get();
    for (int i = 0; i < 200; ++i) append_annotation(doc, std::string(200, 'a') + std::to_string(i));
    ASSERT_TRUE(room->records.persist_local_changes());
  }
  {
    // Fold the WAL in, then overwrite pages in the middle of the file.
    sqlite3* db = nullptr;
    sqlite3_open(corrupt.c_str(), &db);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    auto bytes = read_all(corrupt);
    ASSERT_GT(bytes.size(), 6u * 4096);
    for (std::size_t i = 2 * 4096; i < 5 * 4096; ++i) bytes[i] = static_cast<char>(i * 7);
    std::ofstream(corrupt, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  for (const auto& file : {garbage, foreign, corrupt}) {
    const auto before = read_all(file);
    auto opened = open(file);
    ASSERT_FALSE(opened) << file;
    EXPECT_NE(opened.error().message.find(file.string()), std::string::npos) << opened.error().message;
    EXPECT_EQ(read_all(file), before) << file;
  }
}

}  // namespace
}  // namespace velyn_ui::persist
