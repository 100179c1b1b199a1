// The shared page plan: derive, seed, the four plan actions and rail outcomes.
#include <gtest/gtest.h>

#include "actions/rail_outcomes.h"
#include "review_test_support.h"

namespace pdf_actions {
namespace {

using A = PdfViewerAction;
using docstore::Document;
using docstore::ObjId;
using testing::apply;
using testing::imported;
using testing::plan_ids;
using Ids = std::vector<std::string>;

void write_raw_entries(Document& doc, const std::function<void(docstore::Transaction&, const ObjId&)>& fill) {
  auto txn = doc.begin();
  auto list = *get_or_create_root_list(txn, keys::kPagePlan);
  fill(txn, list);
  txn.commit();
}

ObjId raw_entry(docstore::Transaction& txn, const ObjId& list, const std::string& id, std::int64_t source_page) {
  auto m = *txn.insert_object(list, txn.document().length(list), docstore::ObjType::Map);
  (void)txn.put(m, "id", id);
  (void)txn.put(m, "source-page", source_page);
  return m;
}

TEST(PagePlan, FreshDocumentIsSeededOnce) {
  Document doc;
  testing::seed(doc, 3);
  EXPECT_EQ(plan_ids(doc), (Ids{"source-1", "source-2", "source-3"}));
  auto meta = read_map(doc, ObjId::root(), keys::kMeta);
  ASSERT_TRUE(meta);
  EXPECT_EQ(read_bool(doc, *meta, keys::kPagePlanSeeded), true);
  testing::seed(doc, 5);  // seeded already: the page count no longer matters
  EXPECT_EQ(plan_ids(doc).size(), 3u);
  EXPECT_EQ(derive_page_plan(doc)[2], (PagePlanEntry{"source-3", 3, std::nullopt}));
}

TEST(PagePlan, ImportedEntriesThatArrivedFirstStayInFront) {
  Document doc;
  apply(doc, A::ImportPages{std::nullopt, {{"import-a", 1, imported('a')}, {"import-b", 1, imported('b')}}});
  testing::seed(doc, 2);
  EXPECT_EQ(plan_ids(doc), (Ids{"import-a", "import-b", "source-1", "source-2"}));
}

TEST(PagePlan, SeededElsewhereOnlySetsTheFlag) {
  Document doc;
  write_raw_entries(doc, [](auto& txn, const ObjId& list) { raw_entry(txn, list, "source-2", 2); });
  testing::seed(doc, 3);
  EXPECT_EQ(plan_ids(doc), Ids{"source-2"});
}

TEST(PagePlan, DeriveSkipsInvalidTombstonedAndRepeatedEntries) {
  Document doc;
  write_raw_entries(doc, [](docstore::Transaction& txn, const ObjId& list) {
    raw_entry(txn, list, "zero", 0);
    raw_entry(txn, list, "negative", -1);
    raw_entry(txn, list, "ok", 1);
    raw_entry(txn, list, "ok", 2);  // repeated: the first wins
    raw_entry(txn, list, "dead", 1);
    auto bad_hash = raw_entry(txn, list, "bad-hash", 1);
    (void)txn.put(bad_hash, "content-hash", std::string(63, 'a'));
    (void)txn.put(bad_hash, "content-kind", "pdf");
    (void)txn.put(bad_hash, "content-page", 1);
    (void)txn.put(bad_hash, "page-width-milli", 1000);
    (void)txn.put(bad_hash, "page-height-milli", 1000);
    auto partial = raw_entry(txn, list, "partial", 1);
    (void)txn.put(partial, "content-hash", std::string(64, 'a'));
    auto good = raw_entry(txn, list, "good-import", 9);
    (void)txn.put(good, "content-hash", std::string(64, 'F'));
    (void)txn.put(good, "content-kind", "image");
    (void)txn.put(good, "content-page", 1);
    (void)txn.put(good, "page-width-milli", 100000000);
    (void)txn.put(good, "page-height-milli", 1);
    (void)txn.insert(list, 0, "not a map");
    auto no_id = *txn.insert_object(list, 0, docstore::ObjType::Map);
    (void)txn.put(no_id, "source-page", 1);
    auto tombs = *get_or_create_root_map(txn, keys::kPagePlanTombstones);
    (void)txn.put(tombs, "dead", true);
  });
  const auto plan = derive_page_plan(doc);
  ASSERT_EQ(plan_ids(doc), (Ids{"ok", "good-import"}));
  EXPECT_EQ(plan[0].source_page, 1u);
  EXPECT_EQ(plan[1].imported, (ImportedPage{std::string(64, 'F'), "image", 1, 100000000, 1}));
}

TEST(PagePlan, DeletingRemovesMarkupAndTheIdNeverReturns) {
  Document doc;
  testing::seed(doc, 3);
  apply(doc, A::AddAnnotation{"on2", 2, AnnoGeom::Note{1, 1}, "yellow", ""});
  apply(doc, A::CreateNote{"note2", "c2", 2, 0, 0, "yellow", "", 101, ""});
  apply(doc, A::CreateNote{"note3", "c3", 3, 0, 0, "yellow", "", 102, ""});
  apply(doc, A::AddSignature{"s2", 2, 0, 0, 1, 1, "", "", std::nullopt});
  {
    // Written before the plan knew page ids: the backfill ties it to source-2.
    auto txn = doc.begin();
    auto m = *txn.insert_object(*read_list(doc, ObjId::root(), keys::kAnnotations), 0, docstore::ObjType::Map);
    (void)txn.put(m, "id", "old2");
    (void)txn.put(m, "page", 2);
    txn.commit();
  }
  apply(doc, A::DeletePagePlan{"source-2"});
  EXPECT_EQ(plan_ids(doc), (Ids{"source-1", "source-3"}));
  std::vector<std::string> left;
  for (const auto& a : read_annotations(doc)) left.push_back(a.id + "@" + std::to_string(a.page));
  EXPECT_EQ(left, Ids{"note3@2"});  // source-3 is now the second page
  ASSERT_EQ(read_comments(doc).size(), 1u);
  EXPECT_EQ(read_comments(doc)[0].id, "c3");
  EXPECT_TRUE(read_signatures(doc).empty());

  // Tombstoned ids never come back, not through a seed, a move or an import.
  {
    auto txn = doc.begin();
    (void)txn.put(*read_map(doc, ObjId::root(), keys::kMeta), keys::kPagePlanSeeded, false);
    txn.commit();
  }
  testing::seed(doc, 3);
  apply(doc, A::ImportPages{std::nullopt, {{"source-2", 2, imported()}}});
  apply(doc, A::DuplicatePagePlan{"source-1", "source-2", 1, std::nullopt});
  EXPECT_EQ(plan_ids(doc), (Ids{"source-1", "source-3"}));
}

TEST(PagePlan, TheLastPageCannotBeDeleted) {
  Document doc;
  testing::seed(doc, 2);
  apply(doc, A::DeletePagePlan{"source-1"});
  apply(doc, A::DeletePagePlan{"source-2"});
  EXPECT_EQ(plan_ids(doc), Ids{"source-2"});
}

TEST(PagePlan, MoveDefaultsToTheFrontAndImportToTheEnd) {
  Document doc;
  testing::seed(doc, 3);
  apply(doc, A::MovePagePlan{"source-3", std::nullopt});
  EXPECT_EQ(plan_ids(doc), (Ids{"source-3", "source-1", "source-2"}));
  apply(doc, A::MovePagePlan{"source-3", "source-2"});
  EXPECT_EQ(plan_ids(doc), (Ids{"source-1", "source-2", "source-3"}));
  apply(doc, A::MovePagePlan{"source-1", "missing"});  // unknown anchor: the front
  apply(doc, A::MovePagePlan{"missing", std::nullopt});
  EXPECT_EQ(plan_ids(doc), (Ids{"source-1", "source-2", "source-3"}));
  apply(doc, A::ImportPages{std::nullopt, {{"import-a", 1, imported()}}});
  apply(doc, A::ImportPages{"source-1", {{"import-b", 1, imported('b')}, {"import-c", 1, imported('c')}}});
  EXPECT_EQ(plan_ids(doc), (Ids{"source-1", "import-b", "import-c", "source-2", "source-3", "import-a"}));
}

TEST(PagePlan, MarkupFollowsItsPageWhenPagesMove) {
  Document doc;
  apply(doc, A::AddAnnotation{"before-plan", 2, AnnoGeom::Note{1, 1}, "yellow", ""});
  testing::seed(doc, 3);
  apply(doc, A::AddAnnotation{"tied", 3, AnnoGeom::Note{1, 1}, "yellow", ""});
  apply(doc, A::MovePagePlan{"source-3", std::nullopt});
  const auto a = read_annotations(doc);
  EXPECT_EQ(a[0].page, 2u);  // no page id: its stored number
  EXPECT_EQ(a[1].page, 1u);  // follows source-3 to the front
}

TEST(PagePlan, ImportRulesRejectTheWholeBatch) {
  auto pages = [](std::size_t n) {
    std::vector<PagePlanEntry> out;
    for (std::size_t i = 0; i < n; ++i) out.push_back({"import-" + std::to_string(i), 1, imported()});
    return out;
  };
  auto with = [&](auto change) {
    auto p = pages(2);
    change(p);
    return p;
  };
  const std::vector<std::pair<const char*, std::vector<PagePlanEntry>>> rejected = {
      {"none", {}},
      {"513 pages", pages(513)},
      {"hash of 63", with([](auto& p) { p[1].imported->hash.pop_back(); })},
      {"hash not hex", with([](auto& p) { p[1].imported->hash[0] = 'g'; })},
      {"kind", with([](auto& p) { p[1].imported->kind = "svg"; })},
      {"page 0", with([](auto& p) { p[1].imported->page = 0; })},
      {"width 0", with([](auto& p) { p[1].imported->width_milli = 0; })},
      {"height too big", with([](auto& p) { p[1].imported->height_milli = 100000001; })},
      {"not imported", with([](auto& p) { p[1].imported.reset(); })},
      {"empty id", with([](auto& p) { p[1].id.clear(); })},
      {"id of 161 bytes", with([](auto& p) { p[1].id = std::string(161, 'x'); })},
      {"repeated id", with([](auto& p) { p[1].id = p[0].id; })},
      {"id in the list", with([](auto& p) { p[1].id = "source-1"; })},
  };
  for (const auto& [name, batch] : rejected) {
    Document doc;
    testing::seed(doc, 1);
    apply(doc, A::ImportPages{std::nullopt, batch});
    EXPECT_EQ(plan_ids(doc), Ids{"source-1"}) << name;
  }
  Document doc;
  apply(doc, A::ImportPages{std::nullopt, pages(512)});
  EXPECT_EQ(plan_ids(doc).size(), 512u);
}

TEST(PagePlan, DuplicateChecksTheEntryItCopies) {
  Document doc;
  testing::seed(doc, 2);
  apply(doc, A::ImportPages{std::nullopt, {{"import-a", 1, imported()}}});
  const std::vector<std::pair<const char*, A::DuplicatePagePlan>> ignored = {
      {"unknown id", {"nope", "page-1", 1, std::nullopt}},
      {"wrong source page", {"source-1", "page-1", 2, std::nullopt}},
      {"imported mismatch", {"import-a", "page-1", 1, imported('b')}},
      {"imported missing", {"import-a", "page-1", 1, std::nullopt}},
      {"new id taken", {"source-1", "source-2", 1, std::nullopt}},
  };
  for (const auto& [name, action] : ignored) {
    apply(doc, action);
    EXPECT_EQ(plan_ids(doc).size(), 3u) << name;
  }
  apply(doc, A::DuplicatePagePlan{"source-1", "page-1", 1, std::nullopt});
  apply(doc, A::DuplicatePagePlan{"import-a", "page-2", 1, imported()});
  EXPECT_EQ(plan_ids(doc), (Ids{"source-1", "page-1", "source-2", "import-a", "page-2"}));
  EXPECT_EQ(derive_page_plan(doc)[4].imported, imported());
}

TEST(PagePlan, PositionsAndEntryIds) {
  Document doc;
  testing::seed(doc, 2);
  const PagePositions pages(derive_page_plan(doc));
  EXPECT_EQ(pages.position_of("source-2"), 2u);
  EXPECT_EQ(pages.position_of("source-9"), std::nullopt);
  EXPECT_EQ(pages.entry_id_at(1), "source-1");
  EXPECT_EQ(pages.entry_id_at(0), std::nullopt);
  EXPECT_EQ(pages.entry_id_at(3), std::nullopt);
}

TEST(RailOutcomes, BecomeNavigationAndPlanActions) {
  DisplayedPlan plan{{"source-1", "source-2", "import-a"}, {1, 2, 1}, {std::nullopt, std::nullopt, imported()}};
  using K = RailOutcomeKind;
  EXPECT_EQ(std::get<RailGoToPage>(rail_effect(plan, {K::Select, 1, 0})).page, 2u);
  EXPECT_EQ(std::get<PdfViewerAction>(rail_effect(plan, {K::Move, 2, 0})),
            PdfViewerAction(A::MovePagePlan{"import-a", std::nullopt}));
  EXPECT_EQ(std::get<PdfViewerAction>(rail_effect(plan, {K::Move, 0, 2})),
            PdfViewerAction(A::MovePagePlan{"source-1", "source-2"}));
  EXPECT_EQ(std::get<PdfViewerAction>(rail_effect(plan, {K::Move, 0, 9})),
            PdfViewerAction(A::MovePagePlan{"source-1", std::nullopt}));
  EXPECT_EQ(std::get<PdfViewerAction>(rail_effect(plan, {K::Delete, 1, 0})),
            PdfViewerAction(A::DeletePagePlan{"source-2"}));
  auto dup = std::get<A::DuplicatePagePlan>(std::get<PdfViewerAction>(rail_effect(plan, {K::Duplicate, 2, 0})).value);
  EXPECT_EQ(dup.id, "import-a");
  EXPECT_TRUE(dup.new_id.starts_with("page-"));
  EXPECT_EQ(dup.new_id.size(), 41u);
  EXPECT_EQ(dup.imported, imported());
  DisplayedPlan no_pages{{"x"}, {}, {}};
  auto fallback = std::get<A::DuplicatePagePlan>(std::get<PdfViewerAction>(rail_effect(no_pages, {K::Duplicate, 0, 0})).value);
  EXPECT_EQ(fallback.source_page, 1u);
  EXPECT_TRUE(std::holds_alternative<RailRequestImport>(rail_effect(plan, {K::AddPages, 0, 0})));
  for (K k : {K::Select, K::Move, K::Duplicate, K::Delete})
    EXPECT_TRUE(std::holds_alternative<std::monostate>(rail_effect(plan, {k, 3, 0})));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(rail_effect(plan, {K::Other, 0, 0})));
}

}  // namespace
}  // namespace pdf_actions
