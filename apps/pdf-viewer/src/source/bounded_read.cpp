#include "source/bounded_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <fmt/format.h>

namespace pdf::source {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::size_t kProbeChunk = 64 * 1024;

struct FileDescriptor {
  int fd = -1;
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

velyn::Result<std::vector<std::uint8_t>> read_bounded(const std::filesystem::path& path, std::uint64_t limit) {
  const std::string reading = "reading " + path.string();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return velyn::fail(reading);
  const auto length = static_cast<std::uint64_t>(info.st_size);
  if (length > limit) {
    return velyn::fail(fmt::format("file is {} MiB; PDF Viewer opens files up to {} MiB", length / kMiB, limit / kMiB));
  }
  FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return velyn::fail(reading);

  // Read into a buffer of the expected length, then probe for more; reading
  // stops one byte past the limit, which proves the file grew.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    ssize_t got = ::read(file.fd, bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return velyn::fail(reading);
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  if (filled == length) {
    std::vector<std::uint8_t> extra(kProbeChunk);
    while (bytes.size() <= limit) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kProbeChunk, limit + 1 - bytes.size()));
      ssize_t got = ::read(file.fd, extra.data(), want);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return velyn::fail(reading);
      if (got == 0) break;
      bytes.insert(bytes.end(), extra.begin(), extra.begin() + got);
    }
  }
  if (bytes.size() > limit) {
    return velyn::fail(fmt::format("file grew beyond the {} MiB PDF Viewer open limit", limit / kMiB));
  }
  return bytes;
}

}  // namespace pdf::source
