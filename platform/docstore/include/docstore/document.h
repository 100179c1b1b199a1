#pragma once
// The replicated document: an operation-based JSON CRDT (root map, maps, lists,
// scalars) with materialised reads.
//
// Invariants:
// - history holds every applied change in the order applied, which is a causal
//   order (each change after all its deps); its hashes are unique.
// - Each map key and list element keeps its live operations: those no applied
//   operation names in its pred. The visible value is the live op with the
//   highest OpId, so concurrent puts resolve to the same winner everywhere.
// - A list is RGA: elements in a sequence that includes tombstones (elements
//   with no live op); insertion places a new element after its reference,
//   skipping elements with greater ids, so concurrent inserts keep both.
// - pending holds changes whose deps are not all applied yet; nothing in it is
//   visible. Applying a change already in history or pending is a no-op.
// - A Transaction applies its ops at once (reads see them) and keeps an undo
//   log; commit seals them into one Change, dropping without commit undoes them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "docstore/change.h"
#include "docstore/function_ref.h"
#include "docstore/ids.h"
#include "docstore/member_names.h"
#include "docstore/value.h"
#include "velyn/error.h"

namespace docstore {

class Transaction;
struct DocumentState;  // materialised objects; defined in the implementation
namespace detail {
struct MapObj;
struct ListObj;
}
class ListView;

// A borrowed view of one map's visible members. It and every reference it
// hands out stay valid until the document next changes (an edit, a merge, a
// rollback); a default view is an empty map.
class MapView {
 public:
  MapView() = default;

  // The visible winner at `key`, or null.
  [[nodiscard]] const Value* find(std::string_view key) const;
  [[nodiscard]] std::size_t size() const;
  [[nodiscard]] bool empty() const { return size() == 0; }
  // Visible members in key order (bytewise), winners only.
  void for_each(FunctionRef<void(std::string_view key, const Value& value)> visit) const;
  // The map or list that wins at `key`, reached without a lookup; an empty
  // view when the winner is something else.
  [[nodiscard]] MapView find_map(std::string_view key) const;
  [[nodiscard]] ListView find_list(std::string_view key) const;
  // Several members in one ordered pass, for readers that want most of a
  // map: `names` sorted bytewise without repeats; found[i] becomes the winner
  // at names[i], or null. Fills min(names.size(), found.size()) entries.
  void find_sorted(std::span<const std::string_view> names, std::span<const Value*> found) const;
  // The same with the names' key prefixes computed once, ahead of time.
  template <std::size_t N>
  void find_sorted(const MemberNames<N>& names, std::array<const Value*, N>& found) const {
    find_sorted(names.names(), names.prefixes(), found);
  }
  void find_sorted(std::span<const std::string_view> names, std::span<const std::uint64_t> prefixes,
                   std::span<const Value*> found) const;

 private:
  friend class Document;
  friend class ListView;
  explicit MapView(const detail::MapObj* map) : map_(map) {}
  const detail::MapObj* map_ = nullptr;
};

// A borrowed view of one list's visible elements, valid like a MapView; a
// default view is an empty list.
class ListView {
 public:
  ListView() = default;

  [[nodiscard]] std::size_t size() const;
  [[nodiscard]] bool empty() const { return size() == 0; }
  void for_each_item(FunctionRef<void(std::size_t index, const Value& value)> visit) const;
  // The elements that are maps, with their positions among all visible elements.
  void for_each_map(FunctionRef<void(std::size_t index, const ObjId& map, const MapView& members)> visit) const;
  // for_each_map over several lists as one sequence, list by list, with the
  // list's position in `lists`: for many short lists (one thread per record)
  // the memory of later lists is requested while earlier ones are visited.
  static void for_each_map_in(
      std::span<const ListView> lists,
      FunctionRef<void(std::size_t list, std::size_t index, const ObjId& map, const MapView& members)> visit);

 private:
  friend class Document;
  friend class MapView;
  explicit ListView(const detail::ListObj* list) : list_(list) {}
  const detail::ListObj* list_ = nullptr;
};

struct ApplyReport {
  std::size_t applied = 0;     // changes that became visible in this call
  std::size_t duplicates = 0;  // already known
  std::size_t waiting = 0;     // held back for missing deps (total after the call)
};

class Document {
 public:
  // A fresh, empty document edited by a new random actor.
  Document();
  explicit Document(ActorId actor);
  ~Document();
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  [[nodiscard]] const ActorId& actor() const;

  // --- reads (materialised state; never replay history) ---
  [[nodiscard]] std::optional<ObjType> object_type(const ObjId& obj) const;
  [[nodiscard]] std::optional<Value> get(const ObjId& map, std::string_view key) const;
  // Every live value of a key, winner first (more than one after concurrent puts).
  [[nodiscard]] std::vector<Value> get_conflicts(const ObjId& map, std::string_view key) const;
  [[nodiscard]] std::vector<std::string> keys(const ObjId& map) const;  // sorted bytewise
  [[nodiscard]] std::vector<std::pair<std::string, Value>> entries(const ObjId& map) const;
  [[nodiscard]] std::size_t length(const ObjId& obj) const;  // list length or map size; 0 if absent
  [[nodiscard]] std::optional<Value> at(const ObjId& list, std::size_t index) const;
  [[nodiscard]] std::vector<Value> list_items(const ObjId& list) const;
  // Id of the visible list element at index (stable name of a list slot).
  [[nodiscard]] std::optional<OpId> element_id(const ObjId& list, std::size_t index) const;

  // --- borrowing reads: no copies; what they hand out is valid until the
  // document next changes, and the visitors must not change it ---
  // The map `map`, or an empty view when there is no such map.
  [[nodiscard]] MapView lookup_map(const ObjId& map) const;
  [[nodiscard]] ListView lookup_list(const ObjId& list) const;
  void for_each_entry(const ObjId& map, FunctionRef<void(std::string_view key, const Value& value)> visit) const;
  // Visible elements of `list` with their positions.
  void for_each_item(const ObjId& list, FunctionRef<void(std::size_t index, const Value& value)> visit) const;
  // The visible elements of `list` that are maps, with their positions among
  // all visible elements; reaching each map costs no lookup.
  void for_each_map(const ObjId& list,
                    FunctionRef<void(std::size_t index, const ObjId& map, const MapView& members)> visit) const;

  // --- history ---
  [[nodiscard]] std::vector<ChangeHash> heads() const;  // sorted
  [[nodiscard]] std::vector<Change> changes_since(std::span<const ChangeHash> heads) const;
  [[nodiscard]] std::size_t change_count() const;  // applied changes, in history order
  [[nodiscard]] const Change& change_at(std::size_t index) const;
  [[nodiscard]] std::span<const std::uint8_t> encoded_change_at(std::size_t index) const;
  [[nodiscard]] bool has_change(const ChangeHash& hash) const;
  [[nodiscard]] std::size_t waiting_count() const;

  // --- merging ---
  // Applies changes in causal order; changes with missing deps wait for them.
  // A change that contradicts the document (bad seq, unknown objects, ids that
  // go backwards) is refused with an error and changes nothing; the other
  // changes of the call are still applied.
  velyn::Result<ApplyReport> apply_changes(std::span<const Change> changes);
  velyn::Result<ApplyReport> apply_encoded(std::span<const std::vector<std::uint8_t>> changes);

  // --- local edits ---
  Transaction begin();

  // --- save/load: the whole history as length-prefixed encoded changes ---
  [[nodiscard]] std::vector<std::uint8_t> save() const;
  static velyn::Result<Document> load(std::span<const std::uint8_t> bytes, ActorId actor);
  static velyn::Result<Document> load(std::span<const std::uint8_t> bytes);

 private:
  friend class Transaction;
  std::unique_ptr<DocumentState> state_;
};

// Local edits. Index arguments are positions among visible list elements.
// Errors (wrong object type, index out of range, no object) change nothing.
class Transaction {
 public:
  ~Transaction();  // rolls back unless committed
  Transaction(Transaction&&) noexcept;
  Transaction& operator=(Transaction&&) = delete;
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  velyn::Result<void> put(const ObjId& map, std::string_view key, Value scalar);
  velyn::Result<ObjId> put_object(const ObjId& map, std::string_view key, ObjType type);
  velyn::Result<void> insert(const ObjId& list, std::size_t index, Value scalar);
  velyn::Result<ObjId> insert_object(const ObjId& list, std::size_t index, ObjType type);
  velyn::Result<void> set(const ObjId& list, std::size_t index, Value scalar);
  velyn::Result<ObjId> set_object(const ObjId& list, std::size_t index, ObjType type);
  // Removing an absent key is a no-op success.
  velyn::Result<void> remove(const ObjId& map, std::string_view key);
  velyn::Result<void> remove(const ObjId& list, std::size_t index);

  // Reads through the transaction see its own edits.
  [[nodiscard]] const Document& document() const { return *doc_; }
  [[nodiscard]] std::size_t pending_ops() const;

  // Seals the ops into one change (nullopt when there were none).
  std::optional<Change> commit();
  void rollback();

  struct Log;  // the edits so far; opaque outside the store

 private:
  friend class Document;
  explicit Transaction(Document& doc);
  Document* doc_;
  std::unique_ptr<Log> log_;
};

}  // namespace docstore
