#pragma once
// The embedded room: one SQLite file shared by the processes of a workspace.
//
// The file is opened in WAL mode with a busy timeout, so a writer in another
// process is waited for, not failed. Tables: records (id, kind), record_links
// (record, position, relation, target) and changes (cursor, record, hash, actor,
// seq, bytes). Every append is one transaction: a process killed mid-append
// loses at most that change. synchronous=NORMAL: a process crash loses nothing
// committed; a power cut may lose the last commits but never the file.
// A file that is not a room (another database, garbage, corruption) is refused
// with an error naming it and is never written.
#include <filesystem>
#include <memory>

#include "velyn_ui/records/room.h"

namespace velyn_ui::persist {

// Waiting for another process's write lock before an operation fails.
inline constexpr int kRoomBusyTimeoutMs = 10'000;

class SqliteRoom final : public Room {
 public:
  // Opens or creates the room file (creating missing parent directories).
  static velyn::Result<std::unique_ptr<SqliteRoom>> open(const std::filesystem::path& file);
  ~SqliteRoom() override;

  velyn::Result<std::vector<record::Record>> load_records() override;
  velyn::Result<record::Record> ensure_record(const record::Record& record) override;
  velyn::Result<std::vector<RoomChange>> load_changes(std::optional<record::RecordId> record,
                                                     std::int64_t after_cursor) override;
  velyn::Result<void> append_change(const record::RecordId& record, const docstore::Change& change,
                                    std::span<const std::uint8_t> encoded) override;
  velyn::Result<bool> watch() override;

  [[nodiscard]] const std::filesystem::path& file() const { return file_; }

 private:
  struct Db;
  SqliteRoom(std::filesystem::path file, std::unique_ptr<Db> db);
  std::filesystem::path file_;
  std::unique_ptr<Db> db_;
};

}  // namespace velyn_ui::persist
