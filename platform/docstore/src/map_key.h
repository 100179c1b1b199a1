#pragma once
// A map key as the materialised state keeps it. Internal to the document store.
//
// Keys are mostly short member names, so up to kKeyPrefixBytes bytes live
// inline, zero-padded; a longer key is held whole on the heap and its first
// bytes are copied inline too. The inline bytes read as a big-endian integer
// are the key's prefix (docstore/member_names.h), which orders keys.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "docstore/member_names.h"

namespace docstore::detail {

class MapKey {
 public:
  explicit MapKey(std::string_view key) : size_(key.size()) {
    std::memcpy(head_, key.data(), std::min(key.size(), kKeyPrefixBytes));
    if (key.size() > kKeyPrefixBytes) {
      long_ = std::make_unique<char[]>(key.size());
      std::memcpy(long_.get(), key.data(), key.size());
    }
  }

  [[nodiscard]] std::string_view view() const { return {long_ ? long_.get() : head_, size_}; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] std::uint64_t prefix() const {
    std::uint64_t raw;
    std::memcpy(&raw, head_, sizeof raw);
    if constexpr (std::endian::native == std::endian::little) raw = std::byteswap(raw);
    return raw;
  }

 private:
  static_assert(sizeof(std::uint64_t) == kKeyPrefixBytes);
  char head_[kKeyPrefixBytes] = {};
  std::unique_ptr<char[]> long_;  // the whole key when longer than the inline bytes
  std::size_t size_ = 0;
};

}  // namespace docstore::detail
