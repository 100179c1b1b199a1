#pragma once
// Identities of the replicated document: actors, operations/objects and changes.
//
// An operation id is a Lamport counter plus the actor that made it; the same id
// names the object (map or list) or list element that the operation created.
// Ordering is total and identical on every replica: counter first, then actor
// bytes. The root map is the id with counter 0 and the all-zero actor.
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace docstore {

// 16 opaque bytes; a process makes a random one per open document.
struct ActorId {
  std::array<std::uint8_t, 16> bytes{};

  static ActorId random();
  // 32 lower-case hex digits.
  [[nodiscard]] std::string to_string() const;
  static std::optional<ActorId> parse(std::string_view hex);
  friend auto operator<=>(const ActorId&, const ActorId&) = default;
};

// Id of an operation, and of the object or list element it created.
struct OpId {
  std::uint64_t counter = 0;
  ActorId actor;
  friend auto operator<=>(const OpId&, const OpId&) = default;
};

// An object: the root map or a map/list created by an operation.
struct ObjId {
  OpId op;

  static constexpr ObjId root() { return ObjId{}; }
  [[nodiscard]] bool is_root() const { return op.counter == 0; }
  // "_root" for the root, else "<counter>@<32 hex digits of the actor>".
  // Stable across save/load and equal on every replica.
  [[nodiscard]] std::string to_string() const;
  static std::optional<ObjId> parse(std::string_view text);
  friend auto operator<=>(const ObjId&, const ObjId&) = default;
};

// SHA-256 of a change's canonical encoding.
struct ChangeHash {
  std::array<std::uint8_t, 32> bytes{};

  [[nodiscard]] std::string to_string() const;  // 64 lower-case hex digits
  static std::optional<ChangeHash> parse(std::string_view hex);
  friend auto operator<=>(const ChangeHash&, const ChangeHash&) = default;
};

struct OpIdHash {
  std::size_t operator()(const OpId& id) const noexcept;
};
struct ObjIdHash {
  std::size_t operator()(const ObjId& id) const noexcept { return OpIdHash{}(id.op); }
};
struct ChangeHashHash {
  std::size_t operator()(const ChangeHash& h) const noexcept;
};

}  // namespace docstore
