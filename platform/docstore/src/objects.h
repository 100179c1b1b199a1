#pragma once
// Materialised objects of a document: map slots and RGA list nodes.
// Internal to the document store.
#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "docstore/ids.h"
#include "docstore/member_names.h"
#include "docstore/value.h"
#include "live_ops.h"
#include "map_key.h"

namespace docstore::detail {

// The live ops of one map key or list element: live.front() wins.
struct Slot {
  LiveOps live;

  [[nodiscard]] bool visible() const { return !live.empty(); }
  void remove_preds(const std::vector<OpId>& pred) {
    if (pred.empty() || live.empty()) return;
    live.remove_if([&](const LiveOp& op) { return std::find(pred.begin(), pred.end(), op.id) != pred.end(); });
  }
  void add(LiveOp op) { live.add(std::move(op)); }
};

struct MapEntry {
  MapKey key;
  Slot slot;
};

struct MapObj {
  std::vector<MapEntry> entries;  // sorted by key
  std::size_t visible = 0;

  [[nodiscard]] std::vector<MapEntry>::iterator lower_bound(std::string_view key) {
    const std::uint64_t prefix = key_prefix(key);
    return std::lower_bound(entries.begin(), entries.end(), key, [&](const MapEntry& e, std::string_view k) {
      return compare_keys(e.key.prefix(), e.key.view(), prefix, k) < 0;
    });
  }
  Slot* find(std::string_view key) {
    auto it = lower_bound(key);
    return it != entries.end() && it->key.view() == key ? &it->slot : nullptr;
  }
  const Slot* find(std::string_view key) const { return const_cast<MapObj*>(this)->find(key); }
  Slot& find_or_add(std::string_view key) {
    auto it = lower_bound(key);
    if (it != entries.end() && it->key.view() == key) return it->slot;
    return entries.insert(it, MapEntry{MapKey(key), Slot{}})->slot;
  }
};

struct ListNode {
  OpId id;
  Slot slot;
  ListNode* next = nullptr;
  ListNode* prev = nullptr;
};

struct ListObj {
  std::deque<ListNode> storage;  // stable addresses; unlinked nodes stay as garbage
  ListNode* first = nullptr;
  ListNode* last = nullptr;
  std::unordered_map<OpId, ListNode*, OpIdHash> index;
  // Visible nodes in order; rebuilt lazily after a change it could not follow.
  mutable std::vector<ListNode*> visible;
  mutable bool visible_valid = true;

  const std::vector<ListNode*>& visible_nodes() const {
    if (!visible_valid) {
      visible.clear();
      for (ListNode* n = first; n; n = n->next) {
        if (n->slot.visible()) visible.push_back(n);
      }
      visible_valid = true;
    }
    return visible;
  }
};

// Objects sit in node-based storage, so a map's members are one hop from the
// op that made it; a list's bulkier state is held apart.
struct Object {
  ObjType type = ObjType::Map;
  MapObj map;  // empty unless type is Map
  std::unique_ptr<ListObj> list;
};

}  // namespace docstore::detail
