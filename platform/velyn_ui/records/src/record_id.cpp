#include "velyn_ui/records/record_id.h"

#include <openssl/evp.h>
#include <uuid/uuid.h>

#include <cstring>

namespace velyn_ui::record {
namespace {

// RFC 4122 namespace for URLs; the parent of every record namespace.
constexpr std::array<std::uint8_t, 16> kUrlNamespace = {0x6b, 0xa7, 0xb8, 0x11, 0x9d, 0xad, 0x11, 0xd1,
                                                        0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
constexpr std::string_view kNamespacePrefix = "velyn.record:";

std::array<std::uint8_t, 16> uuid_v5(const std::array<std::uint8_t, 16>& ns, std::string_view prefix,
                                     std::string_view name) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr);
  EVP_DigestUpdate(ctx, ns.data(), ns.size());
  EVP_DigestUpdate(ctx, prefix.data(), prefix.size());
  EVP_DigestUpdate(ctx, name.data(), name.size());
  EVP_DigestFinal_ex(ctx, digest, &size);
  EVP_MD_CTX_free(ctx);
  std::array<std::uint8_t, 16> out{};
  std::memcpy(out.data(), digest, out.size());
  out[6] = static_cast<std::uint8_t>((out[6] & 0x0f) | 0x50);  // version 5
  out[8] = static_cast<std::uint8_t>((out[8] & 0x3f) | 0x80);  // RFC 4122 variant
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

RecordId RecordId::derived(std::string_view ns, std::string_view name) {
  const auto ns_uuid = uuid_v5(kUrlNamespace, kNamespacePrefix, ns);
  return RecordId(uuid_v5(ns_uuid, {}, name));
}

RecordId RecordId::random() {
  uuid_t raw;
  uuid_generate_random(raw);
  std::array<std::uint8_t, 16> bytes{};
  std::memcpy(bytes.data(), raw, bytes.size());
  return RecordId(bytes);
}

std::optional<RecordId> RecordId::parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = hex_digit(text[i]);
    const int lo = hex_digit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[out++] = static_cast<std::uint8_t>(hi << 4 | lo);
    i += 2;
  }
  return RecordId(bytes);
}

std::string RecordId::to_string() const {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(36);
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out.push_back(kHex[bytes_[i] >> 4]);
    out.push_back(kHex[bytes_[i] & 15]);
  }
  return out;
}

std::size_t RecordIdHash::operator()(const RecordId& id) const noexcept {
  std::uint64_t a, b;
  std::memcpy(&a, id.bytes().data(), 8);
  std::memcpy(&b, id.bytes().data() + 8, 8);
  return static_cast<std::size_t>(a * 0x9E3779B97F4A7C15ull ^ b);
}

}  // namespace velyn_ui::record
