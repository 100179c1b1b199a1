#include "source/save_publish.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include <fmt/format.h>

namespace pdf::source {
namespace {

int open_read_only(const char* path, bool directory) {
  return ::open(path, O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
}

// Closes on scope exit; close errors of a read-only descriptor carry no news.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

char random_name_char(std::mt19937_64& rng) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
  return kAlphabet[pick(rng)];
}

}  // namespace

FileSystemCalls system_file_calls() { return {&open_read_only, &::fsync, &::rename}; }

std::filesystem::path destination_directory(const std::filesystem::path& destination) {
  std::filesystem::path parent = destination.parent_path();
  return parent.empty() ? std::filesystem::path(".") : parent;
}

velyn::Result<std::filesystem::path> create_private_save_dir(const std::filesystem::path& dir, std::uint64_t save_id) {
  thread_local std::mt19937_64 rng{std::random_device{}()};
  const std::string prefix = fmt::format(".velyn-pdf-{}-", save_id);
  int error = EEXIST;
  for (std::uint32_t attempt = 0; attempt < kPrivateDirAttempts && error == EEXIST; ++attempt) {
    std::string name = prefix;
    for (std::size_t i = 0; i < kPrivateDirRandomChars; ++i) name += random_name_char(rng);
    std::filesystem::path candidate = dir / name;
    if (::mkdir(candidate.c_str(), 0700) == 0) return candidate;
    error = errno;
  }
  if (error == EEXIST) return velyn::fail("too many temporary files exist");
  return velyn::fail(fmt::format("creating a private save directory in {}", dir.string()));
}

velyn::Result<void> publish_private_save(const std::filesystem::path& private_file,
                                         const std::filesystem::path& private_dir,
                                         const std::filesystem::path& destination, const FileSystemCalls& calls) {
  {
    Fd file{calls.open_read_only(private_file.c_str(), false)};
    if (file.fd < 0) return velyn::fail(fmt::format("opening private save {}", private_file.string()));
    if (calls.sync(file.fd) != 0) return velyn::fail(fmt::format("flushing private save {}", private_file.string()));
  }
  {
    Fd dir{calls.open_read_only(private_dir.c_str(), true)};
    if (dir.fd < 0) return velyn::fail(fmt::format("opening private save directory {}", private_dir.string()));
    if (calls.sync(dir.fd) != 0) {
      return velyn::fail(fmt::format("flushing private save directory {}", private_dir.string()));
    }
  }
  if (calls.rename(private_file.c_str(), destination.c_str()) != 0) {
    return velyn::fail(fmt::format("publishing the saved PDF to {}", destination.string()));
  }
  if (!destination.parent_path().empty()) {
    Fd parent{calls.open_read_only(destination.parent_path().c_str(), true)};
    if (parent.fd >= 0) calls.sync(parent.fd);  // the file is in place either way
  }
  return {};
}

}  // namespace pdf::source
