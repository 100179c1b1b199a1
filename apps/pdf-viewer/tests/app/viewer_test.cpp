// The viewer's frame cycle, driven headlessly: reply acceptance, open
// failures, record binding, fit and page tracking, raster requests and what a
// rendered page looks like.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "actions/apply.h"
#include "app/pdf_app.h"
#include "actions/review_store.h"
#include "app/launch.h"
#include "app/raster_cache.h"
#include "app/sample_document.h"
#include "docstore/document.h"
#include "pdf_fixtures.h"
#include "source/source_worker.h"
#include "velyn_ui/frame_services.h"
#include "velyn_actions/log.h"
#include "velyn_ui/headless.h"
#include "velyn_ui/records/record_set.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace {

namespace source = pdf::source;
using pdf_app::PdfApp;

// A worker whose jobs answer nothing: the test hands the viewer its replies.
// It notes which raster documents the viewer gave back.
class SilentJobs final : public source::JobExecutor {
 public:
  std::optional<source::SourceReply> execute(source::ClientId, source::SourceRequest request) override {
    if (const auto* release = std::get_if<source::ReleaseRasterDocument>(&request)) {
      std::lock_guard lock(mutex);
      released.push_back(release->document);
    }
    return std::nullopt;
  }
  void close_client(source::ClientId) override {}

  std::vector<source::RasterDocumentId> released_so_far() {
    std::lock_guard lock(mutex);
    return released;
  }
  std::mutex mutex;
  std::vector<source::RasterDocumentId> released;
};

class TempHome {
 public:
  TempHome() {
    dir_ = std::filesystem::temp_directory_path() / ("pdf-viewer-app-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  ~TempHome() { std::filesystem::remove_all(dir_); }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// Hands update() the records it needs to check the binding.
// and an action host with the viewer's registry whose sink counts changes.
class Services final : public velyn_ui::FrameServices {
 public:
  velyn_ui::record::RecordSet set = velyn_ui::record::RecordSet::in_memory();
  int replicated = 0;
  velyn_ui::action_host::ActionHost host{*pdf_app::make_action_registry(),
                                         [this](const docstore::Document&, const docstore::Change&) {
                                           ++replicated;
                                           return velyn::Result<void>{};
                                         }};
  const velyn_ui::record::RecordSet& records() const override { return set; }
  velyn_ui::action_host::ActionHost* actions() override { return &host; }
};

source::Opened opened_reply(source::RequestId id, std::size_t pages) {
  source::Opened o;
  o.request_id = id;
  o.opened.document = source::Document::blank_pages("T", "", pages, 612, 792);
  o.opened.file_name = "a.pdf";
  o.opened.raster_document = id;
  o.opened.page_sizes.assign(pages, source::PageSize{612, 792});
  return o;
}

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto jobs = std::make_unique<SilentJobs>();
    jobs_ = jobs.get();
    worker_ = source::SourceWorker::start(std::move(jobs));
    app_ = std::make_unique<PdfApp>(*source::SourceClient::open(*worker_));
  }
  void TearDown() override { app_.reset(); }

  // One update + layout + draw at 1280 × 800 with the document of the bound record.
  void frame(docstore::Document* doc = nullptr) {
    velyn_ui::FrameContext ctx{text_, theme_, now_ += 0.016, &services_};
    docstore::Document scratch;
    docstore::Document* d = doc;
    if (!d && app_->desired_record()) d = &services_.set.document_for(*app_->desired_record())->get();
    app_->update(d ? *d : scratch, ctx);
    app_->layout({0, 0, 1280, 800}, ctx);
    // Drawing needs a surface; the request pass alone is what these tests observe.
    app_->request_rasters({});
  }
  velyn_ui::FrameContext context() { return velyn_ui::FrameContext{text_, theme_, now_, &services_}; }
  docstore::Document& bound_document() { return services_.set.document_for(*app_->desired_record())->get(); }
  std::uint64_t open(const std::string& path) {
    app_->start_open(path);
    return app_->pending_open->request_id;
  }

  TempHome home_;
  SilentJobs* jobs_ = nullptr;  // owned by the worker
  std::unique_ptr<source::SourceWorker> worker_;
  std::unique_ptr<PdfApp> app_;
  Services services_;
  velyn_ui::TextRenderer text_;
  velyn_ui::Theme theme_ = velyn_ui::Theme::light();
  double now_ = 1;
};

TEST(RasterWidths, TargetsAndBuckets) {
  struct Case {
    double logical;
    std::uint32_t target, bucket;
  };
  const Case cases[] = {{40, 96, 96}, {65, 130, 120}, {2500, 4096, 4080}, {0, 96, 96}, {306, 612, 600}};
  for (const auto& c : cases) {
    EXPECT_EQ(pdf_app::page_target_width(c.logical), c.target) << c.logical;
    EXPECT_EQ(pdf_app::width_bucket(c.target), c.bucket) << c.logical;
  }
  EXPECT_EQ(pdf_app::width_bucket(5000), 4080u);
  EXPECT_EQ(pdf_app::thumbnail_target_width(400), 600u);
}

TEST(Viewport, FitAndCurrentPageRules) {
  EXPECT_EQ(pdf_app::fit_page_zoom(100, 100, 612, 792), 0.25);
  EXPECT_NEAR(*pdf_app::fit_page_zoom(1000, 900, 612, 792), 844.0 / 792, 1e-12);
  EXPECT_FALSE(pdf_app::fit_page_zoom(50, 900, 612, 792));
  EXPECT_EQ(pdf_app::current_page_at(800, 792, 3), 2u);
  EXPECT_EQ(pdf_app::current_page_at(-300, 792, 3), 1u);
  EXPECT_EQ(pdf_app::current_page_at(1e9, 792, 3), 3u);
  EXPECT_EQ(pdf_app::current_page_at(10, -22, 3), 1u);
}

TEST(RasterCacheTest, EvictsLeastRecentlyUsedButNeverWhatThisFrameUses) {
  const auto image = [] {
    std::vector<std::uint8_t> rgba(10 * 10 * 4, 255);
    return velyn_ui::Image::from_rgba(10, 10, rgba);
  };
  const auto entry = [](std::uint64_t n) { return "page-" + std::to_string(n); };
  pdf_app::RasterCache cache(2 * 400);  // room for two 10 × 10 rasters
  cache.begin_frame();
  for (std::uint64_t p = 0; p < 2; ++p) {
    cache.mark_requested({entry(p), 96});
    cache.insert({entry(p), 96}, image());
  }
  cache.begin_frame();
  ASSERT_TRUE(cache.lookup({entry(0), 96}));  // page 0 is shown now; page 1 is older
  cache.begin_frame();
  ASSERT_TRUE(cache.lookup({entry(0), 96}));
  cache.insert({entry(2), 96}, image());
  EXPECT_TRUE(cache.lookup({entry(0), 96}));
  EXPECT_FALSE(cache.lookup({entry(1), 96}));
  EXPECT_FALSE(cache.requested({entry(1), 96}));  // may be asked for again
  // Everything in use this frame stays, even over the budget.
  ASSERT_TRUE(cache.lookup({entry(2), 96}));
  cache.insert({entry(3), 96}, image());
  EXPECT_TRUE(cache.lookup({entry(0), 96}) && cache.lookup({entry(2), 96}) && cache.lookup({entry(3), 96}));
  // A raster that just arrived survives until the frame after it.
  cache.begin_frame();
  cache.lookup({entry(0), 96});
  cache.insert({entry(4), 96}, image());
  EXPECT_TRUE(cache.lookup({entry(4), 96}));
  EXPECT_FALSE(cache.lookup({entry(2), 96}));
}

TEST(RasterCacheTest, AFailedPageIsAskedForAgainOnlyAfterItsRetryTime) {
  pdf_app::RasterCache cache;
  const pdf_app::RasterKey key{"page-1", 96};
  cache.mark_requested(key);
  cache.mark_failed(key, 10);
  EXPECT_FALSE(cache.requested(key));
  EXPECT_TRUE(cache.failed(key, 10 + pdf_app::kRenderRetrySeconds - 0.1));
  EXPECT_FALSE(cache.failed(key, 10 + pdf_app::kRenderRetrySeconds));
}

TEST_F(ViewerTest, OnlyTheSecondOfTwoQuickOpensIsAccepted) {
  const auto first = open("/tmp/a.pdf");
  const auto second = open("/tmp/b.pdf");
  EXPECT_EQ(app_->status, "Opening PDF…");
  app_->handle_reply(opened_reply(first, 2));
  EXPECT_FALSE(app_->document_loaded);
  app_->handle_reply(source::OpenFailed{first, "late"});
  EXPECT_FALSE(app_->open_error);
  app_->handle_reply(opened_reply(second, 3));
  ASSERT_TRUE(app_->document_loaded);
  EXPECT_EQ(app_->doc->path, "/tmp/b.pdf");
  EXPECT_FALSE(app_->status);
  EXPECT_EQ(app_->record->links.front().target, "/tmp/b.pdf");
  EXPECT_TRUE(app_->waiting_for_record);
  // The unwanted first document is handed back to the worker.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (jobs_->released_so_far().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(jobs_->released_so_far(), std::vector<source::RasterDocumentId>{first});
}

// A new document replaces the whole session: nothing of the first one's
// review, rasters, text, matches or selection is shown with the second.
TEST_F(ViewerTest, AnOpenLeavesNothingOfThePreviousDocument) {
  app_->handle_reply(opened_reply(open("/tmp/a.pdf"), 4));
  frame();
  auto& first = bound_document();
  frame(&first);
  ASSERT_EQ(app_->plan.size(), 4u);
  app_->review.annotations.push_back({});
  app_->selected_annotations = {"anno"};
  app_->search_matches.push_back({2, 0, 3});
  app_->page_texts[2] = std::make_shared<const source::TextLayer>();
  const std::vector<std::uint8_t> pixel{0, 0, 0, 255};
  app_->rasters.insert({"source-1", 96}, velyn_ui::Image::from_rgba(1, 1, pixel));

  app_->handle_reply(opened_reply(open("/tmp/b.pdf"), 2));
  ASSERT_EQ(app_->doc->path, "/tmp/b.pdf");
  EXPECT_EQ(app_->plan.size(), 2u);
  EXPECT_TRUE(app_->review.annotations.empty());
  EXPECT_TRUE(app_->selected_annotations.empty());
  EXPECT_TRUE(app_->search_matches.empty());
  EXPECT_TRUE(app_->page_texts.empty());
  EXPECT_EQ(app_->rasters.size(), 0u);
  EXPECT_TRUE(app_->waiting_for_record);
}

TEST_F(ViewerTest, OpenFailureWithAndWithoutADocument) {
  const auto id = open("/tmp/x.pdf");
  app_->handle_reply(source::OpenFailed{id, "not a readable PDF"});
  EXPECT_FALSE(app_->pending_open);
  EXPECT_EQ(app_->open_error, "Could not open /tmp/x.pdf: not a readable PDF");
  EXPECT_FALSE(app_->status);

  const auto good = open("/tmp/good.pdf");
  app_->handle_reply(opened_reply(good, 2));
  EXPECT_FALSE(app_->open_error);
  const auto bad = open("/tmp/bad.pdf");
  app_->handle_reply(source::OpenFailed{bad, "boom"});
  EXPECT_TRUE(app_->document_loaded);
  EXPECT_EQ(app_->doc->path, "/tmp/good.pdf");
  EXPECT_EQ(app_->status, "Could not open /tmp/bad.pdf: boom");
  EXPECT_FALSE(app_->open_error);
}

TEST(ViewerWithoutWorker, OpenFailsAtOnce) {
  PdfApp app(nullptr);
  app.start_open("/tmp/a.pdf");
  EXPECT_FALSE(app.pending_open);
  EXPECT_EQ(app.open_error, "Could not open /tmp/a.pdf: the PDF worker could not be started");
}

TEST_F(ViewerTest, StaleRenderRepliesAreDropped) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 2));
  std::vector<std::uint8_t> rgba(96 * 124 * 4, 0);
  source::Image image{96, 124, std::make_shared<const std::vector<std::uint8_t>>(rgba)};
  app_->handle_reply(source::PageRendered{id + 1000, 0, 96, image});
  app_->handle_reply(source::PageRenderFailed{id + 1000, 0, 96, "x"});
  EXPECT_EQ(app_->rasters.size(), 0u);
  EXPECT_FALSE(app_->status);
  app_->handle_reply(source::PageRendered{id, 0, 96, image});
  EXPECT_EQ(app_->rasters.size(), 1u);
  app_->handle_reply(source::PageRenderFailed{id, 1, 96, "bad page"});
  EXPECT_EQ(app_->status, "Couldn’t render page 2: bad page");
}

TEST_F(ViewerTest, BindingWaitsForTheRecordThenSeedsAndReadsMarkup) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 3));
  docstore::Document other;
  frame(&other);  // the host has not switched yet
  EXPECT_TRUE(app_->waiting_for_record);
  EXPECT_TRUE(app_->busy());
  EXPECT_EQ(other.change_count(), 0u);  // nothing written to the wrong record

  auto& doc = services_.set.document_for(*app_->desired_record())->get();
  frame(&doc);
  EXPECT_FALSE(app_->waiting_for_record);
  ASSERT_EQ(app_->plan.size(), 3u);
  EXPECT_EQ(app_->plan[2].id, "source-3");
  ASSERT_TRUE(app_->pending_plan);  // the worker is told the shared plan

  // Markup added to the shared document shows in the next frame.
  {
    auto txn = doc.begin();
    pdf_actions::apply_action(
        txn, pdf_actions::PdfViewerAction(pdf_actions::PdfViewerAction::AddAnnotation{
                 "2d8ab1f0-8c51-4b1a-9d65-0f7d3a6b7c11", 2, pdf_actions::AnnoGeom::Highlight{10, 20, 100, 12},
                 "green", "Ann"}));
    txn.commit();
  }
  frame(&doc);
  ASSERT_EQ(app_->review.annotations.size(), 1u);
  EXPECT_EQ(app_->review.annotations[0].page, 2u);
  // Unchanged heads: the model is not read again.
  app_->review.annotations.clear();
  frame(&doc);
  EXPECT_TRUE(app_->review.annotations.empty());
}

TEST_F(ViewerTest, PlanRepliesAreAcceptedOnlyForThePendingPlan) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 2));
  frame();
  ASSERT_TRUE(app_->pending_plan);
  auto plan = *app_->pending_plan;
  auto other = plan;
  other.pop_back();
  app_->handle_reply(source::PagePlanApplied{id, other, {{300, 400}}});
  EXPECT_TRUE(app_->pending_plan);
  app_->handle_reply(source::PagePlanApplied{id, plan, {{300, 400}, {300, 400}}});
  EXPECT_FALSE(app_->pending_plan);
  EXPECT_EQ(app_->page_width, 300);
  EXPECT_EQ(app_->page_height, 400);
  app_->handle_reply(source::PagePlanFailed{id, "late"});
  EXPECT_FALSE(app_->status);
}

TEST_F(ViewerTest, OneVisiblePageAndTwoThumbnailRequestsPerFrame) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 6));
  frame();
  ASSERT_TRUE(app_->panels.thumbnails_open);
  ASSERT_TRUE(app_->pending_plan);
  app_->request_rasters({});
  EXPECT_EQ(app_->rasters.requested_count(), 0u);  // positions mean other pages until the worker has the plan
  app_->handle_reply(source::PagePlanApplied{id, *app_->pending_plan, {}});
  app_->set_fit(pdf_app::FitMode::Free);
  app_->viewport.set_zoom(0.25);  // several pages visible at once
  std::vector<velyn_ui::widget::page_sidebar::Thumb> thumbs;
  for (std::size_t i = 0; i < 6; ++i) thumbs.push_back({i, velyn_ui::Rect{10, 100, 130, 255}});
  const std::size_t before = app_->rasters.requested_count();
  app_->request_rasters(thumbs);
  EXPECT_EQ(app_->rasters.requested_count(), before + 1 + 2);
  EXPECT_TRUE(app_->missing_visible_raster);
  app_->request_rasters(thumbs);
  EXPECT_EQ(app_->rasters.requested_count(), before + 2 + 4);
  // Every page drawn, thumbnails still to come: the frame is still busy.
  const auto bucket = pdf_app::width_bucket(pdf_app::page_target_width(0.25 * app_->page_width));
  const std::vector<std::uint8_t> pixel{0, 0, 0, 255};
  for (const auto& e : app_->plan) app_->rasters.insert({e.id, bucket}, velyn_ui::Image::from_rgba(1, 1, pixel));
  app_->request_rasters(thumbs);
  EXPECT_TRUE(app_->missing_visible_raster);
  EXPECT_TRUE(app_->busy());
}

// A raster belongs to the page it shows, wherever the plan puts that page.
TEST_F(ViewerTest, RastersFollowTheirPageThroughAPlanChange) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 2));
  frame();
  const auto identity = *app_->pending_plan;
  app_->handle_reply(source::PagePlanApplied{id, identity, {}});
  std::vector<std::uint8_t> rgba(96 * 124 * 4, 0);
  const source::Image image{96, 124, std::make_shared<const std::vector<std::uint8_t>>(rgba)};
  app_->handle_reply(source::PageRendered{id, 0, 96, image});
  ASSERT_TRUE(app_->rasters.lookup({"source-1", 96}));

  // The pages swap; the worker is told and has not answered yet. A render of
  // position 1 arriving now was made from the old sequence: it is page 2's.
  auto swapped = identity;
  std::swap(swapped[0], swapped[1]);
  app_->pending_plan = swapped;
  app_->handle_reply(source::PageRendered{id, 1, 96, image});
  EXPECT_TRUE(app_->rasters.lookup({"source-2", 96}));
  EXPECT_TRUE(app_->rasters.lookup({"source-1", 96}));  // applying the plan keeps both
  app_->handle_reply(source::PagePlanApplied{id, swapped, {}});
  EXPECT_TRUE(app_->rasters.lookup({"source-1", 96}));
  EXPECT_EQ(app_->worker_entry_at(0), "source-2");
}

TEST_F(ViewerTest, ContentHeightAndPageTracking) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 3));
  frame();
  EXPECT_EQ(app_->viewport.content_size().height, 2420);
  app_->set_fit(pdf_app::FitMode::Width);
  app_->go_to_page(2);
  EXPECT_EQ(app_->current_page, 2u);
  app_->update_current_page();
  EXPECT_EQ(app_->current_page, 2u);
  app_->go_to_page(99);
  EXPECT_EQ(app_->current_page, 3u);
}

TEST_F(ViewerTest, TextLayersAreAskedForOnlyWhileNeededAndKeptPerPage) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 3));
  frame();
  app_->handle_reply(source::PagePlanApplied{id, *app_->pending_plan, {}});
  app_->tool = pdf_app::Tool::Draw;
  app_->refresh_text_layers(text_, theme_);
  EXPECT_TRUE(app_->text_requested.empty());  // idle, no search, a tool that reads no text: nothing is asked for

  app_->selecting_text = true;
  app_->refresh_text_layers(text_, theme_);
  ASSERT_FALSE(app_->text_requested.empty());
  EXPECT_TRUE(app_->text_requested.contains(0));
  const auto asked = app_->text_requested.size();
  app_->refresh_text_layers(text_, theme_);
  EXPECT_EQ(app_->text_requested.size(), asked);  // outstanding pages are not asked twice

  auto layer = std::make_shared<source::TextLayer>();
  layer->text = "Hi";
  app_->handle_reply(source::PageTextRead{id + 1000, 0, layer});  // another document's: dropped
  EXPECT_TRUE(app_->page_texts.empty());
  app_->handle_reply(source::PageTextRead{id, 0, layer});
  EXPECT_FALSE(app_->text_requested.contains(0));
  ASSERT_TRUE(app_->page_texts.contains(1));
  EXPECT_EQ(app_->page_texts[1]->text, "Hi");
  app_->refresh_text_layers(text_, theme_);
  EXPECT_FALSE(app_->text_requested.contains(0));  // stored: not asked again

  app_->text_requested.insert(1);
  app_->handle_reply(source::PageTextFailed{id, 1, "bad text"});
  EXPECT_FALSE(app_->text_requested.contains(1));
  EXPECT_EQ(app_->status, "Couldn’t read text on page 2: bad text");

  // Idle again: the store is emptied, and a later need asks again.
  app_->selecting_text = false;
  app_->refresh_text_layers(text_, theme_);
  EXPECT_TRUE(app_->page_texts.empty());
  app_->search_matches.push_back({1, 0, 2});
  app_->refresh_text_layers(text_, theme_);
  EXPECT_TRUE(app_->text_requested.contains(0));

  // Select and Highlight read text: the visible pages' layers are asked for
  // before the first press, and kept only while their pages are visible.
  for (const auto tool : {pdf_app::Tool::Select, pdf_app::Tool::Highlight}) {
    app_->search_matches.clear();
    app_->page_texts.clear();
    app_->text_requested.clear();
    app_->tool = tool;
    app_->refresh_text_layers(text_, theme_);
    EXPECT_TRUE(app_->text_requested.contains(0));
    app_->handle_reply(source::PageTextRead{id, 0, layer});
    app_->handle_reply(source::PageTextRead{id, 2, layer});  // page 3 lies below the view
    app_->refresh_text_layers(text_, theme_);
    EXPECT_TRUE(app_->page_texts.contains(1));
    EXPECT_FALSE(app_->page_texts.contains(3));
  }

  // A plan the worker applies drops the layers and requests of the old sequence.
  ASSERT_TRUE(app_->applied_plan);
  const auto plan = *app_->applied_plan;
  app_->text_requested.insert(0);
  app_->pending_plan = plan;
  app_->handle_reply(source::PagePlanApplied{id, plan, {}});
  EXPECT_TRUE(app_->text_requested.empty());
  EXPECT_TRUE(app_->page_texts.empty());
}

TEST(ViewerWithoutWorker, ARefusedTextRequestIsNotMarked) {
  PdfApp app(nullptr);
  app.doc.emplace();
  app.doc->raster_document = 7;
  app.request_text(0);
  EXPECT_FALSE(app.text_requested.contains(0));
  EXPECT_EQ(app.status, "PDF text worker is unavailable");
}

TEST_F(ViewerTest, RailOutcomesBecomeDispatchedPlanActions) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 3));
  frame();
  auto& doc = bound_document();
  frame(&doc);
  ASSERT_EQ(app_->plan.size(), 3u);
  // Seeding the plan went out once, as a change of its own; reading frames write nothing.
  EXPECT_EQ(services_.replicated, 1);
  ASSERT_TRUE(app_->take_action_outcome());
  const auto seeded = doc.change_count();
  frame(&doc);
  frame(&doc);
  EXPECT_EQ(doc.change_count(), seeded);
  EXPECT_FALSE(app_->take_action_outcome());
  ASSERT_TRUE(app_->panels.thumbnails_open);
  app_->rail.begin_frame(app_->regions.rail, 3, 0, 792.0 / 612);
  auto ctx = context();

  // Drag page 1 onto page 2: the shared plan is source-2, source-1, source-3, shown at once.
  app_->rail.on_press(app_->rail.thumb_rect(0).center());
  app_->rail.on_motion(app_->rail.thumb_rect(1).center());
  app_->rail.on_release(app_->rail.thumb_rect(1).center());
  app_->apply_rail_outcomes(doc, ctx);
  ASSERT_EQ(app_->plan.size(), 3u);
  EXPECT_EQ(app_->plan[0].id, "source-2");
  EXPECT_EQ(app_->plan[1].id, "source-1");
  EXPECT_EQ(services_.replicated, 2);
  const auto outcome = app_->take_action_outcome();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->kind, "pdf_viewer.action");
  EXPECT_EQ(outcome->context.label, "Move page plan");
  EXPECT_EQ(outcome->context.app_id, pdf_app::kApplicationId);
  EXPECT_FALSE(app_->take_action_outcome());  // taken once

  // A click selects the page: navigation, no action.
  app_->rail.on_press(app_->rail.thumb_rect(2).center());
  app_->rail.on_release(app_->rail.thumb_rect(2).center());
  app_->apply_rail_outcomes(doc, ctx);
  EXPECT_EQ(app_->current_page, 3u);
  EXPECT_EQ(services_.replicated, 2);
}

TEST_F(ViewerTest, AFailedDispatchChangesNothing) {
  const auto id = open("/tmp/a.pdf");
  app_->handle_reply(opened_reply(id, 2));
  frame();
  auto& doc = bound_document();
  frame(&doc);
  (void)app_->take_action_outcome();  // the plan's seeding
  const auto changes = doc.change_count();
  auto ctx = context();
  // A gesture whose last action carries text no other instance could read
  // (not UTF-8) is refused whole: the page delete before it is not applied.
  const std::vector<pdf_actions::PdfViewerAction> gesture = {
      pdf_actions::PdfViewerAction::DeletePagePlan{"source-1"},
      pdf_actions::PdfViewerAction::AddAnnotation{"a", 1, pdf_actions::AnnoGeom::Highlight{1, 2, 3, 4}, "yellow",
                                                  "\xff"}};
  EXPECT_FALSE(app_->dispatch_actions(doc, ctx, gesture));
  EXPECT_EQ(doc.change_count(), changes);
  EXPECT_FALSE(app_->take_action_outcome());
  EXPECT_EQ(app_->plan.size(), 2u);
  EXPECT_TRUE(app_->dispatch_action(doc, ctx, gesture.front()));
  EXPECT_EQ(app_->plan.size(), 1u);
}

TEST(ViewerRendering, ARenderedPageAppearsInTheFrame) {
  TempHome home;
  const auto pdf = home.dir() / "three.pdf";
  source::testing::FixtureSpec spec;
  for (int i = 0; i < 3; ++i) {
    source::testing::FixturePage page;
    for (int l = 0; l < 30; ++l) page.lines.push_back("A line of text that covers the page with ink " + std::to_string(l));
    spec.pages.push_back(page);
  }
  source::testing::write_pdf(pdf, spec);
  auto app = std::make_unique<PdfApp>();
  app->start_open(pdf.string());
  auto harness = velyn_ui::headless::FrameHarness::new_with_theme(velyn_ui::state::State(), std::move(app), 1280,
                                                                  800, velyn_ui::Theme::light());
  harness.with_records(velyn_ui::record::RecordSet::in_memory(), docstore::Document());
  ASSERT_TRUE(harness.wait_for_visuals(30, false));
  auto& viewer = static_cast<PdfApp&>(harness.widget());
  ASSERT_TRUE(viewer.document_loaded) << viewer.open_error.value_or("");
  const auto page = viewer.page_rect(0).intersect(viewer.regions.canvas);
  int inked = 0;
  for (double y = page.y0 + 10; y < page.y1 - 10; y += 2)
    for (double x = page.x0 + 10; x < page.x1 - 10; x += 2) {
      const auto c = harness.pixel(std::uint32_t(x), std::uint32_t(y));
      if (c.r < 0.6 && c.g < 0.6 && c.b < 0.6) ++inked;
    }
  EXPECT_GT(inked, 50);
}

TEST(SampleDocument, SixPagesFourteenOutlineEntriesAndDemoMarkupSeededOnce) {
  const auto sample = pdf_app::sample_document();
  EXPECT_EQ(sample.title, "Velyn Technical Overview");
  EXPECT_EQ(sample.pages.size(), 6u);
  EXPECT_EQ(sample.outline.size(), 14u);
  docstore::Document doc;
  {
    auto txn = doc.begin();
    EXPECT_TRUE(pdf_app::seed_demo_content(txn, sample));
    txn.commit();
  }
  {
    auto txn = doc.begin();
    EXPECT_FALSE(pdf_app::seed_demo_content(txn, sample));
    EXPECT_EQ(txn.pending_ops(), 0u);
  }
  const auto model = pdf_actions::read_review_model(doc);
  ASSERT_EQ(model.annotations.size(), 3u);
  EXPECT_EQ(model.annotations[2].author, "Alice");
  ASSERT_EQ(model.signatures.size(), 1u);
  EXPECT_EQ(model.signatures[0].strokes->front().size(), 64u);
  ASSERT_EQ(model.comments.size(), 3u);
  EXPECT_EQ(model.comments[0].replies.size(), 2u);
  EXPECT_EQ(model.comments[1].anno, model.annotations[0].id);
  EXPECT_TRUE(model.comments[2].resolved);
}

TEST(SampleDocument, TheSampleViewerShowsItsMarkupHeadlessly) {
  // The sample binds no record: its demo markup and plan seeding go to the
  // scratch document, which is not replicated — and not a failed dispatch.
  std::vector<velyn_actions::log::Entry> logged;
  const auto previous = velyn_actions::log::set_sink([&](const velyn_actions::log::Entry& e) { logged.push_back(e); });
  auto app = std::make_unique<PdfApp>(nullptr);
  app->open_sample();
  auto harness = velyn_ui::headless::FrameHarness::new_with_theme(velyn_ui::state::State(), std::move(app), 1280,
                                                                  800, velyn_ui::Theme::light());
  harness.with_records(velyn_ui::record::RecordSet::in_memory(), docstore::Document());
  harness.with_registry(*pdf_app::make_action_registry());
  ASSERT_TRUE(harness.wait_for_visuals(10, false));
  velyn_actions::log::set_sink(previous);
  EXPECT_TRUE(logged.empty()) << logged.front().detail;
  auto& viewer = static_cast<PdfApp&>(harness.widget());
  EXPECT_EQ(viewer.page_count(), 6u);
  EXPECT_EQ(viewer.review.annotations.size(), 3u);
  ASSERT_EQ(viewer.selected_annotations.size(), 1u);  // the demo note
  // The first highlight (page points 64, 196) is painted in the theme's yellow over white paper.
  const auto page = viewer.page_rect(0);
  const double z = viewer.viewport.zoom();
  const auto c = harness.pixel(std::uint32_t(page.x0 + 100 * z), std::uint32_t(page.y0 + 203 * z));
  EXPECT_LT(c.b, 0.9);
  EXPECT_GT(c.r, 0.9);
}

}  // namespace
