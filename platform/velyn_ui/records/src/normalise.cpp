#include <vector>

#include "velyn_ui/records/record.h"

namespace velyn_ui::record {

std::string normalise(std::string_view path) {
  const bool absolute = !path.empty() && path.front() == '/';
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    const std::size_t start = i;
    while (i < path.size() && path[i] != '/') ++i;
    const auto part = path.substr(start, i - start);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!absolute) {
        parts.push_back(part);  // a relative path keeps what it cannot resolve
      }
      continue;  // "/.." is "/"
    }
    parts.push_back(part);
  }
  if (parts.empty()) return absolute ? "/" : ".";
  std::size_t size = 0;
  for (auto part : parts) size += part.size() + 1;
  std::string out(size, '/');
  std::size_t at = absolute ? 1 : 0;
  for (auto part : parts) {
    part.copy(out.data() + at, part.size());
    at += part.size() + 1;
  }
  out.resize(at - 1);
  return out;
}

}  // namespace velyn_ui::record
