#pragma once
// Reading review state back from the shared document (its names are in
// review_schema.h), and the small store operations apply builds on. Reading
// never writes and never fails: foreign shapes give defaults, non-map
// elements are skipped.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "actions/review_model.h"
#include "actions/review_schema.h"
#include "docstore/document.h"

namespace pdf_actions {

// Signature boxes without a stored size.
inline constexpr double kDefaultSignatureWidth = 180;
inline constexpr double kDefaultSignatureHeight = 56;

// Positions (from 1) of the displayed page sequence, by plan entry id.
class PagePositions {
 public:
  PagePositions() = default;
  explicit PagePositions(const std::vector<PagePlanEntry>& displayed);

  [[nodiscard]] std::optional<std::uint64_t> position_of(std::string_view entry_id) const;
  [[nodiscard]] std::optional<std::string> entry_id_at(std::uint64_t position) const;
  [[nodiscard]] std::size_t size() const { return ids_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  std::vector<std::string> ids_;
  std::unordered_map<std::string, std::uint64_t, Hash, std::equal_to<>> positions_;  // first position wins
};

// Each reader derives the displayed sequence itself; read_review_model does it once.
[[nodiscard]] std::vector<Annotation> read_annotations(const docstore::Document& doc);
[[nodiscard]] std::vector<Comment> read_comments(const docstore::Document& doc);
[[nodiscard]] std::vector<Signature> read_signatures(const docstore::Document& doc);
[[nodiscard]] ReviewModel read_review_model(const docstore::Document& doc);

[[nodiscard]] std::vector<Annotation> read_annotations(const docstore::Document& doc, const PagePositions& pages);
[[nodiscard]] std::vector<Comment> read_comments(const docstore::Document& doc, const PagePositions& pages);
[[nodiscard]] std::vector<Signature> read_signatures(const docstore::Document& doc, const PagePositions& pages);

// "1.50,2.00 3.00,4.00": two decimals, pairs separated by one space.
[[nodiscard]] std::string format_points(const std::vector<Point>& points);
// Pieces split at white space; a piece whose first two comma-separated parts
// are decimal numbers is a point, anything else is skipped.
[[nodiscard]] std::vector<Point> parse_points(std::string_view text);
// Strokes formatted like points, joined by ";".
[[nodiscard]] std::string format_strokes(const std::vector<Stroke>& strokes);
[[nodiscard]] std::vector<Stroke> parse_strokes(std::string_view text);

// ---- small typed reads of one map, tolerant of every stored type ----
[[nodiscard]] std::optional<std::string> read_string(const docstore::Document& doc, const docstore::ObjId& map,
                                                     std::string_view key);
[[nodiscard]] std::optional<std::int64_t> read_int(const docstore::Document& doc, const docstore::ObjId& map,
                                                   std::string_view key);
// Floats, and integers read as floats.
[[nodiscard]] std::optional<double> read_number(const docstore::Document& doc, const docstore::ObjId& map,
                                                std::string_view key);
[[nodiscard]] std::optional<bool> read_bool(const docstore::Document& doc, const docstore::ObjId& map,
                                            std::string_view key);
[[nodiscard]] std::optional<docstore::ObjId> read_list(const docstore::Document& doc, const docstore::ObjId& map,
                                                       std::string_view key);
[[nodiscard]] std::optional<docstore::ObjId> read_map(const docstore::Document& doc, const docstore::ObjId& map,
                                                      std::string_view key);

// The members of one record map, borrowed from the document: reading a record
// member by member would look the map up again for every member. Valid until
// the document next changes.
class RecordView {
 public:
  RecordView(const docstore::Document& doc, const docstore::ObjId& map) : members_(doc.lookup_map(map)) {}
  explicit RecordView(const docstore::MapView& members) : members_(members) {}

  [[nodiscard]] const docstore::Value* find(std::string_view key) const { return members_.find(key); }
  [[nodiscard]] std::optional<std::string> string(std::string_view key) const;
  // A borrowed string member; valid as long as the view.
  [[nodiscard]] std::optional<std::string_view> text(std::string_view key) const;
  [[nodiscard]] std::optional<std::int64_t> integer(std::string_view key) const;
  [[nodiscard]] std::optional<double> number(std::string_view key) const;  // as read_number
  [[nodiscard]] std::optional<bool> boolean(std::string_view key) const;
  [[nodiscard]] std::optional<docstore::ObjId> list(std::string_view key) const;
  // As read_record_page.
  [[nodiscard]] std::uint64_t page(const PagePositions& pages) const;

 private:
  docstore::MapView members_;
};

// The page of a stored record: its "page-id" position when displayed, else its
// "page" when at least 1, else 1.
[[nodiscard]] std::uint64_t read_record_page(const docstore::Document& doc, const docstore::ObjId& record,
                                             const PagePositions& pages);

// ---- root objects ----
// Two instances that create a root list before they meet both put one at the
// key; the store keeps both as a conflict. Readers see every such object,
// winner first, so no instance's records are lost to the conflict.
[[nodiscard]] std::vector<docstore::ObjId> root_objects(const docstore::Document& doc, std::string_view key,
                                                        docstore::ObjType type);

// One map element of a root list.
struct ListElement {
  docstore::ObjId list;
  std::size_t index = 0;  // among the list's visible elements
  docstore::ObjId map;
};
// The map elements of every list at a root key, list by list, in list order.
[[nodiscard]] std::vector<ListElement> root_list_elements(const docstore::Document& doc, std::string_view key);
// The same without collecting them: each element with its members borrowed.
// The visitor must not change the document.
void for_each_root_list_map(const docstore::Document& doc, std::string_view key,
                            docstore::FunctionRef<void(const ListElement& element, const RecordView& record)> visit);

// ---- writing ----
// The list or map at a root key (the first of root_objects); anything else
// there is replaced by a new empty object of the right type. Fails only when the store refuses the write.
velyn::Result<docstore::ObjId> get_or_create_root_list(docstore::Transaction& txn, std::string_view key);
velyn::Result<docstore::ObjId> get_or_create_root_map(docstore::Transaction& txn, std::string_view key);

// The first map of the root lists at `list_key` whose "id" is `id`.
struct FoundRecord {
  docstore::ObjId list;
  std::size_t index = 0;
  docstore::ObjId record;
};
// Removes the elements, last first so that the indexes of the rest hold.
void remove_elements(docstore::Transaction& txn, const std::vector<ListElement>& elements);
[[nodiscard]] std::optional<FoundRecord> find_record(const docstore::Document& doc, std::string_view list_key,
                                                     std::string_view id);

// Gives every annotation, comment and signature without "page-id" the id of
// the entry displayed at its "page" (1 when missing), if there is one.
void backfill_page_ids(docstore::Transaction& txn);
// Whether backfill_page_ids would write anything.
[[nodiscard]] bool page_ids_missing(const docstore::Document& doc);

}  // namespace pdf_actions
