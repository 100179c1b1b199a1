// Flattened saves judged by tools we did not write: qpdf --check for structure,
// pdftotext for note texts, signatures and page order, pdftoppm for where and
// in which colour the markup landed.
#include <gtest/gtest.h>

#include "opened_source_test.h"
#include "pdf_fixtures.h"
#include "save_fixtures.h"
#include "source/flatten.h"
#include "source/review_snapshot.h"
#include "source/source_jobs.h"

namespace pdf::source {
namespace {

using pdf_actions::AnnoGeom;
using pdf_actions::Annotation;
using pdf_actions::Comment;
using pdf_actions::Signature;
using pdf_actions::Swatch;
using testing::kClient;
using testing::kDocument;
using testing::TempDir;

Annotation highlight(std::uint64_t page, Swatch colour, double x, double y, double w, double h) {
  return Annotation{"h-" + std::to_string(x), page, colour, "You", AnnoGeom::Highlight{x, y, w, h}};
}
Annotation note(std::string id, std::uint64_t page, double x, double y) {
  return Annotation{std::move(id), page, Swatch::Yellow, "You", AnnoGeom::Note{x, y}};
}
Comment comment(std::string anno, std::string body) {
  Comment c;
  c.id = "c-" + body;
  c.anno = std::move(anno);
  c.body = std::move(body);
  return c;
}
Signature typed(std::uint64_t page, double x, double y, double w, double h, std::string signer, std::string date) {
  return Signature{"s-" + signer, page, x, y, w, h, std::move(signer), std::move(date), std::nullopt};
}

class FlattenTest : public testing::OpenedSourceTest {
 protected:


  // Prepare and commit; the error text of the first failing phase.
  velyn::Result<std::filesystem::path> save(ReviewSnapshot review, const std::filesystem::path& destination) {
    SaveRequest request{std::make_shared<const ReviewSnapshot>(std::move(review)), destination, ++save_id_,
                        kDocument};
    SourceReply prepared = run_prepare_save(*state_, kClient, PrepareSave{request});
    if (auto* failed = std::get_if<SaveFailed>(&prepared)) return velyn::fail(failed->message);
    SourceReply committed =
        run_commit_save(*state_, kClient, CommitSave{request, std::get<SavePrepared>(prepared).private_file});
    if (auto* failed = std::get_if<SaveFailed>(&committed)) return velyn::fail(failed->message);
    return destination;
  }

  std::uint64_t save_id_ = 0;
};

TEST_F(FlattenTest, MarkupIsDrawnIntoThePagesAsPeerToolsSeeIt) {
  ReviewSnapshot review;
  review.annotations = {
      highlight(1, Swatch::Yellow, 100, 200, 200, 40),
      highlight(1, Swatch::Blue, 100, 400, 100, 30),
      Annotation{"ink-1", 1, Swatch::Pink, "You", AnnoGeom::Ink{{{50, 600}}}},  // one point: nothing
      Annotation{"ink-2", 1, Swatch::Green, "You", AnnoGeom::Ink{{{300, 600}, {500, 600}, {500, 650}}}},
      note("note-1", 2, 300, 300),
      note("note-2", 2, 300, 500),  // only white space in its comment: marker only
  };
  review.comments = {comment("note-1", "  Check this figure \n"), comment("note-1", "Second thoughts"),
                     comment("note-2", " \t ")};
  review.signatures = {
      typed(3, 100, 500, 200, 60, "Ada Lovelace", "2024-05-01"),
      typed(3, 350, 500, 200, 60, "   ", "2024-06-02"),
      Signature{"s-drawn", 3, 100, 650, 200, 60, "Grace Hopper", "2024-07-03",
                std::vector<pdf_actions::Stroke>{{{-1, 0.5}, {2, 0.5}}, {{0.5, 0.5}}}},
  };
  auto saved = save(review, dir_ / "out.pdf");
  ASSERT_TRUE(saved) << saved.error().message;

  std::string report;
  EXPECT_TRUE(testing::qpdf_check_ok(*saved, &report)) << report;
  EXPECT_EQ(testing::qpdf_page_count(*saved), 3);
  const std::string page2 = testing::pdf_text(*saved, 2);
  EXPECT_NE(page2.find("Page 2"), std::string::npos) << page2;
  EXPECT_NE(page2.find("Check this figure"), std::string::npos) << page2;
  EXPECT_EQ(page2.find("Second thoughts"), std::string::npos) << page2;
  const std::string page3 = testing::pdf_text(*saved, 3);
  for (const char* expected : {"Page 3", "Ada Lovelace", "Signed 2024-05-01", "Signed 2024-06-02", "Grace Hopper",
                               "Signed 2024-07-03"}) {
    EXPECT_NE(page3.find(expected), std::string::npos) << expected << " in " << page3;
  }

  // Colours over white: yellow at alpha 90, blue at 90, green ink, the note marker at 235.
  const testing::Raster p1 = testing::render_page(*saved, 1);
  ASSERT_EQ(p1.width, 612);
  EXPECT_TRUE(testing::near(p1.at(200, 220), {253, 237, 172}, 8));
  EXPECT_TRUE(testing::near(p1.at(150, 415), {186, 210, 251}, 8));
  EXPECT_TRUE(testing::near(p1.at(90, 220), {255, 255, 255}, 2));  // left of the highlight
  EXPECT_TRUE(testing::near(p1.at(400, 600), {34, 197, 94}, 40));
  EXPECT_TRUE(testing::near(p1.at(50, 600), {255, 255, 255}, 2));  // the one-point ink
  const testing::Raster p2 = testing::render_page(*saved, 2);
  EXPECT_TRUE(testing::near(p2.at(308, 308), {250, 208, 39}, 8));
  EXPECT_TRUE(testing::near(p2.at(308, 508), {250, 208, 39}, 8));
  EXPECT_TRUE(testing::near(p2.at(308, 320), {255, 255, 255}, 2));  // below the marker
  // The drawn stroke, clamped into the ink area: x 112..288 at y 650 + 6 + 0.5 * 27.6.
  const testing::Raster p3 = testing::render_page(*saved, 3);
  EXPECT_LT(p3.at(113, 670).r, 120);
  EXPECT_LT(p3.at(286, 670).r, 120);
  EXPECT_TRUE(testing::near(p3.at(100, 670), {255, 255, 255}, 2));
}

TEST_F(FlattenTest, PagesFollowThePlanAfterMoveDuplicateAndDelete) {
  // Page 3 moved to the front, page 1 duplicated, page 2 deleted.
  ASSERT_TRUE(resolve_plan(doc(), {PlanEntry{"source-3", 3, std::nullopt}, PlanEntry{"source-1", 1, std::nullopt},
                                   PlanEntry{"page-x", 1, std::nullopt}}));
  ReviewSnapshot review;
  review.annotations = {note("n", 3, 100, 100), note("gone", 9, 100, 100)};  // page 9 does not exist
  review.comments = {comment("n", "On the duplicate"), comment("gone", "Never drawn")};
  auto saved = save(review, dir_ / "plan.pdf");
  ASSERT_TRUE(saved) << saved.error().message;
  EXPECT_TRUE(testing::qpdf_check_ok(*saved));
  ASSERT_EQ(testing::qpdf_page_count(*saved), 3);
  const char* expected[] = {"Page 3", "Page 1", "Page 1"};
  for (int page = 1; page <= 3; ++page) {
    EXPECT_NE(testing::pdf_text(*saved, page).find(expected[page - 1]), std::string::npos) << page;
  }
  EXPECT_NE(testing::pdf_text(*saved, 3).find("On the duplicate"), std::string::npos);
  EXPECT_EQ(testing::pdf_text(*saved).find("Never drawn"), std::string::npos);
}

TEST_F(FlattenTest, WithoutMarkupTheOutputIsAPageForPageCopy) {
  auto saved = save({}, dir_ / "copy.pdf");
  ASSERT_TRUE(saved) << saved.error().message;
  EXPECT_TRUE(testing::qpdf_check_ok(*saved));
  EXPECT_EQ(testing::pdf_text(*saved), testing::pdf_text(dir_ / "source.pdf"));
}

TEST_F(FlattenTest, AwaitingImportedContentRefusesTheSaveAndLeavesNothing) {
  const std::string hash(64, 'a');
  ASSERT_TRUE(resolve_plan(doc(), {PlanEntry{"source-1", 1, std::nullopt},
                                   PlanEntry{"import-1", 1, PlanImport{hash, "pdf", 1, 612000, 792000}}}));
  auto saved = save({}, dir_ / "awaiting.pdf");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().message, "page 2 is still awaiting imported content");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "awaiting.pdf"));
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".velyn-pdf-", 0), std::string::npos) << entry.path();
  }
}

TEST_F(FlattenTest, LongPlansKeepOrderAndMarkupAcrossScratchDocuments) {
  // Markup is drawn in scratch documents of kFlattenChunkPages pages; pages on
  // either side of each boundary, and chunks without markup, keep their place.
  constexpr int kPages = 3 * static_cast<int>(kFlattenChunkPages) + 5;
  testing::write_numbered_pdf(dir_ / "long.pdf", kPages);
  state_ = testing::open_state(dir_ / "long.pdf", dir_ / "blobs");
  ASSERT_NE(state_, nullptr);
  std::vector<PlanEntry> reversed;
  for (int p = kPages; p >= 1; --p) reversed.push_back(PlanEntry{"source-" + std::to_string(p), std::uint64_t(p), {}});
  ASSERT_TRUE(resolve_plan(doc(), reversed));
  const int marked[] = {1, static_cast<int>(kFlattenChunkPages), static_cast<int>(kFlattenChunkPages) + 1, kPages};
  ReviewSnapshot review;
  for (int page : marked) {
    const std::string id = "note-" + std::to_string(page);
    review.annotations.push_back(note(id, static_cast<std::uint64_t>(page), 100, 100));
    review.comments.push_back(comment(id, "Remark on output page " + std::to_string(page)));
  }
  auto saved = save(review, dir_ / "long-out.pdf");
  ASSERT_TRUE(saved) << saved.error().message;
  EXPECT_TRUE(testing::qpdf_check_ok(*saved));
  ASSERT_EQ(testing::qpdf_page_count(*saved), kPages);
  for (int page : {1, 2, static_cast<int>(kFlattenChunkPages), static_cast<int>(kFlattenChunkPages) + 1, 2 * static_cast<int>(kFlattenChunkPages) + 3, kPages}) {
    const std::string text = testing::pdf_text(*saved, page);
    EXPECT_NE(text.find("Page " + std::to_string(kPages + 1 - page) + "\n"), std::string::npos) << page << text;
    const bool has_note = std::find(std::begin(marked), std::end(marked), page) != std::end(marked);
    EXPECT_EQ(text.find("Remark on output page " + std::to_string(page)) != std::string::npos, has_note) << page;
  }
}

TEST(TypedSignatureSize, IsClampedToTenAndTwentyTwo) {
  struct Case {
    double box_height, size;
  };
  for (const Case& c : {Case{10, 10}, Case{100, 22}, Case{50, 16.56}, Case{0, 10}}) {
    EXPECT_NEAR(typed_signature_size(c.box_height), c.size, 1e-9) << c.box_height;
  }
}

}  // namespace
}  // namespace pdf::source
