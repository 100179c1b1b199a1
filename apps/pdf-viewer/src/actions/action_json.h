#pragma once
// The JSON form of viewer actions, operations and their records.
//
// Writing: a field-less variant is the string of its name; a variant with fields
// is an object with one member named after it, whose value holds the fields in
// declaration order. Absent optionals are null, floats are their shortest exact
// decimal form (non-finite ones null), and no white space is written.
//
// Reading is strict: members in any order, unknown members ignored, repeated or
// missing required members rejected, null means absent for optionals only.
#include <string>
#include <string_view>

#include "actions/operation.h"
#include "actions/viewer_action.h"
#include "velyn/error.h"
#include "velyn_actions/encoded_action.h"

namespace pdf_actions {

// Inputs above this size are refused before parsing: no action comes near it.
inline constexpr std::size_t kMaxActionJsonBytes = 16u << 20;
// Arrays and objects nest at most this deep (points in strokes need 4 levels).
inline constexpr std::size_t kMaxJsonDepth = 32;

// Fails only for text that is not valid UTF-8, which JSON cannot carry.
[[nodiscard]] std::expected<velyn_actions::EncodedAction, velyn_actions::ActionError> encode_action(
    const PdfViewerAction& action);
// What encode_action would refuse, found without writing JSON: an action
// applied in this process must be one that could cross to another.
[[nodiscard]] std::expected<void, velyn_actions::ActionError> check_action_texts(const PdfViewerAction& action);
[[nodiscard]] std::expected<velyn_actions::EncodedAction, velyn_actions::ActionError> encode_operation(
    const PdfOperation& operation);

// Errors carry the kind and the parser's (or the reader's) message.
[[nodiscard]] std::expected<PdfViewerAction, velyn_actions::ActionError> decode_action(std::string_view json);
[[nodiscard]] std::expected<PdfOperation, velyn_actions::ActionError> decode_operation(std::string_view json);

// The records on their own, in the same form as inside an action.
[[nodiscard]] velyn::Result<std::string> to_json(const AnnoGeom& geom);
[[nodiscard]] velyn::Result<std::string> to_json(const ImportedPage& page);
[[nodiscard]] velyn::Result<std::string> to_json(const PagePlanEntry& entry);
[[nodiscard]] velyn::Result<AnnoGeom> decode_anno_geom(std::string_view json);
[[nodiscard]] velyn::Result<ImportedPage> decode_imported_page(std::string_view json);
[[nodiscard]] velyn::Result<PagePlanEntry> decode_page_plan_entry(std::string_view json);

// The shortest text that reads back as exactly `value` ("0.1", "1e+21", "-3").
// Non-finite values have no JSON form; callers write null for them.
[[nodiscard]] std::string shortest_float_text(double value);

}  // namespace pdf_actions
