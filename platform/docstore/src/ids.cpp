#include "docstore/ids.h"

#include <charconv>
#include <cstring>
#include <random>

namespace docstore {
namespace {

constexpr char kHex[] = "0123456789abcdef";

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <std::size_t N>
std::string to_hex(const std::array<std::uint8_t, N>& bytes) {
  std::string out(N * 2, '0');
  for (std::size_t i = 0; i < N; ++i) {
    out[2 * i] = kHex[bytes[i] >> 4];
    out[2 * i + 1] = kHex[bytes[i] & 15];
  }
  return out;
}

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> from_hex(std::string_view text) {
  if (text.size() != N * 2) return std::nullopt;
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) {
    const int hi = hex_digit(text[2 * i]);
    const int lo = hex_digit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return out;
}

std::uint64_t load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

ActorId ActorId::random() {
  // random_device is the kernel's CSPRNG on Linux; actors only need uniqueness.
  thread_local std::random_device device;
  ActorId id;
  for (std::size_t i = 0; i < id.bytes.size(); i += 4) {
    const std::uint32_t r = device();
    std::memcpy(id.bytes.data() + i, &r, 4);
  }
  return id;
}

std::string ActorId::to_string() const { return to_hex(bytes); }

std::optional<ActorId> ActorId::parse(std::string_view hex) {
  auto bytes = from_hex<16>(hex);
  if (!bytes) return std::nullopt;
  return ActorId{*bytes};
}

std::string ObjId::to_string() const {
  if (is_root()) return "_root";
  return std::to_string(op.counter) + "@" + op.actor.to_string();
}

std::optional<ObjId> ObjId::parse(std::string_view text) {
  if (text == "_root") return root();
  const auto at = text.find('@');
  if (at == std::string_view::npos || at == 0) return std::nullopt;
  std::uint64_t counter = 0;
  const auto digits = text.substr(0, at);
  if (digits.size() > 1 && digits[0] == '0') return std::nullopt;  // one text per id
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), counter);
  if (ec != std::errc{} || ptr != digits.data() + digits.size() || counter == 0) return std::nullopt;
  auto actor = ActorId::parse(text.substr(at + 1));
  if (!actor) return std::nullopt;
  for (char c : text.substr(at + 1)) {
    if (c >= 'A' && c <= 'F') return std::nullopt;  // lower case only, so the text is stable
  }
  return ObjId{OpId{counter, *actor}};
}

std::string ChangeHash::to_string() const { return to_hex(bytes); }

std::optional<ChangeHash> ChangeHash::parse(std::string_view hex) {
  auto bytes = from_hex<32>(hex);
  if (!bytes) return std::nullopt;
  return ChangeHash{*bytes};
}

std::size_t OpIdHash::operator()(const OpId& id) const noexcept {
  std::uint64_t h = id.counter * 0x9E3779B97F4A7C15ull;
  h ^= load64(id.actor.bytes.data()) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
  h ^= load64(id.actor.bytes.data() + 8) + (h << 6) + (h >> 2);
  return static_cast<std::size_t>(h ^ (h >> 29));
}

std::size_t ChangeHashHash::operator()(const ChangeHash& h) const noexcept {
  return static_cast<std::size_t>(load64(h.bytes.data()));  // already uniformly distributed
}

}  // namespace docstore
