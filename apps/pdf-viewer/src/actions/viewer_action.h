#pragma once
// The document-changing actions of the viewer and the records they carry.
// Every change to the shared review state is one PdfViewerAction; it travels
// as the kind "pdf_viewer.action" plus its JSON text (action_json.h).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pdf_actions {

inline constexpr std::string_view kViewerActionKind = "pdf_viewer.action";

// A point in page space (points, origin top-left) or, for signature strokes, in
// unit coordinates of the signature box.
struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};
using Stroke = std::vector<Point>;

// The alternatives live in their own namespace so that they are complete
// types before the variant that holds them is declared.
namespace anno_geom {
struct Highlight {
  double x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const Highlight&, const Highlight&) = default;
};
struct Ink {
  std::vector<Point> points;
  friend bool operator==(const Ink&, const Ink&) = default;
};
struct Note {
  double x = 0, y = 0;
  friend bool operator==(const Note&, const Note&) = default;
};
}  // namespace anno_geom


struct AnnoGeom {
  using Highlight = anno_geom::Highlight;
  using Ink = anno_geom::Ink;
  using Note = anno_geom::Note;
  using Variant = std::variant<Highlight, Ink, Note>;

  Variant value;

  AnnoGeom() = default;
  template <class V>
    requires std::is_constructible_v<Variant, V&&> && (!std::is_same_v<std::remove_cvref_t<V>, AnnoGeom>)
  AnnoGeom(V&& v) : value(std::forward<V>(v)) {}  // NOLINT: implicit by design, like the variant

  friend bool operator==(const AnnoGeom&, const AnnoGeom&) = default;
};

// One page brought in from outside the opened PDF.
struct ImportedPage {
  std::string hash;  // 64 hexadecimal digits, the content blob
  std::string kind;  // "pdf" or "image"
  std::uint64_t page = 1;
  std::uint32_t width_milli = 0;  // thousandths of a point
  std::uint32_t height_milli = 0;
  friend bool operator==(const ImportedPage&, const ImportedPage&) = default;
};

// One entry of the shared page plan.
struct PagePlanEntry {
  std::string id;
  std::uint64_t source_page = 1;
  std::optional<ImportedPage> imported;
  friend bool operator==(const PagePlanEntry&, const PagePlanEntry&) = default;
};

// The alternatives of PdfViewerAction, complete before the variant is declared.
namespace viewer_action {
struct DuplicatePagePlan {
  std::string id;
  std::string new_id;
  std::uint64_t source_page = 1;
  std::optional<ImportedPage> imported;
  friend bool operator==(const DuplicatePagePlan&, const DuplicatePagePlan&) = default;
};
struct ImportPages {
  std::optional<std::string> after_id;
  std::vector<PagePlanEntry> pages;
  friend bool operator==(const ImportPages&, const ImportPages&) = default;
};
struct DeletePagePlan {
  std::string id;
  friend bool operator==(const DeletePagePlan&, const DeletePagePlan&) = default;
};
struct MovePagePlan {
  std::string id;
  std::optional<std::string> after_id;
  friend bool operator==(const MovePagePlan&, const MovePagePlan&) = default;
};
struct AddAnnotation {
  std::string id;
  std::uint64_t page = 1;
  AnnoGeom geom;
  std::string color;
  std::string author;
  friend bool operator==(const AddAnnotation&, const AddAnnotation&) = default;
};
struct SetAnnotationColor {
  std::string id;
  std::string color;
  friend bool operator==(const SetAnnotationColor&, const SetAnnotationColor&) = default;
};
struct SetAnnotationPosition {
  std::string id;
  double x = 0, y = 0;
  friend bool operator==(const SetAnnotationPosition&, const SetAnnotationPosition&) = default;
};
struct DeleteAnnotation {
  std::string id;
  friend bool operator==(const DeleteAnnotation&, const DeleteAnnotation&) = default;
};
struct CreateNote {
  std::string anno_id;
  std::string comment_id;
  std::uint64_t page = 1;
  double x = 0, y = 0;
  std::string color;
  std::string author;
  std::int64_t created = 0;
  std::string body;
  friend bool operator==(const CreateNote&, const CreateNote&) = default;
};
struct SetCommentBody {
  std::string id;
  std::string body;
  friend bool operator==(const SetCommentBody&, const SetCommentBody&) = default;
};
struct SetCommentResolved {
  std::string id;
  bool resolved = false;
  friend bool operator==(const SetCommentResolved&, const SetCommentResolved&) = default;
};
struct AddReply {
  std::string comment_id;
  std::string id;
  std::string author;
  std::string body;
  friend bool operator==(const AddReply&, const AddReply&) = default;
};
struct DeleteComment {
  std::string id;
  friend bool operator==(const DeleteComment&, const DeleteComment&) = default;
};
struct AddSignature {
  std::string id;
  std::uint64_t page = 1;
  double x = 0, y = 0, w = 0, h = 0;
  std::string signer;
  std::string date;
  std::optional<std::vector<Stroke>> strokes;  // absent for a typed signature
  friend bool operator==(const AddSignature&, const AddSignature&) = default;
};
struct DeleteSignature {
  std::string id;
  friend bool operator==(const DeleteSignature&, const DeleteSignature&) = default;
};
}  // namespace viewer_action

struct PdfViewerAction {
  using DuplicatePagePlan = viewer_action::DuplicatePagePlan;
  using ImportPages = viewer_action::ImportPages;
  using DeletePagePlan = viewer_action::DeletePagePlan;
  using MovePagePlan = viewer_action::MovePagePlan;
  using AddAnnotation = viewer_action::AddAnnotation;
  using SetAnnotationColor = viewer_action::SetAnnotationColor;
  using SetAnnotationPosition = viewer_action::SetAnnotationPosition;
  using DeleteAnnotation = viewer_action::DeleteAnnotation;
  using CreateNote = viewer_action::CreateNote;
  using SetCommentBody = viewer_action::SetCommentBody;
  using SetCommentResolved = viewer_action::SetCommentResolved;
  using AddReply = viewer_action::AddReply;
  using DeleteComment = viewer_action::DeleteComment;
  using AddSignature = viewer_action::AddSignature;
  using DeleteSignature = viewer_action::DeleteSignature;

  // Declaration order is part of the format's contract: names index this list.
  using Variant = std::variant<DuplicatePagePlan, ImportPages, DeletePagePlan, MovePagePlan, AddAnnotation,
                               SetAnnotationColor, SetAnnotationPosition, DeleteAnnotation, CreateNote,
                               SetCommentBody, SetCommentResolved, AddReply, DeleteComment, AddSignature,
                               DeleteSignature>;

  Variant value;

  PdfViewerAction() = default;
  template <class V>
    requires std::is_constructible_v<Variant, V&&> && (!std::is_same_v<std::remove_cvref_t<V>, PdfViewerAction>)
  PdfViewerAction(V&& v) : value(std::forward<V>(v)) {}  // NOLINT: implicit by design, like the variant

  // The variant's name as written in JSON, e.g. "AddAnnotation".
  [[nodiscard]] std::string_view variant_name() const;

  friend bool operator==(const PdfViewerAction&, const PdfViewerAction&) = default;
};

inline constexpr std::size_t kViewerActionVariants = std::variant_size_v<PdfViewerAction::Variant>;
static_assert(kViewerActionVariants == 15);

inline constexpr std::string_view kViewerActionNames[kViewerActionVariants] = {
    "DuplicatePagePlan", "ImportPages",       "DeletePagePlan", "MovePagePlan",  "AddAnnotation",
    "SetAnnotationColor", "SetAnnotationPosition", "DeleteAnnotation", "CreateNote",  "SetCommentBody",
    "SetCommentResolved", "AddReply",          "DeleteComment",  "AddSignature",  "DeleteSignature"};

inline std::string_view PdfViewerAction::variant_name() const { return kViewerActionNames[value.index()]; }

inline constexpr std::string_view kAnnoGeomNames[] = {"Highlight", "Ink", "Note"};

}  // namespace pdf_actions
