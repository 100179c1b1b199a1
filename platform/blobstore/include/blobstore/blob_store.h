#pragma once
// Content-addressed blobs: bytes stored once under the SHA-256 of their content.
//
// Layout under the root: <root>/<first 2 hex>/<64 hex>. A blob file is written
// to a temporary name in its directory, synced, renamed into place and the
// directory synced, so a reader never sees a partial blob. Hashes are 64
// lower-case hex digits; upper-case input is accepted and folded.
// Any thread may use a BlobStore; writers of the same content race harmlessly.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "velyn/error.h"

namespace blobstore {

// Largest blob accepted by put (imports are at most 64 MiB).
inline constexpr std::size_t kMaxBlobBytes = 256u * 1024 * 1024;

enum class BlobState : std::uint8_t {
  Invalid,  // the text is not a 64-hex-digit hash
  Missing,  // no blob under that hash here
  Present,  // a blob file is stored (verify re-reads it)
};

// 64 lower-case hex digits of SHA-256(bytes).
std::string hash_of(std::span<const std::uint8_t> bytes);
// True when bytes hash to `hash` (either case).
bool verify(std::string_view hash, std::span<const std::uint8_t> bytes);
// The canonical lower-case form of a hash, or nullopt when it is not one.
std::optional<std::string> canonical_hash(std::string_view hash);

// $XDG_DATA_HOME/<application id>/blobs (~/.local/share/... when unset).
std::filesystem::path default_root(std::string_view application_id);

class BlobStore {
 public:
  explicit BlobStore(std::filesystem::path root);

  [[nodiscard]] const std::filesystem::path& root() const { return root_; }

  // Stores bytes (once) and returns their hash.
  velyn::Result<std::string> put(std::span<const std::uint8_t> bytes) const;
  // Whether a blob is stored under the hash.
  [[nodiscard]] bool contains(std::string_view hash) const;
  [[nodiscard]] BlobState state(std::string_view hash) const;
  // The stored bytes; nullopt when missing, unreadable or not matching the hash.
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> get(std::string_view hash) const;
  // Re-reads the stored blob and checks its hash.
  [[nodiscard]] bool verify_stored(std::string_view hash) const;
  [[nodiscard]] std::filesystem::path path_of(std::string_view canonical) const;

 private:
  std::filesystem::path root_;
};

}  // namespace blobstore
