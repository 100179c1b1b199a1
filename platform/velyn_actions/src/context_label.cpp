// The one place of the framework that reads JSON: the label of an encoded action.
#include <nlohmann/json.hpp>

#include "velyn_actions/context.h"

namespace velyn_actions::context {

std::string label_for_json(std::string_view json) {
  // Labels are cosmetic: text that does not parse gets the fallback, never an error.
  const auto value = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (value.is_string()) return humanize_identifier(value.get_ref<const std::string&>());
  if (value.is_object() && value.size() == 1) return humanize_identifier(value.begin().key());
  return std::string(kFallbackLabel);
}

}  // namespace velyn_actions::context
