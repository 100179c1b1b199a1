#pragma once
// The set of records an instance works with, and their replicated documents.
//
// Invariants and states:
// - A record's document is created on first use (document_for) and lives, at a
//   stable address, as long as the set. Its history starts with every change the
//   room holds for it.
// - `persisted` holds the hashes the room is known to hold per record; local
//   changes are the document's changes not in it. persist_local_changes appends
//   them, one room transaction per change, in history order.
// - poll merges changes other processes appended after the last cursor seen.
// - An in-memory set has no room: persisting and polling do nothing.
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "docstore/document.h"
#include "velyn/error.h"
#include "velyn_ui/records/record.h"
#include "velyn_ui/records/room.h"

namespace velyn_ui::record {

class RecordSet {
 public:
  // A set that persists nothing (headless harness, screenshots).
  static RecordSet in_memory();
  // A set backed by a room; loads the room's records.
  static velyn::Result<RecordSet> with_room(std::unique_ptr<persist::Room> room);

  RecordSet(RecordSet&&) noexcept;
  RecordSet& operator=(RecordSet&&) noexcept;
  ~RecordSet();

  [[nodiscard]] bool is_in_memory() const;
  [[nodiscard]] std::vector<Record> records() const;
  [[nodiscard]] std::optional<Record> find_record(const RecordId& id) const;

  // The document of the record, creating the record (kind, links) in the room
  // when it does not exist and loading its stored changes on first use.
  velyn::Result<std::reference_wrapper<docstore::Document>> document_for(const Record& record);
  // Which record a document handed out by this set belongs to.
  [[nodiscard]] std::optional<RecordId> identity(const docstore::Document& document) const;

  // Appends the local changes of every open document (or of one) to the room.
  // Returns how many changes were written.
  velyn::Result<std::size_t> persist_local_changes();
  velyn::Result<std::size_t> persist_local_changes(const docstore::Document& document);

  // Merges changes other processes appended; cheap when nothing changed.
  // Returns whether any document changed.
  velyn::Result<bool> poll();

 private:
  struct State;
  explicit RecordSet(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Free form of RecordSet::identity, as the viewer calls it.
std::optional<RecordId> identity(const RecordSet& set, const docstore::Document& document);

}  // namespace velyn_ui::record
