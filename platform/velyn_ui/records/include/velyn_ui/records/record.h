#pragma once
// A record: a named replicated document with a kind and links to what it is about.
#include <string>
#include <string_view>
#include <vector>

#include "velyn_ui/records/record_id.h"

namespace velyn_ui::record {

struct Link {
  std::string relation;  // e.g. "marks-up"
  std::string target;    // e.g. a normalised file path
  friend bool operator==(const Link&, const Link&) = default;
};

struct Record {
  RecordId id;
  std::string kind;  // e.g. "annotation-set"
  std::vector<Link> links;
  friend bool operator==(const Record&, const Record&) = default;
};

// Lexical normalisation of a path: duplicate slashes collapse, "." segments go,
// ".." removes the segment before it (never climbing above the root of an
// absolute path), and a trailing slash is dropped. No file-system access.
// A relative path stays relative (leading ".." segments are kept); "" gives ".".
std::string normalise(std::string_view path);

}  // namespace velyn_ui::record
