#pragma once
// A change: one actor's batch of operations, and its canonical binary encoding.
//
// The encoding is the only form that crosses process boundaries. Decoding checks
// every length against the bytes that remain, rejects trailing bytes and
// non-minimal integers (so one change has one encoding), and recomputes the
// hash; a change never carries its own hash on the wire.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "docstore/ids.h"
#include "docstore/value.h"
#include "velyn/error.h"

namespace docstore {

enum class OpAction : std::uint8_t {
  Put,        // scalar into a map key or list element; with insert: a new element
  MakeMap,    // a new map at a map key or list element
  MakeList,   // a new list at a map key or list element
  Delete,     // supersedes exactly the operations named in pred
};

// Where an operation lands: a map key, or a list element. For an insert the
// element is the one to insert after (OpId{} = the list head); otherwise it is
// the element being overwritten or deleted.
using OpKey = std::variant<std::string, OpId>;

struct Op {
  OpAction action = OpAction::Put;
  ObjId obj;
  OpKey key;
  bool insert = false;
  Value value;               // scalar, for Put only
  std::vector<OpId> pred;    // operations this one supersedes
  friend bool operator==(const Op&, const Op&) = default;
};

struct Change {
  ActorId actor;
  std::uint64_t seq = 0;        // 1, 2, ... per actor
  std::uint64_t start_op = 0;   // counter of ops[0]; ops[i] has start_op + i
  std::int64_t time = 0;        // milliseconds since the epoch, informative only
  std::vector<ChangeHash> deps; // sorted, the heads the author had seen
  std::vector<Op> ops;
  ChangeHash hash;              // filled by encode_change/decode_change

  [[nodiscard]] std::uint64_t max_op() const { return start_op + ops.size() - 1; }
  friend bool operator==(const Change&, const Change&) = default;
};

// Limits enforced by decode_change (and by commit, which never exceeds them).
inline constexpr std::size_t kMaxChangeBytes = 64u * 1024 * 1024;
inline constexpr std::size_t kMaxOpsPerChange = 1u << 20;
inline constexpr std::size_t kMaxDepsPerChange = 4096;
inline constexpr std::size_t kMaxPredPerOp = 4096;

// Encodes `change` canonically and stores the SHA-256 of the bytes in change.hash.
std::vector<std::uint8_t> encode_change(Change& change);
// Decodes bytes from anywhere; any malformed input is an error, never a crash.
velyn::Result<Change> decode_change(std::span<const std::uint8_t> bytes);

ChangeHash hash_bytes(std::span<const std::uint8_t> bytes);

}  // namespace docstore
