// Publishing the open document to a real search catalogue in a private room.
#include "app/catalog_publication.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace source = pdf::source;

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pdf-viewer-catalog-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(CatalogTest, EntriesOfEveryKindAreWrittenUnderTheirKeys) {
  source::Document doc;
  doc.title = "Report";
  doc.pages = {{{source::BlockKind::Title, "Quarterly report", 0}, {source::BlockKind::Figure, "caption", 10}},
               {{source::BlockKind::Paragraph, "Second page", 0}}};
  doc.outline = {{"Intro", 1, 0}, {"Intro", 1, 0}};
  pdf_app::CatalogSnapshot s;
  s.document_key = "doc-1";
  s.title = "Report";
  s.pages = {{"source-1", 1}, {"source-2", 2}, {"page-x", 1}};
  s.document = &doc;
  pdf_actions::Annotation ink;
  ink.id = "ink-1";
  ink.page = 3;
  ink.author = "A";
  ink.geom = pdf_actions::AnnoGeom::Ink{{{1, 1}, {2, 2}}};
  s.review.annotations = {ink};
  s.review.signatures = {{"sig-1", 2, 0, 0, 1, 1, "Ann", "2026-01-02", std::nullopt}};
  s.review.comments = {{"c-1", std::nullopt, 1, "Bo", "Body", 1, false, {{"r-1", "Cy", "Yes"}}}};
  s.query = "  report ";
  s.match_pages = {1, 3};

  auto catalog = velyn_ui::search::SearchCatalog::open(dir_ / "catalog.sqlite3");
  ASSERT_TRUE(catalog) << catalog.error().message;
  const auto keys = pdf_app::publish_catalog(*catalog, s);
  ASSERT_TRUE(keys) << keys.error().message;
  // document + 3 pages + 2 bookmarks + annotation + signature + comment + reply + 2 matches
  EXPECT_EQ(keys->size(), 12u);

  const auto anno = catalog->find("pdf.annotation:ink-1");
  ASSERT_TRUE(anno && *anno);
  EXPECT_EQ((*anno)->result.title, "ink annotation");
  EXPECT_EQ((*anno)->result.detail, "Page 3 · A");
  EXPECT_EQ((*anno)->result.app_name, "PDF Viewer");
  EXPECT_EQ((*anno)->result.action_address.resource, "pdf.annotation:ink-1");
  EXPECT_EQ((*anno)->result.action_address.action, "open");

  const auto page = catalog->find("pdf.page:doc-1:source-1");
  ASSERT_TRUE(page && *page);
  EXPECT_EQ((*page)->result.detail, "Quarterly report");  // no figure caption
  EXPECT_EQ((*catalog->find("pdf.reply:c-1:r-1"))->result.title, "Reply — Cy");
  EXPECT_EQ((*catalog->find("pdf.document:doc-1"))->result.action_address.action, "find");

  // Two identical bookmarks get distinct keys.
  EXPECT_NE(pdf_app::outline_key(doc.outline, 0), pdf_app::outline_key(doc.outline, 1));
  const std::string sk = pdf_app::search_key("report", {});
  EXPECT_EQ(sk, pdf_app::search_key("  report ", {}));
  EXPECT_NE(sk, pdf_app::search_key("report", {.whole_word = true, .case_sensitive = false}));
  EXPECT_EQ(sk.size(), 16u);
  const auto match = catalog->find("pdf.search-result:doc-1:" + sk + ":1:3");
  ASSERT_TRUE(match && *match);
  EXPECT_EQ((*match)->result.title, "Match 2 · page 3");
  EXPECT_EQ((*match)->result.detail, "Find result for “  report ”");

  const auto hits = catalog->search_limited("ink", 10);
  ASSERT_TRUE(hits);
  EXPECT_TRUE(std::ranges::any_of(*hits, [](const auto& h) { return h.key == "pdf.annotation:ink-1"; }));
}

TEST_F(CatalogTest, NoSearchEntriesWithoutAQuery) {
  pdf_app::CatalogSnapshot s;
  s.document_key = "d";
  s.query = "   ";
  s.match_pages = {1};
  const auto entries = pdf_app::catalog_entries(s);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "pdf.document:d");
}

}  // namespace
