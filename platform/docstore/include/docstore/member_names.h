#pragma once
// Map keys ordered bytewise, and member names prepared for reading many
// members of a map in one pass (MapView::find_sorted).
//
// A key's prefix is its first eight bytes, big-endian, zero-padded: prefixes
// order keys as bytewise comparison does, so most comparisons are one integer
// comparison and only keys that share eight bytes look further.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace docstore {

inline constexpr std::size_t kKeyPrefixBytes = 8;

constexpr std::uint64_t key_prefix(std::string_view key) {
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < kKeyPrefixBytes; ++i) {
    prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return prefix;
}

// Bytewise three-way comparison (-1, 0, 1) of keys with their prefixes.
constexpr int compare_keys(std::uint64_t prefix_a, std::string_view a, std::uint64_t prefix_b, std::string_view b) {
  if (prefix_a != prefix_b) return prefix_a < prefix_b ? -1 : 1;
  // Equal prefixes: the first eight bytes agree, padding included. When a key
  // is at most eight bytes long it is then a prefix of the other (a padded
  // zero matched a real zero byte), and the length alone decides.
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = kKeyPrefixBytes; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  }
  return (a.size() > b.size()) - (a.size() < b.size());
}

// Names sorted bytewise without repeats, with their prefixes; constexpr, so a
// reader keeps its member list as a constant.
template <std::size_t N>
class MemberNames {
 public:
  constexpr explicit MemberNames(const std::array<std::string_view, N>& names) : names_(names) {
    for (std::size_t i = 0; i < N; ++i) prefixes_[i] = key_prefix(names[i]);
  }
  [[nodiscard]] constexpr std::span<const std::string_view, N> names() const { return names_; }
  [[nodiscard]] constexpr std::span<const std::uint64_t, N> prefixes() const { return prefixes_; }
  [[nodiscard]] constexpr std::string_view operator[](std::size_t i) const { return names_[i]; }

 private:
  std::array<std::string_view, N> names_;
  std::array<std::uint64_t, N> prefixes_{};
};

}  // namespace docstore
