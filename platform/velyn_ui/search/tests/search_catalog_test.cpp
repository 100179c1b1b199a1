#include "velyn_ui/search/search_catalog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "velyn_ui/search/indexing.h"
#include "velyn_ui/search/search_provider.h"

namespace velyn_ui::search {
namespace {

// A private HOME and XDG_DATA_HOME, removed afterwards.
class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "catalog-test-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    ::setenv("HOME", dir_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    auto opened = SearchCatalog::open_for_application("app.test");
    ASSERT_TRUE(opened) << opened.error().message;
    catalog_.emplace(std::move(*opened));
  }
  void TearDown() override {
    catalog_.reset();
    std::filesystem::remove_all(dir_);
  }
  SearchCatalog& catalog() { return *catalog_; }

  static CatalogEntry entry(std::string key, std::string scope, std::string title, std::string body,
                            std::string detail = "") {
    return {key, std::move(scope), std::move(body), {"PDF Viewer", std::move(title), std::move(detail), {key, "open"}}};
  }

  std::filesystem::path dir_;
  std::optional<SearchCatalog> catalog_;
};

TEST_F(CatalogTest, LivesUnderTheApplicationDataDirectory) {
  EXPECT_EQ(SearchCatalog::path_for_application("app.test"), dir_ / "data" / "app.test" / "search" / "catalog.sqlite3");
  EXPECT_TRUE(std::filesystem::exists(SearchCatalog::path_for_application("app.test")));
}

TEST_F(CatalogTest, AnnotationEntryRoundTripsAndIsFound) {
  const CatalogEntry ink{"pdf.annotation:7f1c",
                         "pdf.document:doc1",
                         join_terms({"annotation", "ink", "page 3", "A", "open"}),
                         {"PDF Viewer", "ink annotation", "Page 3 · A", {"pdf.annotation:7f1c", "open"}}};
  ASSERT_TRUE(catalog().upsert(ink));
  auto found = catalog().find("pdf.annotation:7f1c");
  ASSERT_TRUE(found && *found);
  EXPECT_EQ((*found)->result, ink.result);
  EXPECT_EQ((*found)->indexed_text, ink.indexed_text) << "NUL-separated terms survive";
  auto hits = catalog().search_limited("ink page", 10);
  ASSERT_TRUE(hits);
  ASSERT_EQ(hits->size(), 1u);
  EXPECT_EQ((*hits)[0].result.title, "ink annotation");
  EXPECT_EQ((*hits)[0].result.detail, "Page 3 · A");
  EXPECT_EQ((*hits)[0].result.action_address.action, "open");
}

TEST_F(CatalogTest, QueriesMatchWordsPrefixCaseAndAccents) {
  ASSERT_TRUE(catalog().upsert_all(std::vector<CatalogEntry>{
      entry("a", "s", "Émile Zola", "novelist"),
      entry("b", "s", "Lighthouse keeper", "the keeper climbed the iron stair"),
      entry("c", "s", "Ledger", "keeper of accounts"),
  }));
  struct Case {
    const char* query;
    std::vector<std::string> keys;  // in rank order
  };
  const std::vector<Case> cases = {
      {"emile", {"a"}},            // accents ignored
      {"ZOLA", {"a"}},             // case ignored
      {"nove", {"a"}},             // last word as a prefix
      {"keeper", {"b", "c"}},      // the title hit ranks first
      {"iron keeper", {"b"}},      // every word required
      {"   ", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    auto hits = catalog().search_limited(c.query, 10);
    ASSERT_TRUE(hits) << c.query << ": " << hits.error().message;
    std::vector<std::string> keys;
    for (const auto& h : *hits) keys.push_back(h.key);
    EXPECT_EQ(keys, c.keys) << c.query;
  }
}

TEST_F(CatalogTest, QueryTextIsNeverSyntax) {
  ASSERT_TRUE(catalog().upsert(entry("a", "s", "Page 1", "near and or not")));
  for (const char* q : {"\"", "AND", "NEAR(", "*", "title:x", "-x", ")", "a OR", "^", "\xff\xfe", "\"\"*\""}) {
    auto hits = catalog().search_limited(q, 10);
    EXPECT_TRUE(hits) << q << ": " << hits.error().message;
  }
  auto hits = catalog().search_limited("NEAR AND", 10);
  ASSERT_TRUE(hits);
  EXPECT_EQ(hits->size(), 1u) << "operator words are searched as words";
}

TEST_F(CatalogTest, UpsertReplacesRemovesAndCountsGenerations) {
  ASSERT_TRUE(catalog().upsert(entry("k", "s", "Old title", "alpha")));
  const auto g1 = *catalog().generation();
  ASSERT_TRUE(catalog().upsert(entry("k", "s", "Old title", "alpha")));
  EXPECT_EQ(*catalog().generation(), g1) << "an unchanged entry writes nothing";
  ASSERT_TRUE(catalog().upsert(entry("k", "s", "New title", "beta")));
  EXPECT_GT(*catalog().generation(), g1);
  EXPECT_TRUE(catalog().search_limited("alpha", 5)->empty()) << "the old text is out of the index";
  EXPECT_EQ(catalog().search_limited("beta", 5)->size(), 1u);
  EXPECT_EQ(*catalog().remove("k"), true);
  EXPECT_EQ(*catalog().remove("k"), false);
  EXPECT_TRUE(catalog().search_limited("beta", 5)->empty());
  EXPECT_FALSE(catalog().upsert(entry("", "s", "t", "b"))) << "keys are required";
}

TEST_F(CatalogTest, RetractingAScopeLeavesOtherScopes) {
  ASSERT_TRUE(catalog().upsert_all(std::vector<CatalogEntry>{
      entry("d1:page1", "doc1", "Page 1", "x"), entry("d1:page2", "doc1", "Page 2", "x"),
      entry("d2:page1", "doc2", "Page 1", "x")}));
  const std::vector<std::string> keep = {"d1:page1"};
  EXPECT_EQ(*catalog().remove_scope_except("doc1", keep), 1u);
  EXPECT_EQ(*catalog().keys_in_scope("doc1"), keep);
  EXPECT_EQ(catalog().keys_in_scope("doc2")->size(), 1u);
  const auto s = *catalog().stats();
  EXPECT_EQ(s.entries, 2u);
  EXPECT_EQ(s.scopes, 2u);
  EXPECT_EQ(s.indexed_bytes, 2u);
}

TEST_F(CatalogTest, ReplacingAScopePublishesExactlyItsEntries) {
  ASSERT_TRUE(catalog().upsert(entry("other", "doc2", "Other", "x")));
  std::vector<CatalogEntry> first = {entry("d1:a", "", "A", "x"), entry("d1:b", "", "B", "x")};
  auto u1 = catalog().replace_scope("doc1", first);
  ASSERT_TRUE(u1) << u1.error().message;
  EXPECT_EQ(u1->written, 2u);
  EXPECT_EQ(u1->removed, 0u);
  const auto g = *catalog().generation();
  auto same = catalog().replace_scope("doc1", first);
  ASSERT_TRUE(same);
  EXPECT_EQ(same->written, 0u);
  EXPECT_EQ(*catalog().generation(), g) << "publishing the same entries again writes nothing";
  std::vector<CatalogEntry> second = {entry("d1:b", "", "B2", "x"), entry("d1:c", "", "C", "x")};
  auto u2 = catalog().replace_scope("doc1", second);
  ASSERT_TRUE(u2);
  EXPECT_EQ(u2->written, 2u);
  EXPECT_EQ(u2->removed, 1u);
  EXPECT_EQ(*catalog().keys_in_scope("doc1"), (std::vector<std::string>{"d1:b", "d1:c"}));
  EXPECT_EQ(catalog().keys_in_scope("doc2")->size(), 1u);
  std::vector<CatalogEntry> bad = {entry("d1:z", "", "Z", "x"), entry("", "", "no key", "x")};
  EXPECT_FALSE(catalog().replace_scope("doc1", bad));
  EXPECT_EQ(*catalog().keys_in_scope("doc1"), (std::vector<std::string>{"d1:b", "d1:c"})) << "all or nothing";
}

TEST_F(CatalogTest, PagesFollowCursorsUntilTheCatalogueChanges) {
  std::vector<CatalogEntry> entries;
  for (int i = 0; i < 25; ++i) entries.push_back(entry("p" + std::to_string(i), "s", "Page " + std::to_string(i), "lamp"));
  ASSERT_TRUE(catalog().upsert_all(entries));
  std::vector<std::string> seen;
  std::optional<SearchCursor> cursor;
  int pages = 0;
  do {
    auto page = catalog().query_page("lamp", cursor, 10);
    ASSERT_TRUE(page) << page.error().message;
    EXPECT_EQ(page->total, 25u);
    for (const auto& h : page->hits) seen.push_back(h.key);
    cursor = page->next;
    ++pages;
  } while (cursor);
  EXPECT_EQ(pages, 3);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end()) << "no entry twice";
  EXPECT_EQ(seen.size(), 25u);

  auto first = catalog().query_page("lamp", std::nullopt, 10);
  ASSERT_TRUE(first && first->next);
  EXPECT_TRUE(catalog().cursor_is_current(*first->next));
  ASSERT_TRUE(catalog().upsert(entry("p99", "s", "Page 99", "lamp")));
  EXPECT_FALSE(catalog().cursor_is_current(*first->next));
  auto stale = catalog().query_page("lamp", first->next, 10);
  ASSERT_FALSE(stale);
  EXPECT_EQ(stale.error().message, "search results changed; run the search again");
}

TEST_F(CatalogTest, InstancesShareTheFile) {
  auto other = SearchCatalog::open_for_application("app.test");
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->upsert(entry("shared", "s2", "From another viewer", "beacon")));
  EXPECT_EQ(catalog().search_limited("beacon", 5)->size(), 1u);
  EXPECT_EQ(catalog().generation(), other->generation());
}

TEST_F(CatalogTest, PlainProviderSearchIsCapped) {
  std::vector<CatalogEntry> entries;
  for (int i = 0; i < 300; ++i) entries.push_back(entry("m" + std::to_string(i), "s", "Match", "tide"));
  ASSERT_TRUE(catalog().upsert_all(entries));
  provider::CatalogSearchProvider p(catalog());
  EXPECT_EQ(p.search("tide")->size(), provider::CatalogSearchProvider::kPlainSearchLimit);
  EXPECT_EQ(p.search_limited("tide", 10)->size(), 10u);
  EXPECT_EQ(p.stats()->entries, 300u);
}

TEST(SearchCatalogFile, NotACatalogueIsAnError) {
  const auto file = std::filesystem::temp_directory_path() / "catalog-test-garbage.sqlite3";
  std::ofstream(file) << std::string(4096, 'x');
  auto opened = SearchCatalog::open(file);
  EXPECT_FALSE(opened);
  if (!opened) {
    EXPECT_NE(opened.error().message.find("search catalogue"), std::string::npos);
  }
  std::filesystem::remove(file);
}

TEST(Indexing, NormaliseAndHelpers) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ABC def", "abc def"},
      {"\xC4\xB0", "i\xCC\x87"},                  // İ expands to i + combining dot
      {"ΣΑΣ", "σασ"},                             // no final-sigma rule
      {std::string("a\0B", 3), std::string("a\0b", 3)},
      {"x\xffY", "x\xffy"},                       // a malformed byte stays
      {"\xE2\x82", "\xE2\x82"},                  // a cut-off sequence stays
      {"ǅ", "ǆ"},                                 // title case
      {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"},  // outside the BMP: Deseret long I
      {"ÉTÉ", "été"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(provider::normalize_search_text(in), out) << in;
  EXPECT_EQ(join_terms({"Page 1", "pdf page", "open"}), std::string("Page 1\0pdf page\0open", 20));
  EXPECT_EQ(first_chars("héllo", 2), "hé");
  EXPECT_EQ(first_chars("abc", 120), "abc");
}

}  // namespace
}  // namespace velyn_ui::search
