// Applying viewer actions to the shared document and reading the review model back.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>

#include "actions/action_ids.h"
#include "review_test_support.h"

namespace pdf_actions {
namespace {

using A = PdfViewerAction;
using docstore::Document;
using docstore::ObjId;
using testing::apply;

A::AddAnnotation highlight(std::string id, std::uint64_t page = 1, std::string color = "green") {
  return A::AddAnnotation{std::move(id), page, AnnoGeom::Highlight{1, 2, 3, 4}, std::move(color), "Ann"};
}

A::CreateNote note(std::string anno, std::string comment, std::int64_t created = 101) {
  return A::CreateNote{std::move(anno), std::move(comment), 1, 5, 6, "blue", "Bo", created, "body"};
}

std::vector<std::string> comment_ids(const Document& doc) {
  std::vector<std::string> ids;
  for (const auto& c : read_comments(doc)) ids.push_back(c.id);
  return ids;
}

TEST(ReviewApply, AddAnnotationWritesTheRecordAndReadsBack) {
  Document doc;
  testing::seed(doc, 2);
  apply(doc, highlight("h1", 2));
  apply(doc, A::AddAnnotation{"i1", 1, AnnoGeom::Ink{{{1, 2}, {3.456, 4}}}, "pink", "Cy"});
  const auto annotations = read_annotations(doc);
  ASSERT_EQ(annotations.size(), 2u);
  EXPECT_EQ(annotations[0], (Annotation{"h1", 2, Swatch::Green, "Ann", AnnoGeom::Highlight{1, 2, 3, 4}}));
  // Ink is stored with two decimals.
  EXPECT_EQ(annotations[1], (Annotation{"i1", 1, Swatch::Pink, "Cy", AnnoGeom::Ink{{{1, 2}, {3.46, 4}}}}));
  auto found = find_record(doc, keys::kAnnotations, "h1");
  ASSERT_TRUE(found);
  EXPECT_EQ(read_string(doc, found->record, "page-id"), "source-2");
  EXPECT_EQ(read_string(doc, found->record, "kind"), "highlight");
  EXPECT_EQ(read_string(doc, find_record(doc, keys::kAnnotations, "i1")->record, "points"), "1.00,2.00 3.46,4.00");
}

TEST(ReviewApply, DuplicateAddAnnotationKeepsBothAndDeleteRemovesTheFirst) {
  Document doc;
  apply(doc, highlight("h", 1, "green"));
  apply(doc, highlight("h", 1, "blue"));
  ASSERT_EQ(read_annotations(doc).size(), 2u);
  apply(doc, A::DeleteAnnotation{"h"});
  const auto left = read_annotations(doc);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].color, Swatch::Blue);
}

TEST(ReviewApply, ColoursAreCanonicalised) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Purple", "yellow"}, {"purple", "purple"}, {"Red", "yellow"}, {"", "yellow"}, {"pink", "pink"}};
  for (const auto& [given, stored] : cases) {
    Document doc;
    apply(doc, highlight("h", 1, given));
    EXPECT_EQ(read_string(doc, find_record(doc, keys::kAnnotations, "h")->record, "color"), stored) << given;
    apply(doc, A::SetAnnotationColor{"h", given});
    EXPECT_EQ(read_string(doc, find_record(doc, keys::kAnnotations, "h")->record, "color"), stored) << given;
  }
}

TEST(ReviewApply, SetAnnotationPositionMovesAllButInk) {
  Document doc;
  apply(doc, highlight("h"));
  apply(doc, A::AddAnnotation{"i", 1, AnnoGeom::Ink{{{1, 1}}}, "yellow", ""});
  apply(doc, A::AddAnnotation{"n", 1, AnnoGeom::Note{0, 0}, "yellow", ""});
  for (const char* id : {"h", "i", "n", "missing"}) apply(doc, A::SetAnnotationPosition{id, 40, 50});
  const auto a = read_annotations(doc);
  EXPECT_EQ(a[0].geom, AnnoGeom(AnnoGeom::Highlight{40, 50, 3, 4}));
  EXPECT_EQ(a[1].geom, AnnoGeom(AnnoGeom::Ink{{{1, 1}}}));
  EXPECT_EQ(a[2].geom, AnnoGeom(AnnoGeom::Note{40, 50}));
}

TEST(ReviewApply, CreateNoteAndCommentEdits) {
  Document doc;
  testing::seed(doc, 1);
  apply(doc, note("n1", "c1"));
  apply(doc, A::SetCommentBody{"c1", "edited"});
  apply(doc, A::SetCommentResolved{"c1", true});
  apply(doc, A::AddReply{"c1", "r1", "Cy", "yes"});
  const auto comments = read_comments(doc);
  ASSERT_EQ(comments.size(), 1u);
  EXPECT_EQ(comments[0], (Comment{"c1", "n1", 1, "Bo", "edited", 101, true, {Reply{"r1", "Cy", "yes"}}}));
  const auto annotations = read_annotations(doc);
  ASSERT_EQ(annotations.size(), 1u);
  EXPECT_EQ(annotations[0], (Annotation{"n1", 1, Swatch::Blue, "Bo", AnnoGeom::Note{5, 6}}));
}

TEST(ReviewApply, AddReplyIgnoresBlankIdsAndRepeats) {
  Document doc;
  apply(doc, note("n", "c"));
  apply(doc, A::AddReply{"c", "   ", "x", "blank"});
  apply(doc, A::AddReply{"c", "", "x", "empty"});
  apply(doc, A::AddReply{"c", "r", "x", "first"});
  apply(doc, A::AddReply{"c", "r", "x", "again"});
  apply(doc, A::AddReply{"nobody", "r2", "x", "lost"});
  const auto replies = read_comments(doc)[0].replies;
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].body, "first");
}

TEST(ReviewApply, AddReplyRepairsAMissingRepliesList) {
  Document doc;
  apply(doc, note("n", "c"));
  {
    auto txn = doc.begin();
    (void)txn.put(find_record(doc, keys::kComments, "c")->record, "replies", "not a list");
    txn.commit();
  }
  apply(doc, A::AddReply{"c", "r", "x", "ok"});
  EXPECT_EQ(read_comments(doc)[0].replies.size(), 1u);
}

TEST(ReviewApply, DeleteCommentOfANoteRemovesTheNoteAndAllItsComments) {
  Document doc;
  apply(doc, note("n", "c1", 101));
  {  // a second comment on the same note, and one elsewhere
    auto txn = doc.begin();
    auto list = get_or_create_root_list(txn, keys::kComments);
    auto m = txn.insert_object(*list, 1, docstore::ObjType::Map);
    (void)txn.put(*m, "id", "c2");
    (void)txn.put(*m, "anno", "n");
    txn.commit();
  }
  apply(doc, note("other", "c3", 103));
  apply(doc, A::DeleteComment{"c1"});
  EXPECT_EQ(comment_ids(doc), std::vector<std::string>{"c3"});
  ASSERT_EQ(read_annotations(doc).size(), 1u);
  EXPECT_EQ(read_annotations(doc)[0].id, "other");
}

TEST(ReviewApply, DeleteCommentWithoutAnnotationRemovesOnlyIt) {
  Document doc;
  apply(doc, note("n", "c"));
  {
    auto txn = doc.begin();
    auto list = get_or_create_root_list(txn, keys::kComments);
    auto m = txn.insert_object(*list, 1, docstore::ObjType::Map);
    (void)txn.put(*m, "id", "loose");
    txn.commit();
  }
  apply(doc, A::DeleteComment{"loose"});
  EXPECT_EQ(comment_ids(doc), std::vector<std::string>{"c"});
  EXPECT_EQ(read_annotations(doc).size(), 1u);
}

TEST(ReviewApply, SignaturesTypedAndDrawn) {
  Document doc;
  apply(doc, A::AddSignature{"t", 1, 10, 20, 100, 40, "Dee", "2024-01-02", std::nullopt});
  apply(doc, A::AddSignature{"d", 1, 0, 0, 1, 1, "Eve", "2024-01-02",
                             std::vector<Stroke>{{{0.126, 0.5}, {1, 1}}, {}}});
  auto sigs = read_signatures(doc);
  ASSERT_EQ(sigs.size(), 2u);
  EXPECT_EQ(sigs[0], (Signature{"t", 1, 10, 20, 100, 40, "Dee", "2024-01-02", std::nullopt}));
  EXPECT_EQ(sigs[1].strokes, (std::vector<Stroke>{{{0.13, 0.5}, {1, 1}}, {}}));
  EXPECT_EQ(read_string(doc, find_record(doc, keys::kSignatures, "d")->record, "strokes"), "0.13,0.50 1.00,1.00;");
  apply(doc, A::DeleteSignature{"t"});
  EXPECT_EQ(read_signatures(doc).size(), 1u);
}

TEST(ReviewApply, NoteSequenceAndSigningDate) {
  NoteSequence seq;
  EXPECT_EQ(seq.next(), 101);
  EXPECT_EQ(seq.next(), 102);
  using namespace std::chrono;
  EXPECT_EQ(signing_date(sys_days{2024y / 2 / 29} + hours(23)), "2024-02-29");
  EXPECT_EQ(signing_date(sys_days{1969y / 12 / 31}), "1970-01-01");
  const std::string id = new_uuid();
  ASSERT_EQ(id.size(), 36u);
  EXPECT_EQ(id[14], '4');
  EXPECT_NE(id, new_uuid());
  EXPECT_TRUE(new_duplicate_entry_id().starts_with("page-"));
}

// ---- reading foreign shapes ----

class RawWriter {
 public:
  explicit RawWriter(Document& doc) : txn_(doc.begin()) {}
  ~RawWriter() { txn_.commit(); }
  ObjId list(std::string_view key) { return *get_or_create_root_list(txn_, key); }
  ObjId append_map(const ObjId& list) {
    return *txn_.insert_object(list, txn_.document().length(list), docstore::ObjType::Map);
  }
  docstore::Transaction& txn() { return txn_; }

 private:
  docstore::Transaction txn_;
};

TEST(ReviewRead, CommentsSortStablyByCreatedAndRepliesGetLegacyIds) {
  Document doc;
  {
    RawWriter w(doc);
    auto comments = w.list(keys::kComments);
    for (auto [id, created] : std::vector<std::pair<const char*, int>>{{"a", 5}, {"b", 3}, {"c", 3}}) {
      auto m = w.append_map(comments);
      (void)w.txn().put(m, "id", id);
      (void)w.txn().put(m, "created", created);
    }
    (void)w.txn().insert(comments, 0, "not a map");
    auto first = find_record(w.txn().document(), keys::kComments, "a")->record;
    auto replies = *w.txn().put_object(first, "replies", docstore::ObjType::List);
    for (int i = 0; i < 2; ++i) {
      auto r = *w.txn().insert_object(replies, static_cast<std::size_t>(i), docstore::ObjType::Map);
      (void)w.txn().put(r, "body", "legacy");
    }
    auto dup1 = *w.txn().insert_object(replies, 2, docstore::ObjType::Map);
    (void)w.txn().put(dup1, "id", "same");
    (void)w.txn().put(dup1, "body", "kept");
    auto dup2 = *w.txn().insert_object(replies, 3, docstore::ObjType::Map);
    (void)w.txn().put(dup2, "id", "same");
    (void)w.txn().put(dup2, "body", "dropped");
  }
  const auto comments = read_comments(doc);
  ASSERT_EQ(comment_ids(doc), (std::vector<std::string>{"b", "c", "a"}));
  const auto& replies = comments[2].replies;
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_TRUE(replies[0].id.starts_with("legacy:a:")) << replies[0].id;
  EXPECT_TRUE(replies[1].id.starts_with("legacy:a:"));
  EXPECT_NE(replies[0].id, replies[1].id);
  EXPECT_EQ(replies[2].body, "kept");
  EXPECT_EQ(comments[0], (Comment{"b", std::nullopt, 1, "", "", 3, false, {}}));
}

TEST(ReviewRead, WrongTypesGiveDefaults) {
  Document doc;
  {
    RawWriter w(doc);
    auto annotations = w.list(keys::kAnnotations);
    auto a = w.append_map(annotations);
    (void)w.txn().put(a, "id", 7);
    (void)w.txn().put(a, "page", "two");
    (void)w.txn().put(a, "kind", "highlight");
    (void)w.txn().put(a, "x", "left");
    (void)w.txn().put(a, "y", 3);
    (void)w.txn().put(a, "color", true);
    auto ink = w.append_map(annotations);
    (void)w.txn().put(ink, "kind", "ink");
    (void)w.txn().put(ink, "points", "1.5,2 junk 3,4,5 nan,1 +2,-1e1");
    (void)w.txn().put(ink, "page", -4);
    auto sigs = w.list(keys::kSignatures);
    auto s = w.append_map(sigs);
    (void)w.txn().put(s, "ink", "drawn");
    (void)w.txn().put(s, "w", std::numeric_limits<double>::quiet_NaN());  // a careless writer
    (void)w.txn().put_object(docstore::ObjId::root(), keys::kComments, docstore::ObjType::Map);
  }
  const auto annotations = read_annotations(doc);
  ASSERT_EQ(annotations.size(), 2u);
  EXPECT_EQ(annotations[0], (Annotation{"", 1, Swatch::Yellow, "", AnnoGeom::Highlight{0, 3, 0, 0}}));
  EXPECT_EQ(annotations[1].geom, AnnoGeom(AnnoGeom::Ink{{{1.5, 2}, {3, 4}, {2, -10}}}));
  EXPECT_EQ(annotations[1].page, 1u);
  const auto sigs = read_signatures(doc);
  ASSERT_EQ(sigs.size(), 1u);
  EXPECT_EQ(sigs[0], (Signature{"", 1, 0, 0, 180, 56, "", "", std::vector<Stroke>{{}}}));
  EXPECT_TRUE(read_comments(doc).empty());
}

// Coordinates are read with a shortcut for short plain decimals; it must give
// the very bits std::from_chars gives, and refuse what it refuses.
TEST(ReviewRead, PointNumbersReadExactlyAsFromChars) {
  auto reference = [](std::string_view t) -> std::optional<double> {
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    double v = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
  };
  std::vector<std::string> numbers = {"0", "-0", "-0.00", "1.", ".5", "1.5", "+2.25", "1e3", "0.1", "0.3",
                                      "123456789012345", "1234567890123456", "0.123456789012345",
                                      "0.1234567890123456", "999999999999999.9", "9007199254740993",
                                      "--1", "1..2", "", "-", "nan", "inf", "1e400", "0x10", "00012.500"};
  std::mt19937_64 rng(20261211);
  for (int i = 0; i < 20000; ++i) {
    std::string n = rng() % 5 == 0 ? "-" : "";
    const int int_digits = 1 + static_cast<int>(rng() % 12);
    for (int d = 0; d < int_digits; ++d) n += static_cast<char>('0' + rng() % 10);
    if (rng() % 3 != 0) {
      n += '.';
      const int frac_digits = 1 + static_cast<int>(rng() % 8);
      for (int d = 0; d < frac_digits; ++d) n += static_cast<char>('0' + rng() % 10);
    }
    numbers.push_back(n);
  }
  for (const auto& n : numbers) {
    const auto expected = reference(n);
    const auto got = parse_points(n + ",7");
    if (!expected) {
      EXPECT_TRUE(got.empty()) << n;
      continue;
    }
    ASSERT_EQ(got.size(), 1u) << n;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got[0].x), std::bit_cast<std::uint64_t>(*expected)) << n;
  }
}

TEST(ReviewRead, PointsParsing) {
  const std::vector<std::pair<std::string, std::vector<Point>>> cases = {
      {"1.5,2 junk 3,4,5", {{1.5, 2}, {3, 4}}},
      {"", {}},
      {"  \t1,1\n\n2,2  ", {{1, 1}, {2, 2}}},
      {"1, 2", {}},
      {",1 1, a,b inf,1", {}},
  };
  for (const auto& [text, points] : cases) EXPECT_EQ(parse_points(text), points) << text;
  EXPECT_EQ(format_points({{1, 2}, {-0.005, 1234.567}}), "1.00,2.00 -0.01,1234.57");
  EXPECT_EQ(parse_strokes("1,1;;2,2"), (std::vector<Stroke>{{{1, 1}}, {}, {{2, 2}}}));
}

}  // namespace
}  // namespace pdf_actions
