// Local edits: ops are applied at once and undone unless committed.
#include <chrono>

#include "docstore/document.h"
#include "document_state.h"
#include "velyn/try.h"

namespace docstore {

struct Transaction::Log {
  detail::UndoLog undo;
  std::vector<Op> ops;
  std::uint64_t start_op = 0;
  bool open = true;
};

namespace {

std::vector<OpId> live_ids(const detail::Slot& slot) {
  std::vector<OpId> out;
  out.reserve(slot.live.size());
  for (const auto& op : slot.live) out.push_back(op.id);
  return out;
}

std::unexpected<velyn::Error> no_object(const ObjId& obj, const char* what) {
  return velyn::fail("no " + std::string(what) + " " + obj.to_string());
}

}  // namespace

Transaction::Transaction(Document& doc) : doc_(&doc), log_(std::make_unique<Log>()) {
  log_->start_op = doc.state_->max_op + 1;
  // A second transaction on the same document would interleave op ids.
  if (doc.state_->in_transaction) log_->open = false;
  doc.state_->in_transaction = log_->open;
}

Transaction::Transaction(Transaction&& other) noexcept : doc_(other.doc_), log_(std::move(other.log_)) {}

Transaction::~Transaction() {
  if (log_ && log_->open) rollback();
}

std::size_t Transaction::pending_ops() const { return log_ ? log_->ops.size() : 0; }

// One helper applies every kind of edit, so all share the same id rules.
static velyn::Result<ObjId> push_op(DocumentState& s, Transaction::Log& log, Op op,
                                    std::optional<std::size_t> local_index);

velyn::Result<void> Transaction::put(const ObjId& map, std::string_view key, Value scalar) {
  if (!scalar.is_scalar()) return velyn::fail("put takes a scalar; use put_object for objects");
  auto* s = doc_->state_.get();
  auto* o = s->find_object(map);
  if (!o || o->type != ObjType::Map) return no_object(map, "map");
  Op op{OpAction::Put, map, std::string(key), false, std::move(scalar), {}};
  if (const auto* slot = o->map.find(key)) op.pred = live_ids(*slot);
  VELYN_TRY_VOID(push_op(*s, *log_, std::move(op), std::nullopt));
  return {};
}

velyn::Result<ObjId> Transaction::put_object(const ObjId& map, std::string_view key, ObjType type) {
  auto* s = doc_->state_.get();
  auto* o = s->find_object(map);
  if (!o || o->type != ObjType::Map) return no_object(map, "map");
  Op op{type == ObjType::Map ? OpAction::MakeMap : OpAction::MakeList, map, std::string(key), false, Null{}, {}};
  if (const auto* slot = o->map.find(key)) op.pred = live_ids(*slot);
  return push_op(*s, *log_, std::move(op), std::nullopt);
}

static velyn::Result<ObjId> list_insert(DocumentState& s, Transaction::Log& log, const ObjId& list,
                                        std::size_t index, OpAction action, Value value) {
  auto* o = s.find_object(list);
  if (!o || o->type != ObjType::List) return no_object(list, "list");
  const auto& nodes = o->list->visible_nodes();
  if (index > nodes.size()) return velyn::fail("index " + std::to_string(index) + " is past the end of the list");
  const OpId ref = index == 0 ? OpId{} : nodes[index - 1]->id;
  return push_op(s, log, Op{action, list, ref, true, std::move(value), {}}, index);
}

static velyn::Result<ObjId> list_overwrite(DocumentState& s, Transaction::Log& log, const ObjId& list,
                                           std::size_t index, OpAction action, Value value) {
  auto* o = s.find_object(list);
  if (!o || o->type != ObjType::List) return no_object(list, "list");
  const auto& nodes = o->list->visible_nodes();
  if (index >= nodes.size()) return velyn::fail("index " + std::to_string(index) + " is out of range");
  const auto* node = nodes[index];
  return push_op(s, log, Op{action, list, node->id, false, std::move(value), live_ids(node->slot)}, index);
}

velyn::Result<void> Transaction::insert(const ObjId& list, std::size_t index, Value scalar) {
  if (!scalar.is_scalar()) return velyn::fail("insert takes a scalar; use insert_object for objects");
  VELYN_TRY_VOID(list_insert(*doc_->state_, *log_, list, index, OpAction::Put, std::move(scalar)));
  return {};
}

velyn::Result<ObjId> Transaction::insert_object(const ObjId& list, std::size_t index, ObjType type) {
  return list_insert(*doc_->state_, *log_, list, index, type == ObjType::Map ? OpAction::MakeMap : OpAction::MakeList,
                     Null{});
}

velyn::Result<void> Transaction::set(const ObjId& list, std::size_t index, Value scalar) {
  if (!scalar.is_scalar()) return velyn::fail("set takes a scalar; use set_object for objects");
  VELYN_TRY_VOID(list_overwrite(*doc_->state_, *log_, list, index, OpAction::Put, std::move(scalar)));
  return {};
}

velyn::Result<ObjId> Transaction::set_object(const ObjId& list, std::size_t index, ObjType type) {
  return list_overwrite(*doc_->state_, *log_, list, index,
                        type == ObjType::Map ? OpAction::MakeMap : OpAction::MakeList, Null{});
}

velyn::Result<void> Transaction::remove(const ObjId& map, std::string_view key) {
  auto* s = doc_->state_.get();
  auto* o = s->find_object(map);
  if (!o || o->type != ObjType::Map) return no_object(map, "map");
  const auto* slot = o->map.find(key);
  if (!slot || !slot->visible()) return {};
  VELYN_TRY_VOID(push_op(*s, *log_, Op{OpAction::Delete, map, std::string(key), false, Null{}, live_ids(*slot)},
                         std::nullopt));
  return {};
}

velyn::Result<void> Transaction::remove(const ObjId& list, std::size_t index) {
  VELYN_TRY_VOID(list_overwrite(*doc_->state_, *log_, list, index, OpAction::Delete, Null{}));
  return {};
}

static velyn::Result<ObjId> push_op(DocumentState& s, Transaction::Log& log, Op op,
                                    std::optional<std::size_t> local_index) {
  if (!log.open) return velyn::fail("the transaction is closed");
  if (log.ops.size() >= kMaxOpsPerChange) return velyn::fail("too many operations in one change");
  const OpId id{log.start_op + log.ops.size(), s.actor};
  s.apply_op(op, id, &log.undo, local_index);
  log.ops.push_back(std::move(op));
  return ObjId{id};
}

std::optional<Change> Transaction::commit() {
  if (!log_ || !log_->open) return std::nullopt;
  auto& s = *doc_->state_;
  log_->open = false;
  s.in_transaction = false;
  if (log_->ops.empty()) return std::nullopt;
  Change change;
  change.actor = s.actor;
  auto clock = s.clocks.find(s.actor);
  change.seq = (clock == s.clocks.end() ? 0 : clock->second.seq) + 1;
  change.start_op = log_->start_op;
  change.time = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
  change.deps = s.heads;
  change.ops = std::move(log_->ops);
  auto encoded = encode_change(change);
  Change copy = change;
  s.record(std::move(change), std::move(encoded));
  log_->undo.entries.clear();
  return copy;
}

void Transaction::rollback() {
  if (!log_ || !log_->open) return;
  auto& s = *doc_->state_;
  s.undo(log_->undo);
  log_->ops.clear();
  log_->open = false;
  s.in_transaction = false;
}

}  // namespace docstore
