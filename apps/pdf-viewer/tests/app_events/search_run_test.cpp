// Searching a PDF whose text layers arrive one by one from a busy worker:
// results merge in page order, the current match stays put, the store keeps
// its layers while the search needs them, and a full text lane is no error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "app/pdf_app.h"
#include "app/search_run.h"
#include "source/source_worker.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace {

namespace source = pdf::source;
using pdf_app::PdfApp;

// A worker that holds every job until released: its lanes fill up.
class GatedJobs final : public source::JobExecutor {
 public:
  struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
  };
  explicit GatedJobs(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
  std::optional<source::SourceReply> execute(source::ClientId, source::SourceRequest) override {
    std::unique_lock lock(gate_->mutex);
    gate_->cv.wait(lock, [&] { return gate_->open; });
    return std::nullopt;
  }
  void close_client(source::ClientId) override {}

 private:
  std::shared_ptr<Gate> gate_;
};

source::SharedTextLayer layer_of(std::string_view text) {
  auto layer = std::make_shared<source::TextLayer>();
  double x = 50;
  for (char c : text) {
    layer->boxes.push_back({x, 100, 6, 10, layer->text.size(), std::uint32_t(c)});
    layer->text.push_back(c);
    x += 6;
  }
  return layer;
}

class SearchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto dir = std::filesystem::temp_directory_path() / ("pdf-viewer-search-" + std::to_string(::getpid()));
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    worker_ = source::SourceWorker::start(std::make_unique<GatedJobs>(gate_));
    app_ = std::make_unique<PdfApp>(*source::SourceClient::open(*worker_));
    app_->start_open("/tmp/long.pdf");
    source::Opened o;
    o.request_id = app_->pending_open->request_id;
    o.opened.document = source::Document::blank_pages("T", "", kPages, 612, 792);
    o.opened.file_name = "long.pdf";
    o.opened.raster_document = 7;
    o.opened.page_sizes.assign(kPages, source::PageSize{612, 792});
    app_->handle_reply(std::move(o));
    velyn_ui::FrameContext ctx{text_, theme_, 1, nullptr};
    app_->layout({0, 0, 1280, 800}, ctx);
  }
  void TearDown() override {
    {
      std::lock_guard lock(gate_->mutex);
      gate_->open = true;
    }
    gate_->cv.notify_all();
    app_.reset();
    worker_.reset();
  }
  void arrive(std::uint64_t page, std::string_view text) {
    app_->handle_reply(source::PageTextRead{7, page - 1, layer_of(text)});
  }

  static constexpr std::size_t kPages = 80;
  std::shared_ptr<GatedJobs::Gate> gate_ = std::make_shared<GatedJobs::Gate>();
  std::unique_ptr<source::SourceWorker> worker_;
  std::unique_ptr<PdfApp> app_;
  velyn_ui::TextRenderer text_;
  velyn_ui::Theme theme_ = velyn_ui::Theme::light();
};

TEST_F(SearchRunTest, LayersMergeInPageOrderAndTheCurrentMatchStays) {
  pdf_app::open_search(*app_);
  app_->search.field.set_text("needle");
  pdf_app::run_search(*app_);
  // The lane took what it holds; the rest waits without an error.
  EXPECT_FALSE(app_->status);
  EXPECT_TRUE(app_->text_lane_full);
  EXPECT_LT(app_->text_requested.size(), kPages);
  EXPECT_GE(app_->text_requested.size(), source::kQueueCapacity);

  arrive(40, "a needle here");
  ASSERT_EQ(app_->search_matches.size(), 1u);
  EXPECT_EQ(app_->current_page, 40u);  // the first result shows its page
  arrive(3, "needle and needle");
  ASSERT_EQ(app_->search_matches.size(), 3u);
  EXPECT_EQ(app_->search_matches[0].page, 3u);
  EXPECT_EQ(app_->search_matches[0].first, 0u);
  EXPECT_EQ(app_->search_matches[1].first, 11u);
  EXPECT_EQ(app_->search.current, 2u);  // still the match on page 40
  EXPECT_EQ(app_->current_page, 40u);
  // A layer that arrives again is not counted twice.
  arrive(3, "needle and needle");
  EXPECT_EQ(app_->search_matches.size(), 3u);
  EXPECT_EQ(pdf_app::search_count_text(*app_, false), "3 of 3 matches");
  EXPECT_FALSE(app_->status);
}

TEST_F(SearchRunTest, AnOpenSearchKeepsLayersWithoutMatchesAndClosingDropsThem) {
  pdf_app::open_search(*app_);
  app_->search.field.set_text("rare");
  pdf_app::run_search(*app_);
  for (std::uint64_t p = 1; p <= 5; ++p) arrive(p, "nothing to see");
  EXPECT_TRUE(app_->search_matches.empty());
  app_->refresh_text_layers(text_, theme_);  // what every frame does
  EXPECT_EQ(app_->page_texts.size(), 5u);
  // Layers already matched are not asked for again.
  for (std::uint64_t p = 0; p < 5; ++p) EXPECT_FALSE(app_->text_requested.contains(p));
  app_->tool = pdf_app::Tool::Draw;  // a tool that reads no text keeps none once the search closes
  pdf_app::close_search(*app_);
  app_->refresh_text_layers(text_, theme_);
  EXPECT_TRUE(app_->page_texts.empty());
}

TEST_F(SearchRunTest, MoreThanFiveHundredHitsKeepTheFirstFiveHundred) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "ab ";
  pdf_app::open_search(*app_);
  app_->search.field.set_text("ab");
  pdf_app::run_search(*app_);
  arrive(9, text);
  arrive(2, text);
  ASSERT_EQ(app_->search_matches.size(), source::kMaxMatches);
  EXPECT_EQ(app_->search_matches.front().page, 2u);
  EXPECT_EQ(app_->search_matches.back().page, 9u);
  EXPECT_TRUE(std::is_sorted(app_->search_matches.begin(), app_->search_matches.end(), [](const auto& a, const auto& b) {
    return a.page != b.page ? a.page < b.page : a.first < b.first;
  }));
}

}  // namespace
