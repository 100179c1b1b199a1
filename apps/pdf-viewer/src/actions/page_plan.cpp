#include "actions/page_plan.h"

#include <algorithm>
#include <unordered_set>

#include "actions/review_schema.h"
#include "actions/review_store.h"

namespace pdf_actions {

using docstore::Document;
using docstore::ObjId;
using docstore::Transaction;

std::string seeded_entry_id(std::uint64_t page) { return "source-" + std::to_string(page); }

bool is_valid_imported_page(const ImportedPage& page) {
  if (page.hash.size() != kContentHashDigits) return false;
  for (char c : page.hash) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  if (page.kind != values::kContentPdf && page.kind != values::kContentImage) return false;
  if (page.page < 1) return false;
  auto side_ok = [](std::uint32_t milli) { return milli >= 1 && milli <= kMaxPageMilli; };
  return side_ok(page.width_milli) && side_ok(page.height_milli);
}

namespace {

struct RawElement {
  ListElement at;
  std::string id;
};

// Every map element of the "page-plan" lists with a string "id", in order.
std::vector<RawElement> raw_elements(const Document& doc) {
  std::vector<RawElement> out;
  for (auto& e : root_list_elements(doc, keys::kPagePlan))
    if (auto id = read_string(doc, e.map, members::kId)) out.push_back({e, std::move(*id)});
  return out;
}

const RawElement* find_raw(const std::vector<RawElement>& raw, std::string_view id) {
  for (const auto& e : raw)
    if (e.id == id) return &e;
  return nullptr;
}

bool is_tombstoned(const Document& doc, std::string_view id) {
  for (const ObjId& tombs : root_objects(doc, keys::kPagePlanTombstones, docstore::ObjType::Map))
    if (doc.get(tombs, id)) return true;
  return false;
}

// Where "the end of the plan" is: after the last element of the last list.
struct InsertionPoint {
  ObjId list;
  std::size_t index = 0;
};
std::optional<InsertionPoint> plan_end(Transaction& txn) {
  const auto lists = root_objects(txn.document(), keys::kPagePlan, docstore::ObjType::List);
  if (!lists.empty()) return InsertionPoint{lists.back(), txn.document().length(lists.back())};
  auto made = get_or_create_root_list(txn, keys::kPagePlan);
  if (!made) return std::nullopt;
  return InsertionPoint{*made, 0};
}
std::optional<InsertionPoint> plan_front(Transaction& txn) {
  auto list = get_or_create_root_list(txn, keys::kPagePlan);
  if (!list) return std::nullopt;
  return InsertionPoint{*list, 0};
}
InsertionPoint after(const RawElement& anchor) { return {anchor.at.list, anchor.at.index + 1}; }

// Reads one stored entry; nullopt when it is not displayable on its own terms
// (tombstones and repeats are the caller's concern).
std::optional<PagePlanEntry> read_entry(const Document& doc, const ObjId& m) {
  auto id = read_string(doc, m, members::kId);
  auto source_page = read_int(doc, m, members::kSourcePage);
  // Page numbers count from 1; a negative one is as meaningless as 0.
  if (!id || !source_page || *source_page < 1) return std::nullopt;
  PagePlanEntry entry{std::move(*id), static_cast<std::uint64_t>(*source_page), std::nullopt};
  if (doc.get(m, members::kContentHash)) {
    auto hash = read_string(doc, m, members::kContentHash);
    auto kind = read_string(doc, m, members::kContentKind);
    auto page = read_int(doc, m, members::kContentPage);
    auto width = read_int(doc, m, members::kPageWidthMilli);
    auto height = read_int(doc, m, members::kPageHeightMilli);
    if (!hash || !kind || !page || !width || !height) return std::nullopt;
    auto side = [](std::int64_t v) -> std::uint32_t {
      return v >= 1 && v <= kMaxPageMilli ? static_cast<std::uint32_t>(v) : 0;  // 0 fails validation
    };
    ImportedPage imported{std::move(*hash), std::move(*kind), *page >= 1 ? static_cast<std::uint64_t>(*page) : 0,
                          side(*width), side(*height)};
    if (!is_valid_imported_page(imported)) return std::nullopt;
    entry.imported = std::move(imported);
  }
  return entry;
}

// Writes the members of a new entry map.
void write_entry(Transaction& txn, const ObjId& m, const std::string& id, std::uint64_t source_page,
                 const std::optional<ImportedPage>& imported) {
  (void)txn.put(m, members::kId, id);
  (void)txn.put(m, members::kSourcePage, static_cast<std::int64_t>(std::min<std::uint64_t>(source_page, INT64_MAX)));
  if (!imported) return;
  (void)txn.put(m, members::kContentHash, imported->hash);
  (void)txn.put(m, members::kContentKind, imported->kind);
  (void)txn.put(m, members::kContentPage,
                static_cast<std::int64_t>(std::min<std::uint64_t>(imported->page, INT64_MAX)));
  (void)txn.put(m, members::kPageWidthMilli, static_cast<std::int64_t>(imported->width_milli));
  (void)txn.put(m, members::kPageHeightMilli, static_cast<std::int64_t>(imported->height_milli));
}

void insert_entry(Transaction& txn, const InsertionPoint& at, const std::string& id, std::uint64_t source_page,
                  const std::optional<ImportedPage>& imported) {
  auto m = txn.insert_object(at.list, at.index, docstore::ObjType::Map);
  if (m) write_entry(txn, *m, id, source_page, imported);
}

// Removes every element whose "id" is `id`.
void remove_raw(Transaction& txn, std::string_view id) {
  std::vector<ListElement> doomed;
  for (const auto& e : raw_elements(txn.document()))
    if (e.id == id) doomed.push_back(e.at);
  remove_elements(txn, doomed);
}

}  // namespace

std::vector<PagePlanEntry> derive_page_plan(const Document& doc) {
  std::vector<PagePlanEntry> out;
  std::unordered_set<std::string> taken;
  for (const auto& element : root_list_elements(doc, keys::kPagePlan)) {
    auto entry = read_entry(doc, element.map);
    if (!entry) continue;
    if (is_tombstoned(doc, entry->id)) continue;
    if (!taken.insert(entry->id).second) continue;
    out.push_back(std::move(*entry));
  }
  return out;
}

bool page_plan_seeded(const Document& doc) {
  return std::ranges::any_of(root_objects(doc, keys::kMeta, docstore::ObjType::Map),
                             [&](const ObjId& m) { return read_bool(doc, m, keys::kPagePlanSeeded) == true; });
}

void seed_page_plan(Transaction& txn, std::uint64_t page_count) {
  page_count = std::max<std::uint64_t>(page_count, 1);
  auto list = get_or_create_root_list(txn, keys::kPagePlan);
  auto meta = get_or_create_root_map(txn, keys::kMeta);
  if (!list || !meta) return;
  const Document& doc = txn.document();
  if (page_plan_seeded(doc)) return;
  const auto derived = derive_page_plan(doc);
  const bool seeded_elsewhere =
      std::any_of(derived.begin(), derived.end(), [](const PagePlanEntry& e) { return !e.imported; });
  if (!seeded_elsewhere) {
    std::unordered_set<std::string> held;
    for (const auto& e : derived) held.insert(e.id);
    auto at = plan_end(txn);
    for (std::uint64_t n = 1; at && n <= page_count; ++n) {
      std::string id = seeded_entry_id(n);
      // A deleted page stays deleted: writing its entry again would only add a dead element.
      if (held.contains(id) || is_tombstoned(doc, id)) continue;
      insert_entry(txn, *at, id, n, std::nullopt);
      ++at->index;
    }
  }
  (void)txn.put(*meta, keys::kPagePlanSeeded, true);
}

namespace {

std::optional<PagePlanEntry> displayed_entry(const Document& doc, std::string_view id) {
  for (auto& e : derive_page_plan(doc))
    if (e.id == id) return std::move(e);
  return std::nullopt;
}

}  // namespace

void apply_duplicate_page_plan(Transaction& txn, const PdfViewerAction::DuplicatePagePlan& a) {
  const Document& doc = txn.document();
  if (is_tombstoned(doc, a.new_id)) return;
  const auto raw = raw_elements(doc);
  const RawElement* original = find_raw(raw, a.id);
  if (!original || find_raw(raw, a.new_id)) return;
  const auto shown = displayed_entry(doc, a.id);
  if (!shown || shown->source_page != a.source_page || shown->imported != a.imported) return;
  insert_entry(txn, after(*original), a.new_id, a.source_page, a.imported);
}

void apply_import_pages(Transaction& txn, const PdfViewerAction::ImportPages& a) {
  if (a.pages.empty() || a.pages.size() > kMaxImportPages) return;
  std::unordered_set<std::string_view> ids;
  for (const auto& page : a.pages) {
    if (page.id.empty() || page.id.size() > kMaxPlanEntryIdBytes) return;
    if (!page.imported || !is_valid_imported_page(*page.imported)) return;
    if (!ids.insert(page.id).second) return;
  }
  const Document& doc = txn.document();
  const auto raw = raw_elements(doc);
  for (const auto& page : a.pages)
    if (is_tombstoned(doc, page.id) || find_raw(raw, page.id)) return;
  std::optional<InsertionPoint> at;
  if (a.after_id) {
    if (const RawElement* anchor = find_raw(raw, *a.after_id)) at = after(*anchor);
  }
  if (!at) at = plan_end(txn);
  if (!at) return;
  for (const auto& page : a.pages) {
    insert_entry(txn, *at, page.id, page.source_page, page.imported);
    ++at->index;
  }
}

void apply_move_page_plan(Transaction& txn, const PdfViewerAction::MovePagePlan& a) {
  const Document& doc = txn.document();
  if (!find_raw(raw_elements(doc), a.id)) return;
  const auto moved = displayed_entry(doc, a.id);
  if (!moved) return;
  remove_raw(txn, a.id);
  std::optional<InsertionPoint> at;
  if (a.after_id) {
    const auto raw = raw_elements(doc);
    if (const RawElement* anchor = find_raw(raw, *a.after_id)) at = after(*anchor);
  }
  if (!at) at = plan_front(txn);  // the front, unlike ImportPages which appends
  if (!at) return;
  insert_entry(txn, *at, moved->id, moved->source_page, moved->imported);
}

void apply_delete_page_plan(Transaction& txn, const PdfViewerAction::DeletePagePlan& a) {
  const Document& doc = txn.document();
  if (derive_page_plan(doc).size() <= 1) return;  // the last page cannot be deleted
  if (auto tombs = get_or_create_root_map(txn, keys::kPagePlanTombstones)) (void)txn.put(*tombs, a.id, true);
  remove_raw(txn, a.id);

  // Markup of the page goes with it; comments anchored to its annotations too.
  auto remove_where = [&](std::string_view key, auto&& doomed) {
    auto elements = root_list_elements(doc, key);
    std::erase_if(elements, [&](const ListElement& e) { return !doomed(e.map); });
    remove_elements(txn, elements);
  };
  std::unordered_set<std::string> removed_annotations;
  remove_where(keys::kAnnotations, [&](const ObjId& m) {
    if (read_string(doc, m, members::kPageId) != a.id) return false;
    if (auto id = read_string(doc, m, members::kId)) removed_annotations.insert(*id);
    return true;
  });
  remove_where(keys::kComments, [&](const ObjId& m) {
    if (read_string(doc, m, members::kPageId) == a.id) return true;
    auto anno = read_string(doc, m, members::kAnno);
    return anno && removed_annotations.contains(*anno);
  });
  remove_where(keys::kSignatures, [&](const ObjId& m) { return read_string(doc, m, members::kPageId) == a.id; });
}

}  // namespace pdf_actions
