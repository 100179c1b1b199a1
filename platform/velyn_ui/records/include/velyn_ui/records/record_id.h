#pragma once
// Record ids: 16-byte UUIDs in canonical lower-case hyphenated text.
//
// derived(ns, name) is a name-based UUID (version 5, SHA-1), so every machine
// derives the same record for the same inputs without talking. The namespace
// text is first turned into a namespace UUID: UUID v5 of "velyn.record:" + ns
// under the RFC 4122 URL namespace (6ba7b811-9dad-11d1-80b4-00c04fd430c8); the
// record id is then UUID v5 of `name` under that namespace UUID.
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velyn_ui::record {

class RecordId {
 public:
  constexpr RecordId() = default;  // the nil UUID
  explicit constexpr RecordId(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

  static RecordId derived(std::string_view ns, std::string_view name);
  static RecordId random();  // version 4
  // Canonical hyphenated form, either case.
  static std::optional<RecordId> parse(std::string_view text);

  [[nodiscard]] std::string to_string() const;  // 36 lower-case characters
  [[nodiscard]] const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
  [[nodiscard]] bool is_nil() const { return *this == RecordId{}; }
  friend auto operator<=>(const RecordId&, const RecordId&) = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

struct RecordIdHash {
  std::size_t operator()(const RecordId& id) const noexcept;
};

}  // namespace velyn_ui::record
