#pragma once
// The review model: the plain records the viewer reads back from the shared
// document (review_store.h) and shows, searches, saves and describes. They are
// never encoded as JSON.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "actions/viewer_action.h"

namespace pdf_actions {

// The five markup colours, in swatch order (ids 0 to 4).
enum class Swatch : std::uint8_t { Yellow, Green, Pink, Blue, Purple };

inline constexpr std::array<std::string_view, 5> kSwatchNames = {"yellow", "green", "pink", "blue", "purple"};
inline constexpr std::array<std::string_view, 5> kSwatchLabels = {"Yellow", "Green", "Pink", "Blue", "Purple"};

// The stored name: "yellow", "green", ...
[[nodiscard]] constexpr std::string_view swatch_name(Swatch s) { return kSwatchNames[static_cast<std::size_t>(s)]; }
// The shown name: "Yellow", "Green", ...
[[nodiscard]] constexpr std::string_view swatch_label(Swatch s) { return kSwatchLabels[static_cast<std::size_t>(s)]; }
// Exact stored names only; every other text, "Purple" included, is yellow.
[[nodiscard]] constexpr Swatch parse_swatch(std::string_view name) {
  for (std::size_t i = 1; i < kSwatchNames.size(); ++i)
    if (kSwatchNames[i] == name) return static_cast<Swatch>(i);
  return Swatch::Yellow;
}

struct Annotation {
  std::string id;
  std::uint64_t page = 1;
  Swatch color = Swatch::Yellow;
  std::string author;
  AnnoGeom geom;
  friend bool operator==(const Annotation&, const Annotation&) = default;
};

struct Reply {
  std::string id;
  std::string author;
  std::string body;
  friend bool operator==(const Reply&, const Reply&) = default;
};

struct Comment {
  std::string id;
  std::optional<std::string> anno;
  std::uint64_t page = 1;
  std::string author;
  std::string body;
  std::int64_t created = 0;
  bool resolved = false;
  std::vector<Reply> replies;
  friend bool operator==(const Comment&, const Comment&) = default;
};

struct Signature {
  std::string id;
  std::uint64_t page = 1;
  double x = 0, y = 0, w = 0, h = 0;
  std::string signer;
  std::string date;
  std::optional<std::vector<Stroke>> strokes;  // unit box coordinates; absent when typed
  friend bool operator==(const Signature&, const Signature&) = default;
};

// Everything read from one document at one moment.
struct ReviewModel {
  std::vector<Annotation> annotations;
  std::vector<Comment> comments;
  std::vector<Signature> signatures;
  friend bool operator==(const ReviewModel&, const ReviewModel&) = default;
};

}  // namespace pdf_actions
