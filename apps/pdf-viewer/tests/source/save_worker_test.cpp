// Saving and importing through a running "pdf-source" worker and its client
// helpers, as the viewer drives them: open, import, apply the plan, prepare,
// commit; cancel and close release prepared saves.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "pdf_fixtures.h"
#include "save_fixtures.h"
#include "source/review_snapshot.h"
#include "source/source_jobs.h"

namespace pdf::source {
namespace {

using testing::TempDir;

class SaveWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::isolate_home();
    if (shared_pdfium() == nullptr) GTEST_SKIP() << "PDFium not found: set VELYN_PDFIUM_LIB to libpdfium.so";
    worker_ = SourceWorker::start(make_pdf_jobs(dir_ / "blobs"));
    auto client = SourceClient::open(*worker_);
    ASSERT_TRUE(client);
    client_ = *client;
  }
  void TearDown() override {
    client_.reset();
    worker_.reset();
  }

  // The next reply, waiting a bounded time for the worker.
  SourceReply next_reply() {
    for (int i = 0; i < 3000; ++i) {
      if (pending_.empty()) {
        for (auto& r : client_->poll()) pending_.push_back(std::move(r));
      }
      if (!pending_.empty()) {
        SourceReply r = std::move(pending_.front());
        pending_.erase(pending_.begin());
        return r;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "no reply from the worker";
    return SaveFailed{0, "timeout"};
  }

  template <class T>
  T expect_reply() {
    SourceReply r = next_reply();
    EXPECT_TRUE(std::holds_alternative<T>(r)) << "reply kind " << r.index();
    return std::holds_alternative<T>(r) ? std::get<T>(r) : T{};
  }

  RasterDocumentId open(const std::filesystem::path& path) {
    auto request = client_->open_document(path);
    EXPECT_TRUE(request);
    Opened opened = expect_reply<Opened>();
    EXPECT_TRUE(opened.opened.raster_document.has_value());
    return opened.opened.raster_document.value_or(0);
  }

  TempDir dir_;
  std::unique_ptr<SourceWorker> worker_;
  std::shared_ptr<SourceClient> client_;
  std::vector<SourceReply> pending_;
};

TEST_F(SaveWorkerTest, ImportApplyPrepareAndCommitThroughTheWorker) {
  testing::write_numbered_pdf(dir_ / "doc.pdf", 2);
  testing::write_bytes(dir_ / "blue.jpg", testing::make_jpeg(600, 300, {30, 60, 220}));
  const RasterDocumentId doc = open(dir_ / "doc.pdf");

  ASSERT_TRUE(client_->import_file(doc, dir_ / "blue.jpg", 1, std::string("source-1")));
  PagesImported imported = expect_reply<PagesImported>();
  ASSERT_EQ(imported.page_sizes, (std::vector<PageSize>{{612, 306}}));
  std::vector<PlanEntry> plan = {{"source-1", 1, std::nullopt},
                                 {"import-1", 1, PlanImport{imported.hash, "image", 1, 612000, 306000}},
                                 {"source-2", 2, std::nullopt}};
  ASSERT_TRUE(client_->apply_plan(doc, plan));
  PagePlanApplied applied = expect_reply<PagePlanApplied>();
  EXPECT_EQ(applied.plan, plan);
  EXPECT_EQ(applied.page_sizes[1], (PageSize{612, 306}));

  auto review = std::make_shared<ReviewSnapshot>();
  review->annotations = {{"n", 2, pdf_actions::Swatch::Pink, "You", pdf_actions::AnnoGeom::Note{10, 10}}};
  review->comments = {pdf_actions::Comment{"c", "n", 2, "You", "On the imported page", 0, false, {}}};
  auto save_id = allocate_request_id();
  ASSERT_TRUE(save_id);
  SaveRequest save{review, dir_ / "shared.pdf", *save_id, doc};
  ASSERT_TRUE(client_->prepare_save(save));
  SavePrepared prepared = expect_reply<SavePrepared>();
  EXPECT_EQ(prepared.save_id, *save_id);
  ASSERT_TRUE(client_->commit_save(save, prepared.private_file));
  SaveCommitted committed = expect_reply<SaveCommitted>();
  EXPECT_EQ(committed.save_id, *save_id);

  const auto out = dir_ / "shared.pdf";
  EXPECT_TRUE(testing::qpdf_check_ok(out));
  EXPECT_EQ(testing::qpdf_page_count(out), 3);
  EXPECT_NE(testing::pdf_text(out, 2).find("On the imported page"), std::string::npos);
  const testing::Raster page = testing::render_page(out, 2);
  EXPECT_TRUE(testing::near(page.at(300, 200), {30, 60, 220}, 12));
}

TEST_F(SaveWorkerTest, CancelAndCloseReleasePreparedSaves) {
  testing::write_numbered_pdf(dir_ / "doc.pdf", 1);
  const RasterDocumentId doc = open(dir_ / "doc.pdf");
  SaveRequest save{std::make_shared<const ReviewSnapshot>(), dir_ / "x.pdf", *allocate_request_id(), doc};
  ASSERT_TRUE(client_->prepare_save(save));
  SavePrepared prepared = expect_reply<SavePrepared>();
  EXPECT_TRUE(std::filesystem::exists(prepared.private_file));
  ASSERT_TRUE(client_->cancel_save(save));
  ASSERT_TRUE(client_->commit_save(save, prepared.private_file));
  EXPECT_EQ(expect_reply<SaveFailed>().message, "the prepared save is no longer available");
  EXPECT_FALSE(std::filesystem::exists(prepared.private_file.parent_path()));

  SaveRequest again{std::make_shared<const ReviewSnapshot>(), dir_ / "y.pdf", *allocate_request_id(), doc};
  ASSERT_TRUE(client_->prepare_save(again));
  SavePrepared second = expect_reply<SavePrepared>();
  client_->close();
  for (int i = 0; i < 300 && std::filesystem::exists(second.private_file.parent_path()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(std::filesystem::exists(second.private_file.parent_path()));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "y.pdf"));
}

}  // namespace
}  // namespace pdf::source
