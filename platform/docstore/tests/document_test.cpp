// Behaviour of one document and of pairs of replicas: reads, conflicts, lists,
// deletes, transactions, causal delivery, save/load.
#include "docstore/document.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "doc_dump.h"

namespace docstore {
namespace {

using testing::dump;

ActorId actor(std::uint8_t n) {
  ActorId a;
  a.bytes.fill(n);
  return a;
}

std::vector<Change> all_changes(const Document& d) { return d.changes_since({}); }

void sync(Document& a, Document& b) {
  ASSERT_TRUE(a.apply_changes(b.changes_since(a.heads())));
  ASSERT_TRUE(b.apply_changes(all_changes(a)));
}

TEST(Document, ScalarsAndNestedObjectsReadBack) {
  Document doc(actor(1));
  auto tx = doc.begin();
  ASSERT_TRUE(tx.put(ObjId::root(), "s", "text"));
  ASSERT_TRUE(tx.put(ObjId::root(), "i", std::int64_t{-42}));
  ASSERT_TRUE(tx.put(ObjId::root(), "d", 1.5));
  ASSERT_TRUE(tx.put(ObjId::root(), "b", true));
  ASSERT_TRUE(tx.put(ObjId::root(), "n", Null{}));
  auto list = tx.put_object(ObjId::root(), "annotations", ObjType::List);
  ASSERT_TRUE(list);
  auto m = tx.insert_object(*list, 0, ObjType::Map);
  ASSERT_TRUE(m);
  ASSERT_TRUE(tx.put(*m, "id", "a1"));
  ASSERT_TRUE(tx.insert(*list, 1, std::int64_t{7}));
  auto change = tx.commit();
  ASSERT_TRUE(change);
  EXPECT_EQ(change->ops.size(), 9u);
  EXPECT_EQ(change->seq, 1u);

  EXPECT_EQ(*doc.get(ObjId::root(), "s")->as_string(), "text");
  EXPECT_EQ(doc.get(ObjId::root(), "i")->as_int(), -42);
  EXPECT_EQ(doc.get(ObjId::root(), "d")->as_double(), 1.5);
  EXPECT_EQ(doc.get(ObjId::root(), "b")->as_bool(), true);
  EXPECT_TRUE(doc.get(ObjId::root(), "n")->is_null());
  EXPECT_FALSE(doc.get(ObjId::root(), "missing"));
  EXPECT_EQ(doc.keys(ObjId::root()), (std::vector<std::string>{"annotations", "b", "d", "i", "n", "s"}));
  EXPECT_EQ(doc.length(*list), 2u);
  EXPECT_EQ(doc.at(*list, 0)->as_map(), *m);
  EXPECT_EQ(*doc.get(*m, "id")->as_string(), "a1");
  EXPECT_EQ(doc.at(*list, 1)->as_int(), 7);
  EXPECT_EQ(doc.heads(), std::vector<ChangeHash>{change->hash});
}

TEST(Document, EditsThatDoNotFitChangeNothing) {
  Document doc(actor(1));
  auto tx = doc.begin();
  auto list = *tx.put_object(ObjId::root(), "l", ObjType::List);
  EXPECT_FALSE(tx.insert(list, 1, 1));               // past the end
  EXPECT_FALSE(tx.put(list, "k", 1));                 // not a map
  EXPECT_FALSE(tx.insert(ObjId::root(), 0, 1));       // not a list
  EXPECT_FALSE(tx.remove(list, 0));                   // empty
  EXPECT_FALSE(tx.put(ObjId::root(), "x", Value(ObjRef{list, ObjType::List})));
  EXPECT_TRUE(tx.remove(ObjId::root(), "absent"));    // nothing to remove
  EXPECT_EQ(tx.pending_ops(), 1u);
}

TEST(Document, DroppedTransactionRollsBack) {
  Document doc(actor(1));
  {
    auto tx = doc.begin();
    auto list = *tx.put_object(ObjId::root(), "l", ObjType::List);
    ASSERT_TRUE(tx.insert(list, 0, 1));
    tx.commit();
  }
  const auto before = dump(doc);
  const auto heads = doc.heads();
  {
    auto tx = doc.begin();
    auto list = *doc.get(ObjId::root(), "l")->as_list();
    ASSERT_TRUE(tx.insert(list, 0, 2));
    ASSERT_TRUE(tx.remove(list, 1));
    ASSERT_TRUE(tx.put(ObjId::root(), "k", "v"));
    auto m = *tx.put_object(ObjId::root(), "m", ObjType::Map);
    ASSERT_TRUE(tx.put(m, "x", 1));
    EXPECT_NE(dump(tx.document()), before);
  }
  EXPECT_EQ(dump(doc), before);
  EXPECT_EQ(doc.heads(), heads);
  // The next change continues the sequence as if nothing happened.
  auto tx = doc.begin();
  ASSERT_TRUE(tx.put(ObjId::root(), "k", "w"));
  EXPECT_EQ(tx.commit()->seq, 2u);
}

// The borrowing visitors read what the copying reads read, inside a
// transaction, after its rollback and after a merge replaced map elements.
TEST(Document, BorrowingReadsAgreeWithCopyingReads) {
  using testing::dump_borrowed;
  using testing::dump_winners;
  Document doc(actor(1));
  ObjId list;
  {
    auto tx = doc.begin();
    list = *tx.put_object(ObjId::root(), "l", ObjType::List);
    ASSERT_TRUE(tx.insert(list, 0, 1));
    auto m = *tx.insert_object(list, 1, ObjType::Map);
    ASSERT_TRUE(tx.put(m, "b", "two"));
    ASSERT_TRUE(tx.put(m, "a", 1.5));
    ASSERT_TRUE(tx.insert_object(list, 2, ObjType::List));
    tx.commit();
  }
  EXPECT_EQ(dump_borrowed(doc), dump_winners(doc));
  std::vector<std::size_t> map_positions;
  doc.for_each_map(list, [&](std::size_t i, const ObjId&, const MapView& m) {
    map_positions.push_back(i);
    EXPECT_EQ(m.size(), 2u);
    ASSERT_NE(m.find("b"), nullptr);
    EXPECT_EQ(*m.find("b")->as_string(), "two");
    EXPECT_EQ(m.find("c"), nullptr);
  });
  EXPECT_EQ(map_positions, std::vector<std::size_t>{1});
  EXPECT_EQ(doc.lookup_map(ObjId::root()).find_list("l").size(), 3u);
  EXPECT_TRUE(doc.lookup_map(ObjId::root()).find_map("l").empty());
  EXPECT_TRUE(doc.lookup_list(ObjId::root()).empty());
  // Not maps: empty views, no visits.
  EXPECT_TRUE(doc.lookup_map(list).empty());
  EXPECT_TRUE(doc.lookup_map(ObjId{OpId{999, actor(1)}}).empty());
  int visits = 0;
  doc.for_each_map(ObjId::root(), [&](std::size_t, const ObjId&, const MapView&) { ++visits; });
  doc.for_each_item(ObjId::root(), [&](std::size_t, const Value&) { ++visits; });
  EXPECT_EQ(visits, 0);

  const auto committed = dump_borrowed(doc);
  {
    auto tx = doc.begin();
    auto m = *tx.set_object(list, 1, ObjType::Map);  // replaces the map element
    ASSERT_TRUE(tx.put(m, "c", true));
    auto inner = *tx.insert_object(list, 0, ObjType::Map);
    ASSERT_TRUE(tx.put(inner, "d", 4));
    ASSERT_TRUE(tx.remove(list, 1));
    EXPECT_EQ(dump_borrowed(tx.document()), dump_winners(tx.document()));
    EXPECT_NE(dump_borrowed(tx.document()), committed);
  }
  EXPECT_EQ(dump_borrowed(doc), committed);
  EXPECT_EQ(dump_winners(doc), committed);

  // A concurrent replacement from another replica is reached the same way.
  Document other(actor(2));
  ASSERT_TRUE(other.apply_changes(all_changes(doc)));
  {
    auto tx = other.begin();
    auto m = *tx.set_object(list, 1, ObjType::Map);
    ASSERT_TRUE(tx.put(m, "z", "replaced"));
    tx.commit();
  }
  ASSERT_TRUE(doc.apply_changes(all_changes(other)));
  EXPECT_EQ(dump_borrowed(doc), dump_winners(doc));
  EXPECT_EQ(dump_borrowed(doc), dump_borrowed(other));
}

// One ordered pass finds what one find per name finds: present, deleted,
// absent, before the first and after the last key, with a short out span.
TEST(Document, FindSortedAgreesWithFind) {
  Document doc(actor(1));
  auto tx = doc.begin();
  const ObjId m = *tx.put_object(ObjId::root(), "m", ObjType::Map);
  using namespace std::string_view_literals;
  // Short keys, keys that share their first eight bytes, zero bytes, and
  // bytes above 0x7f, put in no particular order.
  const std::vector<std::string_view> keys = {"x", "page-id", "resolved-by", "author", "b", "resolved", "color",
                                              "h", "a\0"sv, "id", "resolved-at", "page", "\xff", "a"};
  for (std::string_view key : keys) ASSERT_TRUE(tx.put(m, key, std::string(key)));
  ASSERT_TRUE(tx.remove(m, "color"));
  tx.commit();
  std::vector<std::string> sorted(keys.begin(), keys.end());
  std::erase(sorted, "color");
  std::ranges::sort(sorted);
  EXPECT_EQ(doc.keys(m), sorted);
  const MapView view = doc.lookup_map(m);
  for (std::string_view key : keys) {
    if (key == "color") continue;
    ASSERT_NE(view.find(key), nullptr) << key;
    EXPECT_EQ(*view.find(key)->as_string(), key);
  }
  const std::vector<std::vector<std::string_view>> cases = {
      {},
      {"a", "author", "color", "h", "page", "page-id", "points", "y"},
      {"", "a", "a\0"sv, "a\0\0"sv, "b", "id", "x"},
      {"page-id", "resolved", "resolved-a", "resolved-at", "resolved-by", "resolvedz", "x", "zz", "\xff"},
      {"aa", "ab"},
  };
  for (const auto& names : cases) {
    const Value stale;
    std::vector<const Value*> found(names.size(), &stale);
    view.find_sorted(names, found);
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(found[i], view.find(names[i])) << names[i];
    std::vector<const Value*> none(names.size(), nullptr);
    MapView().find_sorted(names, none);
    EXPECT_EQ(none, std::vector<const Value*>(names.size(), nullptr));
  }
  std::array<std::string_view, 2> names = {"b", "x"};
  std::array<const Value*, 1> one{};
  view.find_sorted(names, one);
  EXPECT_EQ(one[0], view.find("b"));
}

// Visiting many lists at once sees what visiting them one by one sees:
// short and long lists (past the read-ahead distance), scalars and nested
// lists among the maps, empty lists and empty views.
TEST(Document, ForEachMapInAgreesWithForEachMap) {
  Document doc(actor(1));
  std::vector<ObjId> lists;
  {
    auto tx = doc.begin();
    for (int l = 0; l < 30; ++l) {
      std::string key(1, 'l');
      key += std::to_string(l);
      const ObjId list = *tx.put_object(ObjId::root(), key, ObjType::List);
      const int length = (l * 7) % 23;
      for (int i = 0; i < length; ++i) {
        if (i % 5 == 3) {
          ASSERT_TRUE(tx.insert(list, static_cast<std::size_t>(i), i));
        } else if (i % 7 == 6) {
          ASSERT_TRUE(tx.insert_object(list, static_cast<std::size_t>(i), ObjType::List));
        } else {
          const ObjId m = *tx.insert_object(list, static_cast<std::size_t>(i), ObjType::Map);
          ASSERT_TRUE(tx.put(m, "n", l * 100 + i));
        }
      }
      lists.push_back(list);
    }
    tx.commit();
  }
  using Visit = std::tuple<std::size_t, std::size_t, ObjId, std::int64_t>;
  std::vector<ListView> views;
  std::vector<Visit> expected;
  for (std::size_t l = 0; l < lists.size(); ++l) {
    views.push_back(doc.lookup_list(lists[l]));
    if (l % 4 == 0) views.push_back(ListView());  // stands for a missing list
    const std::size_t at = views.size() - (l % 4 == 0 ? 2 : 1);
    doc.for_each_map(lists[l], [&](std::size_t i, const ObjId& m, const MapView& members) {
      expected.emplace_back(at, i, m, *members.find("n")->as_int());
    });
  }
  std::vector<Visit> seen;
  ListView::for_each_map_in(views, [&](std::size_t list, std::size_t i, const ObjId& m, const MapView& members) {
    seen.emplace_back(list, i, m, *members.find("n")->as_int());
  });
  EXPECT_GT(expected.size(), 200u);
  EXPECT_EQ(seen, expected);
  ListView::for_each_map_in({}, [&](std::size_t, std::size_t, const ObjId&, const MapView&) { ADD_FAILURE(); });
}

TEST(Document, ConcurrentPutsPickTheSameWinnerOnBothSides) {
  Document a(actor(1)), b(actor(2));
  auto ta = a.begin();
  ASSERT_TRUE(ta.put(ObjId::root(), "color", "pink"));
  ta.commit();
  auto tb = b.begin();
  ASSERT_TRUE(tb.put(ObjId::root(), "color", "blue"));
  tb.commit();
  sync(a, b);
  EXPECT_EQ(dump(a), dump(b));
  // Equal counters: the higher actor wins.
  EXPECT_EQ(*a.get(ObjId::root(), "color")->as_string(), "blue");
  EXPECT_EQ(a.get_conflicts(ObjId::root(), "color").size(), 2u);
  EXPECT_EQ(a.heads(), b.heads());
  EXPECT_EQ(a.heads().size(), 2u);
}

TEST(Document, ConcurrentInsertsKeepBothAndDeleteSupersedesOnlyWhatItSaw) {
  Document a(actor(1));
  auto t = a.begin();
  auto list = *t.put_object(ObjId::root(), "l", ObjType::List);
  ASSERT_TRUE(t.insert(list, 0, "x"));
  ASSERT_TRUE(t.put(ObjId::root(), "k", 1));
  t.commit();
  Document b(actor(2));
  ASSERT_TRUE(b.apply_changes(all_changes(a)));

  auto ta = a.begin();
  ASSERT_TRUE(ta.insert(list, 1, "from-a"));
  ASSERT_TRUE(ta.remove(ObjId::root(), "k"));
  ta.commit();
  auto tb = b.begin();
  ASSERT_TRUE(tb.insert(list, 1, "from-b"));
  ASSERT_TRUE(tb.put(ObjId::root(), "k", 2));  // concurrent with the delete
  tb.commit();
  sync(a, b);
  EXPECT_EQ(dump(a), dump(b));
  EXPECT_EQ(a.length(list), 3u);
  EXPECT_EQ(a.get(ObjId::root(), "k")->as_int(), 2);  // the delete never saw this put
}

TEST(Document, OutOfOrderChangesWaitAndDuplicatesAreNoOps) {
  Document a(actor(1));
  for (int i = 0; i < 3; ++i) {
    auto t = a.begin();
    ASSERT_TRUE(t.put(ObjId::root(), "n", std::int64_t{i}));
    t.commit();
  }
  auto changes = all_changes(a);
  Document b(actor(2));
  auto r = b.apply_changes(std::span(changes).subspan(2, 1));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->applied, 0u);
  EXPECT_EQ(r->waiting, 1u);
  EXPECT_FALSE(b.get(ObjId::root(), "n"));
  r = b.apply_changes(std::span(changes).subspan(1, 1));
  EXPECT_EQ(r->waiting, 2u);
  std::vector<Change> again = {changes[0], changes[2], changes[0]};
  r = b.apply_changes(again);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->applied, 3u);
  EXPECT_EQ(r->duplicates, 2u);
  EXPECT_EQ(r->waiting, 0u);
  EXPECT_EQ(b.get(ObjId::root(), "n")->as_int(), 2);
  EXPECT_EQ(a.heads(), b.heads());
  EXPECT_TRUE(b.changes_since(a.heads()).empty());
  EXPECT_EQ(b.changes_since(std::vector<ChangeHash>{changes[0].hash}).size(), 2u);
}

TEST(Document, ContradictoryChangeIsRefusedAndChangesNothing) {
  Document a(actor(1));
  auto t = a.begin();
  ASSERT_TRUE(t.put(ObjId::root(), "k", 1));
  auto first = *t.commit();

  struct Case {
    const char* name;
    std::function<void(Change&)> spoil;
  };
  const std::vector<Case> cases = {
      {"unknown object", [](Change& c) { c.ops[0].obj = ObjId{OpId{1, actor(9)}}; }},
      {"map key on a list element", [](Change& c) { c.ops[0].key = OpId{1, actor(1)}; }},
      {"sequence gap", [](Change& c) { c.seq = 3; }},
      {"ids going backwards", [](Change& c) { c.start_op = 1; }},
      {"unknown list element", [](Change& c) {
         c.ops.insert(c.ops.begin(), Op{OpAction::MakeList, ObjId::root(), std::string("l"), false, Null{}, {}});
         c.ops[1] = Op{OpAction::Put, ObjId{OpId{c.start_op, c.actor}}, OpId{99, actor(9)}, true, Value(1), {}};
       }},
  };
  for (const auto& kase : cases) {
    Document b(actor(2));
    ASSERT_TRUE(b.apply_changes(std::vector<Change>{first}));
    Change c;
    c.actor = actor(1);
    c.seq = 2;
    c.start_op = 2;
    c.deps = {first.hash};
    c.ops = {Op{OpAction::Put, ObjId::root(), std::string("k"), false, Value(2), {OpId{1, actor(1)}}}};
    kase.spoil(c);
    const auto before = dump(b);
    EXPECT_FALSE(b.apply_changes(std::vector<Change>{c})) << kase.name;
    EXPECT_EQ(dump(b), before) << kase.name;
    EXPECT_EQ(b.heads(), std::vector<ChangeHash>{first.hash}) << kase.name;
  }
}

TEST(Document, SaveAndLoadKeepStateHeadsAndObjectIdTexts) {
  Document a(actor(1));
  auto t = a.begin();
  auto list = *t.put_object(ObjId::root(), "annotations", ObjType::List);
  auto m = *t.insert_object(list, 0, ObjType::Map);
  ASSERT_TRUE(t.put(m, "id", "x"));
  t.commit();
  const auto bytes = a.save();
  auto b = Document::load(bytes, actor(2));
  ASSERT_TRUE(b) << b.error().message;
  EXPECT_EQ(dump(*b), dump(a));
  EXPECT_EQ(b->heads(), a.heads());
  const auto text = b->at(*b->get(ObjId::root(), "annotations")->as_list(), 0)->as_map()->to_string();
  EXPECT_EQ(text, m.to_string());
  EXPECT_EQ(ObjId::parse(text), m);
  EXPECT_EQ(text, "2@01010101010101010101010101010101");

  auto truncated = bytes;
  truncated.pop_back();
  EXPECT_FALSE(Document::load(truncated));
  EXPECT_FALSE(Document::load(std::vector<std::uint8_t>{'x'}));
  // The change count (one) in a longer form than save ever writes: damage, as
  // such a form inside a change is.
  ASSERT_EQ(bytes[5], 1);
  auto overlong = bytes;
  overlong[5] = 0x81;
  overlong.insert(overlong.begin() + 6, 0x00);
  EXPECT_FALSE(Document::load(overlong));
}

TEST(ObjIdText, ParsesOnlyItsOwnForm) {
  EXPECT_EQ(ObjId::parse("_root"), ObjId::root());
  for (const char* bad : {"", "@", "0@01010101010101010101010101010101", "01@01010101010101010101010101010101",
                          "1@0101", "1@0101010101010101010101010101010G", "1@0101010101010101010101010101010A",
                          "x@01010101010101010101010101010101", "1x01010101010101010101010101010101"}) {
    EXPECT_FALSE(ObjId::parse(bad)) << bad;
  }
}

}  // namespace
}  // namespace docstore
