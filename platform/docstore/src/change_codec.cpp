// Canonical binary form of a change.
//
//   "VDC" 0x01                       magic and version
//   uleb n, n × 16 bytes             actor table: the author, then the others ascending
//   uleb seq, uleb start_op, sleb time
//   uleb d, d × 32 bytes             deps, strictly ascending
//   uleb k, k × op                   at least one op
//   op := flags, obj, key, value, pred
//     flags: bits 0-1 action, bit 2 insert, bit 3 key is a list element,
//            bits 4-6 value tag (Put only); bit 7 must be 0
//     obj / element / pred entry := uleb counter [, uleb actor index when counter > 0]
//     key := uleb length + UTF-8 bytes
//     value := tag 0 null, 1 false, 2 true, 3 sleb int, 4 8-byte LE double, 5 string
//     pred := uleb count + op ids
// Every count is checked against the bytes left before anything is reserved;
// integers must be minimal and nothing may follow the last op. The hash is the
// SHA-256 of exactly these bytes.
#include <openssl/evp.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

#include "docstore/change.h"
#include "leb128.h"
#include "velyn/utf8.h"

namespace docstore {
namespace {

constexpr std::uint8_t kMagic[4] = {'V', 'D', 'C', 1};

enum ValueTag : std::uint8_t { kNull = 0, kFalse = 1, kTrue = 2, kInt = 3, kDouble = 4, kString = 5 };

class Writer {
 public:
  void byte(std::uint8_t b) { out.push_back(b); }
  void bytes(const std::uint8_t* p, std::size_t n) { out.insert(out.end(), p, p + n); }
  void uleb(std::uint64_t v) { leb128::append(out, v); }
  void sleb(std::int64_t v) {  // zigzag, so small negatives stay small
    uleb((static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63));
  }
  void string(std::string_view s) {
    uleb(s.size());
    bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  }
  std::vector<std::uint8_t> out;
};

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> in) : in_(in) {}
  [[nodiscard]] std::size_t left() const { return in_.size() - pos_; }

  bool byte(std::uint8_t& b) {
    if (!left()) return false;
    b = in_[pos_++];
    return true;
  }
  bool bytes(std::uint8_t* p, std::size_t n) {
    if (left() < n) return false;
    std::memcpy(p, in_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  // Minimal LEB128 of at most 64 bits.
  bool uleb(std::uint64_t& v) { return leb128::read(in_, pos_, v); }
  bool sleb(std::int64_t& v) {
    std::uint64_t z;
    if (!uleb(z)) return false;
    v = static_cast<std::int64_t>((z >> 1) ^ (~(z & 1) + 1));
    return true;
  }
  bool string(std::string& s) {
    std::uint64_t n;
    if (!uleb(n) || n > left()) return false;
    s.assign(reinterpret_cast<const char*>(in_.data() + pos_), static_cast<std::size_t>(n));
    pos_ += static_cast<std::size_t>(n);
    return true;
  }

 private:
  std::span<const std::uint8_t> in_;
  std::size_t pos_ = 0;
};

std::unexpected<velyn::Error> bad(const std::string& why) { return velyn::fail("malformed change: " + why); }

}  // namespace

ChangeHash hash_bytes(std::span<const std::uint8_t> bytes) {
  ChangeHash h;
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), h.bytes.data(), &size, EVP_sha256(), nullptr);
  return h;
}

std::vector<std::uint8_t> encode_change(Change& change) {
  // Actor table: author first, then every other actor the ops name, ascending.
  std::map<ActorId, std::uint64_t> others;
  auto note = [&](const OpId& id) {
    if (id.counter != 0 && id.actor != change.actor) others.emplace(id.actor, 0);
  };
  for (const Op& op : change.ops) {
    note(op.obj.op);
    if (auto* elem = std::get_if<OpId>(&op.key)) note(*elem);
    for (const OpId& p : op.pred) note(p);
  }
  std::uint64_t next = 1;
  for (auto& [actor, index] : others) index = next++;
  auto actor_index = [&](const ActorId& a) -> std::uint64_t { return a == change.actor ? 0 : others.at(a); };

  Writer w;
  w.out.reserve(64 + change.ops.size() * 24);
  w.bytes(kMagic, sizeof kMagic);
  w.uleb(1 + others.size());
  w.bytes(change.actor.bytes.data(), 16);
  for (const auto& [actor, index] : others) w.bytes(actor.bytes.data(), 16);
  w.uleb(change.seq);
  w.uleb(change.start_op);
  w.sleb(change.time);
  std::sort(change.deps.begin(), change.deps.end());
  change.deps.erase(std::unique(change.deps.begin(), change.deps.end()), change.deps.end());
  w.uleb(change.deps.size());
  for (const auto& d : change.deps) w.bytes(d.bytes.data(), 32);
  w.uleb(change.ops.size());
  auto write_id = [&](const OpId& id) {
    w.uleb(id.counter);
    if (id.counter != 0) w.uleb(actor_index(id.actor));
  };
  for (const Op& op : change.ops) {
    std::uint8_t flags = static_cast<std::uint8_t>(op.action) & 3;
    if (op.insert) flags |= 4;
    const bool elem_key = std::holds_alternative<OpId>(op.key);
    if (elem_key) flags |= 8;
    std::uint8_t tag = kNull;
    if (op.action == OpAction::Put) {
      const auto& v = op.value.storage();
      if (auto* b = std::get_if<bool>(&v)) tag = *b ? kTrue : kFalse;
      else if (std::holds_alternative<std::int64_t>(v)) tag = kInt;
      else if (std::holds_alternative<double>(v)) tag = kDouble;
      else if (std::holds_alternative<std::string>(v)) tag = kString;
    }
    flags |= static_cast<std::uint8_t>(tag << 4);
    w.byte(flags);
    write_id(op.obj.op);
    if (elem_key) write_id(std::get<OpId>(op.key));
    else w.string(std::get<std::string>(op.key));
    if (tag == kInt) w.sleb(*op.value.as_int());
    if (tag == kDouble) {
      const auto bits = std::bit_cast<std::uint64_t>(*op.value.as_double());
      for (int i = 0; i < 8; ++i) w.byte(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    if (tag == kString) w.string(*op.value.as_string());
    w.uleb(op.pred.size());
    for (const OpId& p : op.pred) write_id(p);
  }
  change.hash = hash_bytes(w.out);
  return std::move(w.out);
}

velyn::Result<Change> decode_change(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxChangeBytes) return bad("larger than " + std::to_string(kMaxChangeBytes) + " bytes");
  Reader r(bytes);
  std::uint8_t magic[4];
  if (!r.bytes(magic, 4) || std::memcmp(magic, kMagic, 4) != 0) return bad("unknown format");

  Change c;
  std::uint64_t actor_count;
  if (!r.uleb(actor_count) || actor_count == 0 || actor_count > r.left() / 16) return bad("actor table");
  std::vector<ActorId> actors(static_cast<std::size_t>(actor_count));
  for (auto& a : actors) r.bytes(a.bytes.data(), 16);
  for (std::size_t i = 2; i < actors.size(); ++i) {
    if (!(actors[i - 1] < actors[i])) return bad("actor table out of order");
  }
  for (std::size_t i = 1; i < actors.size(); ++i) {
    if (actors[i] == actors[0]) return bad("actor table repeats the author");
  }
  c.actor = actors[0];
  if (!r.uleb(c.seq) || c.seq == 0) return bad("sequence number");
  if (!r.uleb(c.start_op) || c.start_op == 0) return bad("start op");
  if (!r.sleb(c.time)) return bad("time");

  std::uint64_t dep_count;
  if (!r.uleb(dep_count) || dep_count > kMaxDepsPerChange || dep_count > r.left() / 32) return bad("deps");
  c.deps.resize(static_cast<std::size_t>(dep_count));
  for (std::size_t i = 0; i < c.deps.size(); ++i) {
    r.bytes(c.deps[i].bytes.data(), 32);
    if (i && !(c.deps[i - 1] < c.deps[i])) return bad("deps out of order");
  }

  std::uint64_t op_count;
  // Every op takes at least 4 bytes (flags, obj, key, pred count).
  if (!r.uleb(op_count) || op_count == 0 || op_count > kMaxOpsPerChange || op_count > r.left() / 4) {
    return bad("op count");
  }
  if (c.start_op > UINT64_MAX - op_count) return bad("op counters overflow");
  c.ops.resize(static_cast<std::size_t>(op_count));

  std::vector<bool> used(actors.size(), false);
  auto read_id = [&](OpId& id) -> bool {
    if (!r.uleb(id.counter)) return false;
    if (id.counter == 0) return true;
    std::uint64_t index;
    if (!r.uleb(index) || index >= actors.size()) return false;
    id.actor = actors[static_cast<std::size_t>(index)];
    used[static_cast<std::size_t>(index)] = true;
    return true;
  };

  for (std::size_t i = 0; i < c.ops.size(); ++i) {
    Op& op = c.ops[i];
    const std::uint64_t own = c.start_op + i;
    const std::string where = "op " + std::to_string(i) + ": ";
    std::uint8_t flags;
    if (!r.byte(flags) || (flags & 0x80)) return bad(where + "flags");
    op.action = static_cast<OpAction>(flags & 3);
    op.insert = flags & 4;
    const bool elem_key = flags & 8;
    const std::uint8_t tag = (flags >> 4) & 7;
    if (tag > kString) return bad(where + "value tag");
    if (tag != kNull && op.action != OpAction::Put) return bad(where + "value on a non-put");
    if (op.insert && (!elem_key || op.action == OpAction::Delete)) return bad(where + "insert");

    if (!read_id(op.obj.op) || op.obj.op.counter >= own) return bad(where + "object id");
    if (elem_key) {
      OpId elem;
      if (!read_id(elem) || elem.counter >= own) return bad(where + "element id");
      if (!op.insert && elem.counter == 0) return bad(where + "element id");
      op.key = elem;
    } else {
      std::string key;
      if (!r.string(key) || !velyn::is_valid_utf8(key)) return bad(where + "key");
      op.key = std::move(key);
    }
    switch (tag) {
      case kNull: op.value = Null{}; break;
      case kFalse: op.value = false; break;
      case kTrue: op.value = true; break;
      case kInt: {
        std::int64_t v;
        if (!r.sleb(v)) return bad(where + "integer");
        op.value = v;
        break;
      }
      case kDouble: {
        std::uint8_t b[8];
        if (!r.bytes(b, 8)) return bad(where + "double");
        std::uint64_t bits = 0;
        for (int k = 0; k < 8; ++k) bits |= static_cast<std::uint64_t>(b[k]) << (8 * k);
        op.value = std::bit_cast<double>(bits);
        break;
      }
      default: {
        std::string s;
        if (!r.string(s) || !velyn::is_valid_utf8(s)) return bad(where + "string");
        op.value = std::move(s);
      }
    }
    std::uint64_t pred_count;
    if (!r.uleb(pred_count) || pred_count > kMaxPredPerOp || pred_count > r.left() / 2) return bad(where + "pred");
    if (op.insert && pred_count) return bad(where + "insert with pred");
    if (op.action == OpAction::Delete && !pred_count) return bad(where + "delete of nothing");
    op.pred.resize(static_cast<std::size_t>(pred_count));
    for (auto& p : op.pred) {
      if (!read_id(p) || p.counter == 0 || p.counter >= own) return bad(where + "pred id");
    }
  }
  if (r.left()) return bad("trailing bytes");
  // Only the author may go unnamed, so one change has one encoding.
  if (std::find(used.begin() + 1, used.end(), false) != used.end()) return bad("unused actor");

  // The hash names these exact bytes. A second encoding of the same ops would
  // hash differently and then be refused for reusing its actor's sequence number.
  c.hash = hash_bytes(bytes);
  return c;
}

}  // namespace docstore
