#pragma once
// Reading a whole file within a byte limit, refusing oversized files before
// reading and catching files that grow while being read.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "velyn/error.h"

namespace pdf::source {

inline constexpr std::uint64_t kOpenSizeLimit = 128ull * 1024 * 1024;

// Errors: "reading {path}", "file is {} MiB; PDF Viewer opens files up to {}
// MiB", "file grew beyond the {} MiB PDF Viewer open limit".
velyn::Result<std::vector<std::uint8_t>> read_bounded(const std::filesystem::path& path, std::uint64_t limit);

}  // namespace pdf::source
