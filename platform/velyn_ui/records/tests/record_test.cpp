// Record ids, path normalisation and in-memory record sets.
#include <gtest/gtest.h>

#include "velyn_ui/records/record.h"
#include "velyn_ui/records/record_id.h"
#include "velyn_ui/records/record_set.h"

namespace velyn_ui::record {
namespace {

TEST(RecordId, DerivedIsANameBasedUuidEqualForEqualInputs) {
  const auto a = RecordId::derived("annotations", "/home/u/paper.pdf");
  EXPECT_EQ(a, RecordId::derived("annotations", "/home/u/paper.pdf"));
  EXPECT_NE(a, RecordId::derived("annotations", "/home/u/other.pdf"));
  EXPECT_NE(a, RecordId::derived("comments", "/home/u/paper.pdf"));
  // The namespace and the name do not run into each other.
  EXPECT_NE(RecordId::derived("ab", "c"), RecordId::derived("a", "bc"));
  const auto text = a.to_string();
  ASSERT_EQ(text.size(), 36u);
  EXPECT_EQ(text[14], '5');                                   // version 5
  EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos);  // RFC 4122 variant
  // Pinned (cross-checked with Python's uuid.uuid5): every machine and release derives it.
  EXPECT_EQ(RecordId::derived("annotations", "/tmp/a.pdf").to_string(), "7122dee5-c0d5-5855-b5ba-68caf8afe906");
}

TEST(RecordId, TextRoundTripsAndRejectsOtherForms) {
  const auto id = RecordId::random();
  EXPECT_EQ(RecordId::parse(id.to_string()), id);
  EXPECT_EQ(RecordId::parse("00000000-0000-0000-0000-000000000000"), RecordId{});
  EXPECT_EQ(RecordId::parse("ABCDEF00-0000-0000-0000-000000000000")->to_string(),
            "abcdef00-0000-0000-0000-000000000000");
  for (const char* bad : {"", "00000000-0000-0000-0000-00000000000", "00000000000000000000000000000000",
                          "00000000-0000-0000-0000-00000000000g", "00000000+0000-0000-0000-000000000000"}) {
    EXPECT_FALSE(RecordId::parse(bad)) << bad;
  }
}

TEST(Normalise, IsLexical) {
  const std::pair<const char*, const char*> cases[] = {
      {"/a/b/c.pdf", "/a/b/c.pdf"},   {"/a//b///c.pdf", "/a/b/c.pdf"}, {"/a/./b/./c.pdf", "/a/b/c.pdf"},
      {"/a/x/../b/c.pdf", "/a/b/c.pdf"}, {"/../a", "/a"},              {"/a/b/", "/a/b"},
      {"/", "/"},                      {"//", "/"},                      {"/a/..", "/"},
      {"a/../../b", "../b"},           {"", "."},                        {"./a/", "a"},
      {"/a/b/../../..", "/"},          {"/a/.../b", "/a/.../b"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(normalise(in), out) << in;
}

TEST(RecordSet, InMemoryHandsOutOneDocumentPerRecordAndKnowsItsIdentity) {
  auto set = RecordSet::in_memory();
  EXPECT_TRUE(set.is_in_memory());
  const Record rec{RecordId::derived("annotations", "/a.pdf"), "annotation-set", {{"marks-up", "/a.pdf"}}};
  auto doc = set.document_for(rec);
  ASSERT_TRUE(doc);
  auto again = set.document_for(rec);
  EXPECT_EQ(&doc->get(), &again->get());
  EXPECT_EQ(set.identity(doc->get()), rec.id);
  EXPECT_EQ(identity(set, doc->get()), rec.id);
  docstore::Document stranger;
  EXPECT_FALSE(identity(set, stranger));
  EXPECT_EQ(set.find_record(rec.id), rec);
  {
    auto tx = doc->get().begin();
    ASSERT_TRUE(tx.put(docstore::ObjId::root(), "k", 1));
    tx.commit();
  }
  EXPECT_EQ(*set.persist_local_changes(), 1u);
  EXPECT_EQ(*set.poll(), false);
}

}  // namespace
}  // namespace velyn_ui::record
