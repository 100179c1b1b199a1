#include "blobstore/blob_store.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "velyn/try.h"

namespace blobstore {
namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string errno_text(int err) { return std::strerror(err); }

// Closes a descriptor on every path out of a function.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

velyn::Result<void> write_all(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return velyn::fail(errno_text(errno));
    }
    done += static_cast<std::size_t>(n);
  }
  return {};
}

velyn::Result<void> sync_directory(const std::filesystem::path& dir) {
  Fd d{::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (d.fd < 0) return velyn::fail("opening " + dir.string() + ": " + errno_text(errno));
  if (::fsync(d.fd) != 0) return velyn::fail("syncing " + dir.string() + ": " + errno_text(errno));
  return {};
}

std::optional<std::vector<std::uint8_t>> read_file(const std::filesystem::path& file) {
  Fd f{::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
  if (f.fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > kMaxBlobBytes) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(f.fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;  // shrank under us or failed
    done += static_cast<std::size_t>(n);
  }
  return bytes;
}

}  // namespace

std::string hash_of(std::span<const std::uint8_t> bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
  std::string out(static_cast<std::size_t>(size) * 2, '0');
  for (unsigned int i = 0; i < size; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 15];
  }
  return out;
}

std::optional<std::string> canonical_hash(std::string_view hash) {
  if (hash.size() != 64) return std::nullopt;
  std::string out(hash);
  for (char& c : out) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
  }
  return out;
}

bool verify(std::string_view hash, std::span<const std::uint8_t> bytes) {
  auto canonical = canonical_hash(hash);
  return canonical && *canonical == hash_of(bytes);
}

std::filesystem::path default_root(std::string_view application_id) {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::filesystem::path base;
  if (xdg && *xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home && *home ? home : "/") / ".local" / "share";
  }
  return base / std::string(application_id) / "blobs";
}

BlobStore::BlobStore(std::filesystem::path root) : root_(std::move(root)) {}

std::filesystem::path BlobStore::path_of(std::string_view canonical) const {
  return root_ / std::string(canonical.substr(0, 2)) / std::string(canonical);
}

velyn::Result<std::string> BlobStore::put(std::span<const std::uint8_t> bytes) const {
  if (bytes.size() > kMaxBlobBytes) return velyn::fail("the blob is larger than the content store accepts");
  std::string hash = hash_of(bytes);
  const auto target = path_of(hash);
  if (verify_stored(hash)) return hash;  // stored once; a damaged copy is replaced below

  std::error_code ec;
  std::filesystem::create_directories(target.parent_path(), ec);
  if (ec) return velyn::fail("creating " + target.parent_path().string() + ": " + ec.message());

  // A unique temporary name in the same directory, so the rename is atomic.
  std::random_device device;
  const auto temp = target.parent_path() / (".tmp-" + hash.substr(0, 16) + "-" + std::to_string(device()));
  {
    Fd f{::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)};
    if (f.fd < 0) return velyn::fail("creating " + temp.string() + ": " + errno_text(errno));
    auto written = write_all(f.fd, bytes);
    if (written && ::fsync(f.fd) != 0) written = velyn::fail(errno_text(errno));
    if (!written) {
      ::unlink(temp.c_str());
      return velyn::fail("writing " + temp.string() + ": " + written.error().message);
    }
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return velyn::fail("publishing " + target.string() + ": " + errno_text(err));
  }
  VELYN_TRY_VOID(sync_directory(target.parent_path()));
  return hash;
}

bool BlobStore::contains(std::string_view hash) const { return state(hash) == BlobState::Present; }

BlobState BlobStore::state(std::string_view hash) const {
  auto canonical = canonical_hash(hash);
  if (!canonical) return BlobState::Invalid;
  struct stat st {};
  if (::stat(path_of(*canonical).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return BlobState::Missing;
  return BlobState::Present;
}

std::optional<std::vector<std::uint8_t>> BlobStore::get(std::string_view hash) const {
  auto canonical = canonical_hash(hash);
  if (!canonical) return std::nullopt;
  auto bytes = read_file(path_of(*canonical));
  if (!bytes || hash_of(*bytes) != *canonical) return std::nullopt;  // never hand out damaged content
  return bytes;
}

bool BlobStore::verify_stored(std::string_view hash) const { return get(hash).has_value(); }

}  // namespace blobstore
