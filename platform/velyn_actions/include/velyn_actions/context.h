#pragma once
// What a dispatch knows about where an action comes from: the application that
// made it and a short human label for history and logs.
#include <string>
#include <string_view>

namespace velyn_actions {

struct ActionContext {
  std::string app_id;     // the application identifier, e.g. "dev.velyn.pdf-viewer"
  std::string app_title;  // e.g. "PDF Viewer"
  std::string label;      // e.g. "Add annotation"

  // A copy whose empty fields are filled from `more`; fields already set win.
  [[nodiscard]] ActionContext enriched_by(const ActionContext& more) const;

  friend bool operator==(const ActionContext&, const ActionContext&) = default;
};

namespace context {

// The label given to an action whose JSON does not name a single variant.
inline constexpr std::string_view kFallbackLabel = "Update";

// Turns an identifier into words: "DuplicatePagePlan" -> "Duplicate page plan",
// "go_to_page" / "go-to-page" -> "Go to page". Runs of capitals stay one word and
// keep their case ("OpenPDFFile" -> "Open PDF file"); digits stick to the word
// before them.
[[nodiscard]] std::string humanize_identifier(std::string_view identifier);

// The label of an encoded action: the humanized variant name when the JSON value
// is a string or an object with exactly one member, else kFallbackLabel.
[[nodiscard]] std::string label_for_json(std::string_view json);

}  // namespace context

}  // namespace velyn_actions
