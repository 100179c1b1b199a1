#pragma once
// The state behind a Document. Internal to the document store.
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "docstore/change.h"
#include "docstore/document.h"
#include "objects.h"

namespace docstore::detail {

struct UndoEntry {
  enum class Kind : std::uint8_t { Slot, Insert, Create };
  Kind kind;
  ObjId obj;
  OpKey key;
  LiveOps prev_live;
};

struct UndoLog {
  std::vector<UndoEntry> entries;
};

struct HistoryEntry {
  Change change;
  std::vector<std::uint8_t> encoded;
};

struct ActorClock {
  std::uint64_t seq = 0;
  std::uint64_t max_op = 0;
};

struct Pending {
  Change change;
  std::vector<std::uint8_t> encoded;
  std::size_t missing = 0;  // deps not applied yet
};

}  // namespace docstore::detail

namespace docstore {

struct DocumentState {
  explicit DocumentState(ActorId a);

  ActorId actor;
  std::unordered_map<ObjId, detail::Object, ObjIdHash> objects;
  std::vector<detail::HistoryEntry> history;
  std::unordered_map<ChangeHash, std::size_t, ChangeHashHash> by_hash;
  std::vector<ChangeHash> heads;  // sorted
  std::map<ActorId, detail::ActorClock> clocks;
  std::uint64_t max_op = 0;
  std::unordered_map<ChangeHash, detail::Pending, ChangeHashHash> pending;
  std::unordered_map<ChangeHash, std::vector<ChangeHash>, ChangeHashHash> waiting_on;
  bool in_transaction = false;

  [[nodiscard]] const detail::Object* find_object(const ObjId& id) const;
  detail::Object* find_object(const ObjId& id);

  // Checks a change whose deps are applied against the current state.
  [[nodiscard]] velyn::Result<void> validate(const Change& c) const;
  // Applies one op that validate (or a transaction) checked. With a log, keeps
  // what undo needs; local_index is the visible position a local edit used.
  void apply_op(const Op& op, const OpId& id, detail::UndoLog* log, std::optional<std::size_t> local_index);
  void undo(detail::UndoLog& log);
  // Adds an applied change to history, heads and clocks.
  void record(Change change, std::vector<std::uint8_t> encoded);
  velyn::Result<void> apply_ready(Change change, std::vector<std::uint8_t> encoded);
  velyn::Result<ApplyReport> apply(std::vector<std::pair<Change, std::vector<std::uint8_t>>> incoming);
};

}  // namespace docstore
