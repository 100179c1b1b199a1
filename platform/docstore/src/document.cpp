// The replicated document: merging changes and serving materialised reads.
// Invariants are listed in docstore/document.h.
#include "docstore/document.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <unordered_set>

#include "document_state.h"
#include "leb128.h"

namespace docstore {
namespace {

std::unexpected<velyn::Error> refuse(const Change& c, const std::string& why) {
  return velyn::fail("change " + std::to_string(c.seq) + " of " + c.actor.to_string() + " refused: " + why);
}

}  // namespace

using namespace detail;

DocumentState::DocumentState(ActorId a) : actor(a) {
  Object root;
  root.type = ObjType::Map;
  objects.emplace(ObjId::root(), std::move(root));
}

const Object* DocumentState::find_object(const ObjId& id) const {
  auto it = objects.find(id);
  return it == objects.end() ? nullptr : &it->second;
}
Object* DocumentState::find_object(const ObjId& id) {
  auto it = objects.find(id);
  return it == objects.end() ? nullptr : &it->second;
}

velyn::Result<void> DocumentState::validate(const Change& c) const {
  auto clock = clocks.find(c.actor);
  const std::uint64_t last_seq = clock == clocks.end() ? 0 : clock->second.seq;
  const std::uint64_t last_op = clock == clocks.end() ? 0 : clock->second.max_op;
  if (c.seq != last_seq + 1) {
    return refuse(c, "expected sequence number " + std::to_string(last_seq + 1));
  }
  if (c.start_op <= last_op) return refuse(c, "operation ids go backwards");
  if (c.ops.empty()) return refuse(c, "no operations");

  // Objects and elements made earlier in this same change.
  std::unordered_map<ObjId, ObjType, ObjIdHash> made;
  std::unordered_map<OpId, ObjId, OpIdHash> inserted;
  for (std::size_t i = 0; i < c.ops.size(); ++i) {
    const Op& op = c.ops[i];
    const OpId own{c.start_op + i, c.actor};
    std::optional<ObjType> type;
    if (const Object* o = find_object(op.obj)) {
      type = o->type;
    } else if (auto it = made.find(op.obj); it != made.end()) {
      type = it->second;
    }
    const std::string where = "op " + std::to_string(i) + ": ";
    if (!type) return refuse(c, where + "unknown object " + op.obj.to_string());
    const bool elem_key = std::holds_alternative<OpId>(op.key);
    if ((*type == ObjType::Map) == elem_key) return refuse(c, where + "key does not fit the object");
    if (op.action == OpAction::Put && !op.value.is_scalar()) return refuse(c, where + "not a scalar");
    if (elem_key) {
      const OpId& elem = std::get<OpId>(op.key);
      const bool head = elem.counter == 0;
      if (head && !op.insert) return refuse(c, where + "no element");
      if (!head) {
        bool found = false;
        if (const Object* o = find_object(op.obj)) found = o->list->index.contains(elem);
        if (!found) {
          auto it = inserted.find(elem);
          found = it != inserted.end() && it->second == op.obj;
        }
        if (!found) return refuse(c, where + "unknown list element");
      }
      if (op.insert) inserted.emplace(own, op.obj);
    }
    if (op.action == OpAction::MakeMap) made.emplace(ObjId{own}, ObjType::Map);
    if (op.action == OpAction::MakeList) made.emplace(ObjId{own}, ObjType::List);
  }
  return {};
}

void DocumentState::apply_op(const Op& op, const OpId& id, UndoLog* log, std::optional<std::size_t> local_index) {
  Object& obj = *find_object(op.obj);
  Value value = op.value;
  const Object* made_object = nullptr;
  if (op.action == OpAction::MakeMap || op.action == OpAction::MakeList) {
    Object made;
    made.type = op.action == OpAction::MakeMap ? ObjType::Map : ObjType::List;
    if (made.type == ObjType::List) made.list = std::make_unique<ListObj>();
    value = ObjRef{ObjId{id}, made.type};
    made_object = &objects.emplace(ObjId{id}, std::move(made)).first->second;
  }

  if (obj.type == ObjType::Map) {
    MapObj& m = obj.map;
    const auto& key = std::get<std::string>(op.key);
    Slot& s = m.find_or_add(key);
    const bool was = s.visible();
    if (log) log->entries.push_back({UndoEntry::Kind::Slot, op.obj, op.key, s.live});
    s.remove_preds(op.pred);
    if (op.action != OpAction::Delete) s.add({id, std::move(value), made_object});
    m.visible = m.visible + (s.visible() ? 1 : 0) - (was ? 1 : 0);
  } else {
    ListObj& l = *obj.list;
    const OpId& elem = std::get<OpId>(op.key);
    if (op.insert) {
      ListNode* pos = elem.counter == 0 ? nullptr : l.index.at(elem);
      ListNode* n = pos ? pos->next : l.first;
      // RGA: later inserts after the same reference come first; skip them.
      while (n && id < n->id) {
        pos = n;
        n = n->next;
      }
      ListNode* node = &l.storage.emplace_back();
      node->id = id;
      node->slot.add({id, std::move(value), made_object});
      node->prev = pos;
      node->next = n;
      (pos ? pos->next : l.first) = node;
      (n ? n->prev : l.last) = node;
      l.index.emplace(id, node);
      if (l.visible_valid) {
        if (local_index) l.visible.insert(l.visible.begin() + static_cast<std::ptrdiff_t>(*local_index), node);
        else if (!node->next) l.visible.push_back(node);
        else l.visible_valid = false;
      }
      if (log) log->entries.push_back({UndoEntry::Kind::Insert, op.obj, OpKey{id}, {}});
    } else {
      ListNode* node = l.index.at(elem);
      const bool was = node->slot.visible();
      if (log) log->entries.push_back({UndoEntry::Kind::Slot, op.obj, op.key, node->slot.live});
      node->slot.remove_preds(op.pred);
      if (op.action != OpAction::Delete) node->slot.add({id, std::move(value), made_object});
      if (was != node->slot.visible()) {
        if (local_index && l.visible_valid && was) {
          l.visible.erase(l.visible.begin() + static_cast<std::ptrdiff_t>(*local_index));
        } else {
          l.visible_valid = false;
        }
      }
    }
  }

  // Logged last so that rollback forgets the op before it erases the object.
  if (made_object && log) log->entries.push_back({UndoEntry::Kind::Create, ObjId{id}, OpKey{}, {}});
}

void DocumentState::undo(UndoLog& log) {
  for (auto it = log.entries.rbegin(); it != log.entries.rend(); ++it) {
    switch (it->kind) {
      case UndoEntry::Kind::Create:
        objects.erase(it->obj);
        break;
      case UndoEntry::Kind::Insert: {
        ListObj& l = *find_object(it->obj)->list;
        const OpId id = std::get<OpId>(it->key);
        ListNode* node = l.index.at(id);
        (node->prev ? node->prev->next : l.first) = node->next;
        (node->next ? node->next->prev : l.last) = node->prev;
        l.index.erase(id);
        l.visible_valid = false;
        break;
      }
      case UndoEntry::Kind::Slot: {
        Object& obj = *find_object(it->obj);
        if (obj.type == ObjType::Map) {
          Slot& s = *obj.map.find(std::get<std::string>(it->key));
          const bool was = s.visible();
          s.live = std::move(it->prev_live);
          obj.map.visible = obj.map.visible + (s.visible() ? 1 : 0) - (was ? 1 : 0);
        } else {
          obj.list->index.at(std::get<OpId>(it->key))->slot.live = std::move(it->prev_live);
          obj.list->visible_valid = false;
        }
        break;
      }
    }
  }
  log.entries.clear();
}

void DocumentState::record(Change change, std::vector<std::uint8_t> encoded) {
  auto& clock = clocks[change.actor];
  clock.seq = change.seq;
  clock.max_op = change.max_op();
  max_op = std::max(max_op, change.max_op());
  for (const auto& dep : change.deps) {
    auto it = std::lower_bound(heads.begin(), heads.end(), dep);
    if (it != heads.end() && *it == dep) heads.erase(it);
  }
  heads.insert(std::lower_bound(heads.begin(), heads.end(), change.hash), change.hash);
  by_hash.emplace(change.hash, history.size());
  history.push_back({std::move(change), std::move(encoded)});
}

velyn::Result<void> DocumentState::apply_ready(Change change, std::vector<std::uint8_t> encoded) {
  if (auto ok = validate(change); !ok) return ok;
  for (std::size_t i = 0; i < change.ops.size(); ++i) {
    apply_op(change.ops[i], OpId{change.start_op + i, change.actor}, nullptr, std::nullopt);
  }
  record(std::move(change), std::move(encoded));
  return {};
}

velyn::Result<ApplyReport> DocumentState::apply(std::vector<std::pair<Change, std::vector<std::uint8_t>>> incoming) {
  if (in_transaction) return velyn::fail("cannot merge changes while a transaction is open");
  ApplyReport report;
  std::optional<velyn::Error> first_error;
  std::vector<ChangeHash> ready;
  for (auto& [change, encoded] : incoming) {
    const ChangeHash hash = change.hash;
    if (by_hash.contains(hash) || pending.contains(hash)) {
      ++report.duplicates;
      continue;
    }
    std::size_t missing = 0;
    for (const auto& dep : change.deps) {
      if (!by_hash.contains(dep)) {
        ++missing;
        waiting_on[dep].push_back(hash);
      }
    }
    pending.emplace(hash, Pending{std::move(change), std::move(encoded), missing});
    if (missing == 0) ready.push_back(hash);
    // Apply what is ready at once, so duplicates later in the batch are seen.
    while (!ready.empty()) {
      const ChangeHash h = ready.back();
      ready.pop_back();
      auto node = pending.extract(h);
      auto applied = apply_ready(std::move(node.mapped().change), std::move(node.mapped().encoded));
      if (!applied) {
        if (!first_error) first_error = applied.error();
        continue;
      }
      ++report.applied;
      if (auto w = waiting_on.find(h); w != waiting_on.end()) {
        for (const auto& waiter : w->second) {
          auto p = pending.find(waiter);
          if (p != pending.end() && --p->second.missing == 0) ready.push_back(waiter);
        }
        waiting_on.erase(w);
      }
    }
  }
  report.waiting = pending.size();
  if (first_error) return std::unexpected(*first_error);
  return report;
}

Document::Document() : Document(ActorId::random()) {}
Document::Document(ActorId actor) : state_(std::make_unique<DocumentState>(actor)) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

const ActorId& Document::actor() const { return state_->actor; }

std::optional<ObjType> Document::object_type(const ObjId& obj) const {
  if (const auto* o = state_->find_object(obj)) return o->type;
  return std::nullopt;
}

std::optional<Value> Document::get(const ObjId& map, std::string_view key) const {
  const auto* o = state_->find_object(map);
  if (!o || o->type != ObjType::Map) return std::nullopt;
  const auto* s = o->map.find(key);
  if (!s || !s->visible()) return std::nullopt;
  return s->live.front().value;
}

std::vector<Value> Document::get_conflicts(const ObjId& map, std::string_view key) const {
  std::vector<Value> out;
  const auto* o = state_->find_object(map);
  if (!o || o->type != ObjType::Map) return out;
  if (const auto* s = o->map.find(key)) {
    for (const auto& op : s->live) out.push_back(op.value);
  }
  return out;
}

std::vector<std::string> Document::keys(const ObjId& map) const {
  std::vector<std::string> out;
  const auto* o = state_->find_object(map);
  if (!o || o->type != ObjType::Map) return out;
  out.reserve(o->map.visible);
  for (const MapEntry& e : o->map.entries) {
    if (e.slot.visible()) out.emplace_back(e.key.view());
  }
  return out;
}

std::vector<std::pair<std::string, Value>> Document::entries(const ObjId& map) const {
  std::vector<std::pair<std::string, Value>> out;
  const auto* o = state_->find_object(map);
  if (!o || o->type != ObjType::Map) return out;
  out.reserve(o->map.visible);
  for (const MapEntry& e : o->map.entries) {
    if (e.slot.visible()) out.emplace_back(std::string(e.key.view()), e.slot.live.front().value);
  }
  return out;
}

std::size_t Document::length(const ObjId& obj) const {
  const auto* o = state_->find_object(obj);
  if (!o) return 0;
  return o->type == ObjType::Map ? o->map.visible : o->list->visible_nodes().size();
}

std::optional<Value> Document::at(const ObjId& list, std::size_t index) const {
  const auto* o = state_->find_object(list);
  if (!o || o->type != ObjType::List) return std::nullopt;
  const auto& nodes = o->list->visible_nodes();
  if (index >= nodes.size()) return std::nullopt;
  return nodes[index]->slot.live.front().value;
}

std::vector<Value> Document::list_items(const ObjId& list) const {
  std::vector<Value> out;
  const auto* o = state_->find_object(list);
  if (!o || o->type != ObjType::List) return out;
  const auto& nodes = o->list->visible_nodes();
  out.reserve(nodes.size());
  for (const auto* n : nodes) out.push_back(n->slot.live.front().value);
  return out;
}

std::optional<OpId> Document::element_id(const ObjId& list, std::size_t index) const {
  const auto* o = state_->find_object(list);
  if (!o || o->type != ObjType::List) return std::nullopt;
  const auto& nodes = o->list->visible_nodes();
  if (index >= nodes.size()) return std::nullopt;
  return nodes[index]->id;
}

MapView Document::lookup_map(const ObjId& map) const {
  const auto* o = state_->find_object(map);
  return o && o->type == ObjType::Map ? MapView(&o->map) : MapView();
}

void Document::for_each_entry(const ObjId& map, FunctionRef<void(std::string_view, const Value&)> visit) const {
  lookup_map(map).for_each(visit);
}

ListView Document::lookup_list(const ObjId& list) const {
  const auto* o = state_->find_object(list);
  return o && o->type == ObjType::List ? ListView(o->list.get()) : ListView();
}

void Document::for_each_item(const ObjId& list, FunctionRef<void(std::size_t, const Value&)> visit) const {
  lookup_list(list).for_each_item(visit);
}

void Document::for_each_map(const ObjId& list,
                            FunctionRef<void(std::size_t, const ObjId&, const MapView&)> visit) const {
  lookup_list(list).for_each_map(visit);
}

std::size_t ListView::size() const { return list_ ? list_->visible_nodes().size() : 0; }

void ListView::for_each_item(FunctionRef<void(std::size_t, const Value&)> visit) const {
  if (!list_) return;
  const auto& nodes = list_->visible_nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) visit(i, nodes[i]->slot.live.front().value);
}

namespace {

// Reaching a map element's members takes three dependent loads (list node,
// object, members); for long lists they are requested this many elements
// ahead, one stage at a time, so that their latencies overlap.
constexpr std::size_t kPrefetchStride = 4;
constexpr std::size_t kPrefetchedMemberBytes = 1024;

void prefetch(const void* p) { __builtin_prefetch(p, 0, 3); }

void prefetch_members(const MapObj& map) {
  const auto* bytes = reinterpret_cast<const char*>(map.entries.data());
  const std::size_t size = std::min(map.entries.size() * sizeof(map.entries[0]), kPrefetchedMemberBytes);
  for (std::size_t at = 0; at < size; at += 64) prefetch(bytes + at);
}

// Visits the map elements among `nodes`, requesting each one's node, object
// and members ahead of the visit.
template <class Visit>
void visit_maps(std::span<const ListNode* const> nodes, Visit&& visit) {
  const std::size_t count = nodes.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 3 * kPrefetchStride < count) {
      // The winner's object pointer sits in the node's second cache line.
      const ListNode* node = nodes[i + 3 * kPrefetchStride];
      prefetch(node);
      prefetch(&node->slot);
      prefetch(&node->next);
    }
    if (i + 2 * kPrefetchStride < count) {
      if (const Object* o = nodes[i + 2 * kPrefetchStride]->slot.live.front().object) {
        prefetch(o);
        prefetch(&o->map);
      }
    }
    if (i + kPrefetchStride < count) {
      const Object* o = nodes[i + kPrefetchStride]->slot.live.front().object;
      if (o && o->type == ObjType::Map) prefetch_members(o->map);
    }
    const LiveOp& winner = nodes[i]->slot.live.front();
    if (!winner.object || winner.object->type != ObjType::Map) continue;
    visit(i, winner);
  }
}

}  // namespace

void ListView::for_each_map(FunctionRef<void(std::size_t, const ObjId&, const MapView&)> visit) const {
  if (!list_) return;
  visit_maps(list_->visible_nodes(), [&](std::size_t i, const LiveOp& winner) {
    visit(i, ObjId{winner.id}, MapView(&winner.object->map));
  });
}

void ListView::for_each_map_in(std::span<const ListView> lists,
                               FunctionRef<void(std::size_t, std::size_t, const ObjId&, const MapView&)> visit) {
  // First the visible nodes of every list, in order, each list's header and
  // node table requested a few lists ahead; then one pipelined pass.
  struct Place {
    std::size_t list;
    std::size_t index;
  };
  std::vector<const ListNode*> nodes;
  std::vector<Place> places;
  for (std::size_t j = 0; j < lists.size(); ++j) {
    if (j + 2 * kPrefetchStride < lists.size() && lists[j + 2 * kPrefetchStride].list_) {
      prefetch(lists[j + 2 * kPrefetchStride].list_);
      prefetch(&lists[j + 2 * kPrefetchStride].list_->visible);
    }
    if (j + kPrefetchStride < lists.size() && lists[j + kPrefetchStride].list_) {
      const ListObj& ahead = *lists[j + kPrefetchStride].list_;
      if (ahead.visible_valid) prefetch(ahead.visible.data());
    }
    if (!lists[j].list_) continue;
    const auto& visible = lists[j].list_->visible_nodes();
    for (std::size_t i = 0; i < visible.size(); ++i) {
      nodes.push_back(visible[i]);
      places.push_back({j, i});
    }
  }
  visit_maps(nodes, [&](std::size_t at, const LiveOp& winner) {
    visit(places[at].list, places[at].index, ObjId{winner.id}, MapView(&winner.object->map));
  });
}

MapView MapView::find_map(std::string_view key) const {
  const Slot* s = map_ ? map_->find(key) : nullptr;
  if (!s || !s->visible()) return MapView();
  const Object* o = s->live.front().object;
  return o && o->type == ObjType::Map ? MapView(&o->map) : MapView();
}

ListView MapView::find_list(std::string_view key) const {
  const Slot* s = map_ ? map_->find(key) : nullptr;
  if (!s || !s->visible()) return ListView();
  const Object* o = s->live.front().object;
  return o && o->type == ObjType::List ? ListView(o->list.get()) : ListView();
}

const Value* MapView::find(std::string_view key) const {
  if (!map_) return nullptr;
  const Slot* s = map_->find(key);
  return s && s->visible() ? &s->live.front().value : nullptr;
}

void MapView::find_sorted(std::span<const std::string_view> names, std::span<const std::uint64_t> prefixes,
                          std::span<const Value*> found) const {
  const std::size_t wanted = std::min({names.size(), prefixes.size(), found.size()});
  std::fill_n(found.begin(), wanted, nullptr);
  if (!map_) return;
  const auto& entries = map_->entries;
  std::size_t e = 0;
  std::size_t n = 0;
  while (e < entries.size() && n < wanted) {
    const int c = compare_keys(entries[e].key.prefix(), entries[e].key.view(), prefixes[n], names[n]);
    if (c < 0) {
      ++e;
    } else if (c > 0) {
      ++n;
    } else {
      const Slot& slot = entries[e].slot;
      if (slot.visible()) found[n] = &slot.live.front().value;
      ++e;
      ++n;
    }
  }
}

void MapView::find_sorted(std::span<const std::string_view> names, std::span<const Value*> found) const {
  // Maps have few members; prefixes of a bounded batch live on the stack.
  constexpr std::size_t kBatch = 32;
  std::array<std::uint64_t, kBatch> prefixes;
  for (std::size_t done = 0; done < names.size() && done < found.size(); done += kBatch) {
    const std::size_t count = std::min({kBatch, names.size() - done, found.size() - done});
    for (std::size_t i = 0; i < count; ++i) prefixes[i] = key_prefix(names[done + i]);
    find_sorted(names.subspan(done, count), std::span(prefixes).first(count), found.subspan(done, count));
  }
}

std::size_t MapView::size() const { return map_ ? map_->visible : 0; }

void MapView::for_each(FunctionRef<void(std::string_view, const Value&)> visit) const {
  if (!map_) return;
  for (const MapEntry& e : map_->entries) {
    if (e.slot.visible()) visit(e.key.view(), e.slot.live.front().value);
  }
}

std::vector<ChangeHash> Document::heads() const { return state_->heads; }

std::vector<Change> Document::changes_since(std::span<const ChangeHash> heads) const {
  std::vector<Change> out;
  const auto& s = *state_;
  if (std::ranges::equal(heads, s.heads)) return out;
  std::vector<bool> seen(s.history.size(), false);
  std::vector<std::size_t> stack;
  for (const auto& h : heads) {
    if (auto it = s.by_hash.find(h); it != s.by_hash.end()) stack.push_back(it->second);
  }
  while (!stack.empty()) {
    const std::size_t i = stack.back();
    stack.pop_back();
    if (seen[i]) continue;
    seen[i] = true;
    for (const auto& dep : s.history[i].change.deps) stack.push_back(s.by_hash.at(dep));
  }
  for (std::size_t i = 0; i < s.history.size(); ++i) {
    if (!seen[i]) out.push_back(s.history[i].change);
  }
  return out;
}

std::size_t Document::change_count() const { return state_->history.size(); }
const Change& Document::change_at(std::size_t index) const { return state_->history.at(index).change; }
std::span<const std::uint8_t> Document::encoded_change_at(std::size_t index) const {
  return state_->history.at(index).encoded;
}
bool Document::has_change(const ChangeHash& hash) const { return state_->by_hash.contains(hash); }
std::size_t Document::waiting_count() const { return state_->pending.size(); }

velyn::Result<ApplyReport> Document::apply_changes(std::span<const Change> changes) {
  std::vector<std::pair<Change, std::vector<std::uint8_t>>> incoming;
  incoming.reserve(changes.size());
  for (const Change& c : changes) {
    Change copy = c;
    auto bytes = encode_change(copy);  // the hash is always our own, never the caller's
    incoming.emplace_back(std::move(copy), std::move(bytes));
  }
  return state_->apply(std::move(incoming));
}

velyn::Result<ApplyReport> Document::apply_encoded(std::span<const std::vector<std::uint8_t>> changes) {
  std::vector<std::pair<Change, std::vector<std::uint8_t>>> incoming;
  incoming.reserve(changes.size());
  std::optional<velyn::Error> first_error;
  for (const auto& bytes : changes) {
    auto decoded = decode_change(bytes);
    if (!decoded) {
      if (!first_error) first_error = decoded.error();
      continue;
    }
    incoming.emplace_back(std::move(*decoded), bytes);
  }
  auto report = state_->apply(std::move(incoming));
  if (first_error) return std::unexpected(*first_error);
  return report;
}

Transaction Document::begin() { return Transaction(*this); }

std::vector<std::uint8_t> Document::save() const {
  std::vector<std::uint8_t> out = {'V', 'D', 'O', 'C', 1};
  std::size_t total = out.size();
  for (const auto& h : state_->history) total += h.encoded.size() + 5;
  out.reserve(total);
  leb128::append(out, state_->history.size());
  for (const auto& h : state_->history) {
    leb128::append(out, h.encoded.size());
    out.insert(out.end(), h.encoded.begin(), h.encoded.end());
  }
  return out;
}

velyn::Result<Document> Document::load(std::span<const std::uint8_t> bytes) { return load(bytes, ActorId::random()); }

velyn::Result<Document> Document::load(std::span<const std::uint8_t> bytes, ActorId actor) {
  static constexpr std::uint8_t kMagic[5] = {'V', 'D', 'O', 'C', 1};
  if (bytes.size() < 5 || !std::equal(kMagic, kMagic + 5, bytes.begin())) {
    return velyn::fail("not a saved document");
  }
  std::size_t pos = 5;
  std::uint64_t count;
  if (!leb128::read(bytes, pos, count) || count > bytes.size() - pos) {
    return velyn::fail("saved document: bad change count");
  }
  std::vector<std::pair<Change, std::vector<std::uint8_t>>> incoming;
  incoming.reserve(static_cast<std::size_t>(count));
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t size;
    if (!leb128::read(bytes, pos, size) || size > bytes.size() - pos) {
      return velyn::fail("saved document: truncated");
    }
    const auto piece = bytes.subspan(pos, static_cast<std::size_t>(size));
    pos += static_cast<std::size_t>(size);
    auto change = decode_change(piece);
    if (!change) return std::unexpected(change.error().prefixed("saved document"));
    incoming.emplace_back(std::move(*change), std::vector<std::uint8_t>(piece.begin(), piece.end()));
  }
  if (pos != bytes.size()) return velyn::fail("saved document: trailing bytes");
  Document doc(actor);
  auto report = doc.state_->apply(std::move(incoming));
  if (!report) return std::unexpected(report.error().prefixed("saved document"));
  if (report->waiting) return velyn::fail("saved document: changes with missing dependencies");
  return doc;
}

}  // namespace docstore
