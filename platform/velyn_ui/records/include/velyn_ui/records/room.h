#pragma once
// The room: where records and their change logs are kept and shared.
//
// The record set talks to a room only through this interface (load, append,
// watch), so a server-backed room can stand beside the SQLite one.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "docstore/change.h"
#include "velyn/error.h"
#include "velyn_ui/records/record.h"

namespace velyn_ui::persist {

// One stored change. `cursor` increases in append order across the whole room,
// so "everything after cursor c" names what a reader has not seen yet.
struct RoomChange {
  std::int64_t cursor = 0;
  record::RecordId record;
  std::vector<std::uint8_t> bytes;  // docstore::encode_change form
};

class Room {
 public:
  virtual ~Room() = default;

  virtual velyn::Result<std::vector<record::Record>> load_records() = 0;
  // Stores the record unless one with its id exists; returns the stored record.
  virtual velyn::Result<record::Record> ensure_record(const record::Record& record) = 0;
  // Changes after `after_cursor`, for one record or (nullopt) for all, in order.
  virtual velyn::Result<std::vector<RoomChange>> load_changes(std::optional<record::RecordId> record,
                                                             std::int64_t after_cursor) = 0;
  // Appends one change atomically (its own transaction). Appending a change the
  // room already holds for that record is a no-op success.
  virtual velyn::Result<void> append_change(const record::RecordId& record, const docstore::Change& change,
                                            std::span<const std::uint8_t> encoded) = 0;
  // True when someone else may have appended since the last call. Cheap.
  virtual velyn::Result<bool> watch() = 0;
};

}  // namespace velyn_ui::persist
