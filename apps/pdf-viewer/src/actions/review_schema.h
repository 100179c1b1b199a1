#pragma once
// The names of review state in the shared document, each spelled once. Apply
// and the page plan write with them, the review store and the plan read with
// them, and the built-in sample seeds with them. They are the stored format:
// replicas exchange them and every viewer that ever wrote a document reads
// them back, so a value here never changes.
//
// Root: "annotations", "comments", "signatures" and "page-plan" are lists of
// record maps; "page-plan-tombstones" maps deleted entry ids to true; "meta"
// holds document-wide flags.
#include <string_view>

namespace pdf_actions {

// Keys of the root map and of "meta".
namespace keys {
inline constexpr std::string_view kAnnotations = "annotations";
inline constexpr std::string_view kComments = "comments";
inline constexpr std::string_view kSignatures = "signatures";
inline constexpr std::string_view kPagePlan = "page-plan";
inline constexpr std::string_view kPagePlanTombstones = "page-plan-tombstones";
inline constexpr std::string_view kMeta = "meta";

// In "meta": the plan was seeded from the opened PDF once.
inline constexpr std::string_view kPagePlanSeeded = "page-plan-seeded";
// In "meta": the built-in sample's demo review, and the title and author it
// was written for.
inline constexpr std::string_view kSampleSeeded = "seeded";
inline constexpr std::string_view kSampleTitle = "title";
inline constexpr std::string_view kSampleAuthor = "author";
}  // namespace keys

// Members of the record maps.
namespace members {
// Every annotation, comment and signature; "id" also names replies and plan entries.
inline constexpr std::string_view kId = "id";
inline constexpr std::string_view kPage = "page";        // position from 1 when written
inline constexpr std::string_view kPageId = "page-id";   // the plan entry shown there
inline constexpr std::string_view kAuthor = "author";    // also replies

// Annotations; signatures use the box too.
inline constexpr std::string_view kKind = "kind";
inline constexpr std::string_view kColor = "color";
inline constexpr std::string_view kX = "x";
inline constexpr std::string_view kY = "y";
inline constexpr std::string_view kW = "w";
inline constexpr std::string_view kH = "h";
inline constexpr std::string_view kPoints = "points";

// Comments; "body" also in replies.
inline constexpr std::string_view kAnno = "anno";
inline constexpr std::string_view kBody = "body";
inline constexpr std::string_view kCreated = "created";
inline constexpr std::string_view kResolved = "resolved";
inline constexpr std::string_view kReplies = "replies";

// Signatures.
inline constexpr std::string_view kSigner = "signer";
inline constexpr std::string_view kDate = "date";
inline constexpr std::string_view kInk = "ink";
inline constexpr std::string_view kStrokes = "strokes";

// Page plan entries; the content members only on imported ones.
inline constexpr std::string_view kSourcePage = "source-page";
inline constexpr std::string_view kContentHash = "content-hash";
inline constexpr std::string_view kContentKind = "content-kind";
inline constexpr std::string_view kContentPage = "content-page";
inline constexpr std::string_view kPageWidthMilli = "page-width-milli";
inline constexpr std::string_view kPageHeightMilli = "page-height-milli";
}  // namespace members

// Stored text values with a meaning.
namespace values {
// Annotation "kind"; a record with any other kind reads as a note.
inline constexpr std::string_view kHighlight = "highlight";
inline constexpr std::string_view kInk = "ink";
inline constexpr std::string_view kNote = "note";

// Signature "ink": strokes drawn on the pad, or the signer's name typed.
inline constexpr std::string_view kDrawn = "drawn";
inline constexpr std::string_view kTyped = "typed";

// Plan entry "content-kind".
inline constexpr std::string_view kContentPdf = "pdf";
inline constexpr std::string_view kContentImage = "image";
}  // namespace values

}  // namespace pdf_actions
