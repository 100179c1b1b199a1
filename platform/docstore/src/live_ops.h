#pragma once
// The live operations of one map key or list element, highest id first.
// Internal to the document store.
//
// Almost every key and element has exactly one live op, so that one is held
// inline: reading a member touches the memory of its key, not a separate
// allocation. Only while concurrent puts conflict do the ops move to the heap,
// and they move back inline once the conflict is resolved.
//
// States: empty (inline op cleared, no heap); one (inline op, no heap); many
// (every op on the heap, in order, the inline op cleared). A cleared op has
// counter 0, which no operation has: counters start at 1.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "docstore/ids.h"
#include "docstore/value.h"

namespace docstore::detail {

struct Object;

struct LiveOp {
  OpId id;
  Value value;  // a scalar, or the ObjRef of the object the op made
  // The object the op made, so that readers reach it without a lookup. Objects
  // live in node-based storage and are only erased when the op that made them
  // is rolled back, which removes this op first.
  const Object* object = nullptr;
};

class LiveOps {
 public:
  LiveOps() = default;
  LiveOps(const LiveOps& other)
      : one_(other.one_),
        many_(other.many_ ? std::make_unique<std::vector<LiveOp>>(*other.many_) : nullptr) {}
  LiveOps& operator=(const LiveOps& other) {
    if (this != &other) *this = LiveOps(other);
    return *this;
  }
  LiveOps(LiveOps&&) noexcept = default;
  LiveOps& operator=(LiveOps&&) noexcept = default;
  ~LiveOps() = default;

  [[nodiscard]] std::size_t size() const { return many_ ? many_->size() : (has_one() ? 1 : 0); }
  [[nodiscard]] bool empty() const { return !has_one() && !many_; }
  [[nodiscard]] const LiveOp* begin() const { return many_ ? many_->data() : &one_; }
  [[nodiscard]] const LiveOp* end() const { return begin() + size(); }
  // The winner; only when not empty.
  [[nodiscard]] const LiveOp& front() const { return many_ ? many_->front() : one_; }

  // Inserts `op`, keeping highest id first.
  void add(LiveOp op) {
    if (empty()) {
      one_ = std::move(op);
      return;
    }
    if (!many_) {
      many_ = std::make_unique<std::vector<LiveOp>>();
      many_->reserve(2);
      many_->push_back(std::exchange(one_, LiveOp{}));
    }
    auto at = std::find_if(many_->begin(), many_->end(), [&](const LiveOp& o) { return o.id < op.id; });
    many_->insert(at, std::move(op));
  }

  template <class Pred>
  void remove_if(Pred pred) {
    if (!many_) {
      if (has_one() && pred(std::as_const(one_))) one_ = LiveOp{};
      return;
    }
    std::erase_if(*many_, [&](const LiveOp& o) { return pred(o); });
    if (many_->size() <= 1) {
      if (many_->size() == 1) {
        one_ = std::move(many_->front());
      }
      many_.reset();
    }
  }

 private:
  [[nodiscard]] bool has_one() const { return one_.id.counter != 0; }

  LiveOp one_;
  std::unique_ptr<std::vector<LiveOp>> many_;  // never empty while set
};

}  // namespace docstore::detail
