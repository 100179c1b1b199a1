#pragma once
// Flattening: a brand-new PDF whose pages are copies of the resolved page plan,
// with the review markup (highlights, ink, notes with their first comment,
// signatures) drawn into the page content as ordinary path and text objects.
// Worker thread only; the document's PDFium handles never leave it.
#include <cstddef>
#include <filesystem>

#include "source/review_snapshot.h"
#include "source/worker_document.h"
#include "velyn/error.h"

namespace pdf::source {

// Stroke and text styles of the drawn markup (points).
inline constexpr double kNoteMarkerSize = 16.0;
inline constexpr double kNoteTextSize = 9.0;
inline constexpr double kInkWidth = 2.0;
inline constexpr double kNoteMarkerStrokeWidth = 0.75;
inline constexpr double kSignatureStrokeWidth = 1.6;
inline constexpr double kSignatureBaselineWidth = 0.75;
inline constexpr double kSignatureScriptMinSize = 10.0;
inline constexpr double kSignatureScriptMaxSize = 22.0;
inline constexpr double kSignerNameSize = 10.0;
inline constexpr double kSignatureDateSize = 7.5;

// PDFium's content generator walks the whole document's object graph for every
// page it regenerates, which makes marking up one large document quadratic.
// Marked-up pages are therefore drawn in scratch documents of this many pages
// and then copied into the output in order; resources shared across chunks
// (an embedded font, say) are copied once per chunk.
inline constexpr std::size_t kFlattenChunkPages = 16;

// The font size of a typed signature in a box `box_height` points high:
// 0.72 of the ink area's height (0.46 of the box), clamped to 10..22.
double typed_signature_size(double box_height);

// Writes the flattened document to `output` (created or truncated). Every
// failure stops at once with its step's message, e.g. "page 3 is still
// awaiting imported content" or "saving flattened PDF to {}: {}"; the output
// may then be missing or partial and belongs to the caller to discard.
velyn::Result<void> flatten_to_file(const WorkerDocument& doc, const ReviewSnapshot& review,
                                    const std::filesystem::path& output);

}  // namespace pdf::source
