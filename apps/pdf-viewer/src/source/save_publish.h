#pragma once
// The file-system half of a save: the private directory beside the destination
// and the publishing steps that move a prepared file into place durably.
//
// A prepared file lives in ".velyn-pdf-{save id}-XXXXXX" (mode 0700) inside the
// destination's directory, so the final rename stays on one file system and is
// atomic: a reader of the destination sees the old file or the complete new
// one, never a part. The published file keeps the mode it was created with
// (0666 less the umask), like any ordinary new file. Worker thread only.
#include <cstdint>
#include <filesystem>

#include "velyn/error.h"

namespace pdf::source {

inline constexpr const char* kPrivateSaveFileName = "document.pdf";
inline constexpr std::uint32_t kPrivateDirAttempts = 65536;
inline constexpr std::size_t kPrivateDirRandomChars = 6;

// The system calls publishing makes; tests replace one to fail a chosen step.
struct FileSystemCalls {
  int (*open_read_only)(const char* path, bool directory);
  int (*sync)(int fd);
  int (*rename)(const char* from, const char* to);
};
FileSystemCalls system_file_calls();

// The directory a destination is published in: its parent, "." for a bare name.
std::filesystem::path destination_directory(const std::filesystem::path& destination);

// Creates ".velyn-pdf-{save_id}-" plus six random letters and digits in `dir`,
// retrying collisions. Errors: "too many temporary files exist", "creating a
// private save directory in {dir}".
velyn::Result<std::filesystem::path> create_private_save_dir(const std::filesystem::path& dir, std::uint64_t save_id);

// Syncs the private file and its directory, renames the file over
// `destination` and syncs the destination's directory (a failure of that last
// sync is ignored: the file is already in place). Each failing step answers
// with its own text and nothing else: "opening private save {}", "flushing
// private save {}", "opening private save directory {}", "flushing private
// save directory {}", "publishing the saved PDF to {}". Before the rename the
// destination is untouched.
velyn::Result<void> publish_private_save(const std::filesystem::path& private_file,
                                         const std::filesystem::path& private_dir,
                                         const std::filesystem::path& destination,
                                         const FileSystemCalls& calls = system_file_calls());

}  // namespace pdf::source
