// Record sets: documents per record, kept in step with their room.
// Invariants and states are listed in velyn_ui/records/record_set.h.
#include "velyn_ui/records/record_set.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "velyn/try.h"

namespace velyn_ui::record {

struct RecordSet::State {
  struct Entry {
    std::unique_ptr<docstore::Document> doc;
    std::unordered_set<docstore::ChangeHash, docstore::ChangeHashHash> persisted;
    std::size_t scanned = 0;    // history entries already checked for persisting
    std::int64_t cursor = 0;    // room changes of this record seen up to here
  };

  std::unique_ptr<persist::Room> room;  // null for an in-memory set
  std::map<RecordId, Record> records;
  std::map<RecordId, Entry> open;

  // Merges room changes into an entry; the ones it refuses are skipped.
  std::optional<velyn::Error> merge(Entry& entry, std::vector<persist::RoomChange>& changes) {
    std::vector<std::vector<std::uint8_t>> encoded;
    encoded.reserve(changes.size());
    for (auto& c : changes) {
      entry.cursor = std::max(entry.cursor, c.cursor);
      entry.persisted.insert(docstore::hash_bytes(c.bytes));
      encoded.push_back(std::move(c.bytes));
    }
    auto applied = entry.doc->apply_encoded(encoded);
    if (!applied) return applied.error();
    return std::nullopt;
  }

  velyn::Result<std::size_t> persist(Entry& entry) {
    std::size_t written = 0;
    const auto& doc = *entry.doc;
    for (; entry.scanned < doc.change_count(); ++entry.scanned) {
      const auto& change = doc.change_at(entry.scanned);
      if (entry.persisted.contains(change.hash)) continue;
      if (room) {
        const auto id = std::find_if(open.begin(), open.end(), [&](const auto& e) { return &e.second == &entry; });
        // Retried from here on the next call.
        VELYN_TRY_VOID(room->append_change(id->first, change, doc.encoded_change_at(entry.scanned)));
      }
      entry.persisted.insert(change.hash);
      ++written;
    }
    return written;
  }
};

RecordSet::RecordSet(std::unique_ptr<State> state) : state_(std::move(state)) {}
RecordSet::RecordSet(RecordSet&&) noexcept = default;
RecordSet& RecordSet::operator=(RecordSet&&) noexcept = default;
RecordSet::~RecordSet() = default;

RecordSet RecordSet::in_memory() { return RecordSet(std::make_unique<State>()); }

velyn::Result<RecordSet> RecordSet::with_room(std::unique_ptr<persist::Room> room) {
  auto state = std::make_unique<State>();
  for (auto& r : VELYN_TRY(room->load_records())) state->records.emplace(r.id, std::move(r));
  state->room = std::move(room);
  return RecordSet(std::move(state));
}

bool RecordSet::is_in_memory() const { return !state_->room; }

std::vector<Record> RecordSet::records() const {
  std::vector<Record> out;
  for (const auto& [id, r] : state_->records) out.push_back(r);
  return out;
}

std::optional<Record> RecordSet::find_record(const RecordId& id) const {
  auto it = state_->records.find(id);
  if (it == state_->records.end()) return std::nullopt;
  return it->second;
}

velyn::Result<std::reference_wrapper<docstore::Document>> RecordSet::document_for(const Record& record) {
  auto& s = *state_;
  if (auto it = s.open.find(record.id); it != s.open.end()) return std::ref(*it->second.doc);
  State::Entry entry;
  entry.doc = std::make_unique<docstore::Document>();
  Record stored = record;
  if (s.room) {
    stored = VELYN_TRY(s.room->ensure_record(record));  // the first writer's kind and links stay
    auto changes = VELYN_TRY(s.room->load_changes(record.id, 0));
    // A change the document refuses (written by a faulty peer) is skipped so
    // the rest of the record stays usable.
    (void)s.merge(entry, changes);
    entry.scanned = entry.doc->change_count();
  }
  s.records.insert_or_assign(stored.id, stored);
  auto [it, inserted] = s.open.emplace(record.id, std::move(entry));
  return std::ref(*it->second.doc);
}

std::optional<RecordId> RecordSet::identity(const docstore::Document& document) const {
  for (const auto& [id, entry] : state_->open) {
    if (entry.doc.get() == &document) return id;
  }
  return std::nullopt;
}

velyn::Result<std::size_t> RecordSet::persist_local_changes() {
  std::size_t total = 0;
  for (auto& [id, entry] : state_->open) {
    auto n = state_->persist(entry);
    if (!n) return n;
    total += *n;
  }
  return total;
}

velyn::Result<std::size_t> RecordSet::persist_local_changes(const docstore::Document& document) {
  for (auto& [id, entry] : state_->open) {
    if (entry.doc.get() == &document) return state_->persist(entry);
  }
  return velyn::fail("the document does not belong to this record set");
}

velyn::Result<bool> RecordSet::poll() {
  auto& s = *state_;
  if (!s.room || s.open.empty()) return false;
  const bool changed = VELYN_TRY(s.room->watch());
  if (!changed) return false;
  std::int64_t after = INT64_MAX;
  for (const auto& [id, entry] : s.open) after = std::min(after, entry.cursor);
  auto rows = VELYN_TRY(s.room->load_changes(std::nullopt, after));
  std::map<RecordId, std::vector<persist::RoomChange>> by_record;
  for (auto& row : rows) {
    auto it = s.open.find(row.record);
    if (it == s.open.end() || row.cursor <= it->second.cursor) continue;
    by_record[row.record].push_back(std::move(row));
  }
  bool any = false;
  std::optional<velyn::Error> first_error;
  for (auto& [id, changes] : by_record) {
    auto& entry = s.open.at(id);
    const auto before = entry.doc->change_count();
    if (auto e = s.merge(entry, changes); e && !first_error) first_error = e;
    // Merged changes came from the room: nothing to write back.
    if (entry.scanned == before) entry.scanned = entry.doc->change_count();
    any = any || entry.doc->change_count() != before;
  }
  if (first_error) return std::unexpected(first_error->prefixed("merging room changes"));
  return any;
}

std::optional<RecordId> identity(const RecordSet& set, const docstore::Document& document) {
  return set.identity(document);
}

}  // namespace velyn_ui::record
