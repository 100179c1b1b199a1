#include "actions/apply.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "actions/page_plan.h"
#include "actions/review_model.h"
#include "actions/review_schema.h"
#include "actions/review_store.h"

namespace pdf_actions {

namespace {

using docstore::Document;
using docstore::ObjId;
using docstore::Transaction;
using A = PdfViewerAction;

std::int64_t stored_int(std::uint64_t v) {
  return static_cast<std::int64_t>(std::min<std::uint64_t>(v, static_cast<std::uint64_t>(INT64_MAX)));
}

// Coordinates are finite everywhere else in the system; a non-finite one from a
// local caller would be unreadable on every replica, so it is stored as 0.
double stored_float(double v) { return std::isfinite(v) ? v : 0.0; }

std::string canonical_color(std::string_view text) { return std::string(swatch_name(parse_swatch(text))); }

// Appends a new map after the last record of the root lists and returns it.
std::optional<ObjId> append_record(Transaction& txn, std::string_view list_key) {
  const auto lists = root_objects(txn.document(), list_key, docstore::ObjType::List);
  auto list = lists.empty() ? get_or_create_root_list(txn, list_key) : velyn::Result<ObjId>(lists.back());
  if (!list) return std::nullopt;
  auto m = txn.insert_object(*list, txn.document().length(*list), docstore::ObjType::Map);
  if (!m) return std::nullopt;
  return *m;
}

// "page" and, when that position is displayed, "page-id".
void put_page(Transaction& txn, const ObjId& m, std::uint64_t page, const PagePositions& pages) {
  (void)txn.put(m, members::kPage, stored_int(page));
  if (auto id = pages.entry_id_at(page)) (void)txn.put(m, members::kPageId, *id);
}

// "x" and "y": a note's point, or the corner a box starts at.
void put_position(Transaction& txn, const ObjId& m, double x, double y) {
  (void)txn.put(m, members::kX, stored_float(x));
  (void)txn.put(m, members::kY, stored_float(y));
}

// "x", "y", "w" and "h": a highlight or a signature box.
void put_box(Transaction& txn, const ObjId& m, double x, double y, double w, double h) {
  put_position(txn, m, x, y);
  (void)txn.put(m, members::kW, stored_float(w));
  (void)txn.put(m, members::kH, stored_float(h));
}

void put_geometry(Transaction& txn, const ObjId& m, const AnnoGeom& geom) {
  std::visit(
      [&](const auto& g) {
        using G = std::decay_t<decltype(g)>;
        if constexpr (std::is_same_v<G, AnnoGeom::Highlight>) {
          put_box(txn, m, g.x, g.y, g.w, g.h);
        } else if constexpr (std::is_same_v<G, AnnoGeom::Ink>) {
          (void)txn.put(m, members::kPoints, format_points(g.points));
        } else {
          put_position(txn, m, g.x, g.y);
        }
      },
      geom.value);
}

// In the order of AnnoGeom's alternatives.
std::string_view kind_of(const AnnoGeom& geom) {
  static constexpr std::string_view kKinds[] = {values::kHighlight, values::kInk, values::kNote};
  return kKinds[geom.value.index()];
}

void add_annotation(Transaction& txn, const std::string& id, std::uint64_t page, const AnnoGeom& geom,
                    std::string_view color, const std::string& author, const PagePositions& pages) {
  auto m = append_record(txn, keys::kAnnotations);
  if (!m) return;
  (void)txn.put(*m, members::kId, id);
  put_page(txn, *m, page, pages);
  (void)txn.put(*m, members::kKind, kind_of(geom));
  (void)txn.put(*m, members::kColor, canonical_color(color));
  (void)txn.put(*m, members::kAuthor, author);
  put_geometry(txn, *m, geom);
}

// Removes every comment whose "anno" is `anno_id`.
void remove_comments_of(Transaction& txn, std::string_view anno_id) {
  const Document& doc = txn.document();
  auto elements = root_list_elements(doc, keys::kComments);
  std::erase_if(elements, [&](const ListElement& e) { return read_string(doc, e.map, members::kAnno) != anno_id; });
  remove_elements(txn, elements);
}

void delete_annotation(Transaction& txn, const std::string& id) {
  auto found = find_record(txn.document(), keys::kAnnotations, id);
  if (!found) return;
  (void)txn.remove(found->list, found->index);
  remove_comments_of(txn, id);
}

bool is_blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
  });
}

struct Applier {
  Transaction& txn;

  PagePositions pages() const { return PagePositions(derive_page_plan(txn.document())); }

  void operator()(const A::DuplicatePagePlan& a) { apply_duplicate_page_plan(txn, a); }
  void operator()(const A::ImportPages& a) { apply_import_pages(txn, a); }
  void operator()(const A::MovePagePlan& a) { apply_move_page_plan(txn, a); }
  void operator()(const A::DeletePagePlan& a) {
    backfill_page_ids(txn);
    apply_delete_page_plan(txn, a);
  }

  void operator()(const A::AddAnnotation& a) { add_annotation(txn, a.id, a.page, a.geom, a.color, a.author, pages()); }

  void operator()(const A::SetAnnotationColor& a) {
    if (auto found = find_record(txn.document(), keys::kAnnotations, a.id))
      (void)txn.put(found->record, members::kColor, canonical_color(a.color));
  }

  void operator()(const A::SetAnnotationPosition& a) {
    auto found = find_record(txn.document(), keys::kAnnotations, a.id);
    if (!found || read_string(txn.document(), found->record, members::kKind) == values::kInk) return;
    put_position(txn, found->record, a.x, a.y);
  }

  void operator()(const A::DeleteAnnotation& a) { delete_annotation(txn, a.id); }

  void operator()(const A::CreateNote& a) {
    const PagePositions positions = pages();
    add_annotation(txn, a.anno_id, a.page, AnnoGeom::Note{a.x, a.y}, a.color, a.author, positions);
    auto m = append_record(txn, keys::kComments);
    if (!m) return;
    (void)txn.put(*m, members::kId, a.comment_id);
    (void)txn.put(*m, members::kAnno, a.anno_id);
    put_page(txn, *m, a.page, positions);
    (void)txn.put(*m, members::kAuthor, a.author);
    (void)txn.put(*m, members::kBody, a.body);
    (void)txn.put(*m, members::kCreated, a.created);
    (void)txn.put(*m, members::kResolved, false);
    (void)txn.put_object(*m, members::kReplies, docstore::ObjType::List);
  }

  void operator()(const A::SetCommentBody& a) {
    if (auto found = find_record(txn.document(), keys::kComments, a.id))
      (void)txn.put(found->record, members::kBody, a.body);
  }

  void operator()(const A::SetCommentResolved& a) {
    if (auto found = find_record(txn.document(), keys::kComments, a.id))
      (void)txn.put(found->record, members::kResolved, a.resolved);
  }

  void operator()(const A::AddReply& a) {
    if (is_blank(a.id)) return;
    auto found = find_record(txn.document(), keys::kComments, a.comment_id);
    if (!found) return;
    auto replies = read_list(txn.document(), found->record, members::kReplies);
    if (!replies) {
      auto made = txn.put_object(found->record, members::kReplies, docstore::ObjType::List);
      if (!made) return;
      replies = *made;
    }
    const Document& doc = txn.document();
    for (const auto& item : doc.list_items(*replies)) {
      auto r = item.as_map();
      if (r && read_string(doc, *r, members::kId) == a.id) return;  // already there: replies are idempotent
    }
    auto r = txn.insert_object(*replies, doc.length(*replies), docstore::ObjType::Map);
    if (!r) return;
    (void)txn.put(*r, members::kId, a.id);
    (void)txn.put(*r, members::kAuthor, a.author);
    (void)txn.put(*r, members::kBody, a.body);
  }

  void operator()(const A::DeleteComment& a) {
    const auto comments = read_comments(txn.document());
    auto it = std::find_if(comments.begin(), comments.end(), [&](const Comment& c) { return c.id == a.id; });
    if (it == comments.end()) return;
    if (it->anno) delete_annotation(txn, *it->anno);
    if (auto found = find_record(txn.document(), keys::kComments, a.id)) (void)txn.remove(found->list, found->index);
  }

  void operator()(const A::AddSignature& a) {
    const PagePositions positions = pages();
    auto m = append_record(txn, keys::kSignatures);
    if (!m) return;
    (void)txn.put(*m, members::kId, a.id);
    put_page(txn, *m, a.page, positions);
    put_box(txn, *m, a.x, a.y, a.w, a.h);
    (void)txn.put(*m, members::kSigner, a.signer);
    (void)txn.put(*m, members::kDate, a.date);
    if (a.strokes) {
      (void)txn.put(*m, members::kInk, values::kDrawn);
      (void)txn.put(*m, members::kStrokes, format_strokes(*a.strokes));
    } else {
      (void)txn.put(*m, members::kInk, values::kTyped);
    }
  }

  void operator()(const A::DeleteSignature& a) {
    if (auto found = find_record(txn.document(), keys::kSignatures, a.id)) (void)txn.remove(found->list, found->index);
  }
};

}  // namespace

void apply_action(Transaction& txn, const PdfViewerAction& action) { std::visit(Applier{txn}, action.value); }

}  // namespace pdf_actions
