#pragma once
// Unsigned LEB128, the integer form of the stored change and document bytes:
// seven bits a byte, least significant group first, the high bit set on every
// byte but the last. Reading accepts exactly what writing produces, so equal
// values always have equal bytes (change hashes depend on that).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace docstore::leb128 {

inline void append(std::vector<std::uint8_t>& out, std::uint64_t v) {
  do {
    std::uint8_t b = v & 0x7f;
    v >>= 7;
    if (v) b |= 0x80;
    out.push_back(b);
  } while (v);
}

// Reads the value at `pos` and moves `pos` past it. Fails on running out of
// bytes, on a value over 64 bits and on a longer form than needed (a trailing
// zero group); `pos` is then somewhere inside the value.
[[nodiscard]] inline bool read(std::span<const std::uint8_t> in, std::size_t& pos, std::uint64_t& v) {
  v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (pos >= in.size()) return false;
    const std::uint8_t b = in[pos++];
    if (shift == 63 && (b & 0x7e)) return false;  // more than 64 bits
    v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
    if (!(b & 0x80)) return !(b == 0 && shift > 0);
  }
  return false;
}

}  // namespace docstore::leb128
