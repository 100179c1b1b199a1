// Scheduling rules of the source worker, with a scripted executor that can hold
// the worker busy: queue limits, dedup, coalescing, lane alternation, the result
// budget, reply order, closing and start failure.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "source/source_worker.h"

namespace pdf::source {
namespace {

// Records every job; blocks while the gate is closed. Renders answer with an
// image of the size the test asked for.
class ScriptedJobs final : public JobExecutor {
 public:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool gate_open = true;
    bool busy = false;
    std::vector<std::string> log;
    std::vector<ClientId> closed;
    std::uint32_t image_width = 100;
    std::uint32_t image_height = 100;
  };
  explicit ScriptedJobs(std::shared_ptr<State> state) : state_(std::move(state)) {}

  std::optional<SourceReply> execute(ClientId client, SourceRequest request) override {
    std::unique_lock lock(state_->mutex);
    state_->busy = true;
    state_->changed.notify_all();
    state_->changed.wait(lock, [&] { return state_->gate_open; });
    state_->busy = false;
    std::optional<SourceReply> reply;
    if (auto* open = std::get_if<OpenDocument>(&request)) {
      state_->log.push_back("open " + std::to_string(open->request_id));
      reply = OpenFailed{open->request_id, "scripted"};
    } else if (auto* render = std::get_if<RenderPage>(&request)) {
      state_->log.push_back("render " + std::to_string(client) + ":" + std::to_string(render->page_index) + "@" +
                            std::to_string(render->width));
      Image image{state_->image_width, state_->image_height,
                  std::make_shared<std::vector<std::uint8_t>>(std::size_t{state_->image_width} * state_->image_height * 4)};
      reply = PageRendered{render->document, render->page_index, render->width, image};
    } else if (auto* text = std::get_if<ReadPageText>(&request)) {
      state_->log.push_back("text " + std::to_string(text->page_index));
      reply = PageTextRead{text->document, text->page_index, std::make_shared<const TextLayer>()};
    } else if (std::holds_alternative<ApplyPagePlan>(request)) {
      state_->log.push_back("plan");
      reply = PagePlanFailed{0, "scripted"};
    } else if (auto* import = std::get_if<ImportFile>(&request)) {
      state_->log.push_back("import");
      reply = ImportFailed{import->request_id, "scripted"};
    } else if (std::holds_alternative<ActivateRasterDocument>(request)) {
      state_->log.push_back("activate");
    } else {
      state_->log.push_back("other");
    }
    state_->changed.notify_all();
    return reply;
  }
  void close_client(ClientId client) override {
    std::lock_guard lock(state_->mutex);
    state_->closed.push_back(client);
    state_->changed.notify_all();
  }

 private:
  std::shared_ptr<State> state_;
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = std::make_shared<ScriptedJobs::State>();
    worker_ = SourceWorker::start(std::make_unique<ScriptedJobs>(state_));
    client_ = *SourceClient::open(*worker_);
  }
  void TearDown() override {
    open_gate();
    client_.reset();
    worker_.reset();
  }

  // Submits a job and waits until the worker is stuck in it.
  void hold_worker_busy() {
    {
      std::lock_guard lock(state_->mutex);
      state_->gate_open = false;
    }
    ASSERT_TRUE(client_->submit(ActivateRasterDocument{999}));
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->busy; });
  }
  void open_gate() {
    std::lock_guard lock(state_->mutex);
    state_->gate_open = true;
    state_->changed.notify_all();
  }
  // Waits until `count` jobs ran (the log has `count` lines).
  void wait_for_jobs(std::size_t count) {
    std::unique_lock lock(state_->mutex);
    ASSERT_TRUE(state_->changed.wait_for(lock, std::chrono::seconds(20), [&] { return state_->log.size() >= count; }));
  }
  std::vector<std::string> log() {
    std::lock_guard lock(state_->mutex);
    return state_->log;
  }
  std::vector<SourceReply> poll_until(std::size_t count, SourceClient& client) {
    std::vector<SourceReply> all;
    for (int i = 0; i < 2000 && all.size() < count; ++i) {
      for (auto& r : client.poll()) all.push_back(std::move(r));
      if (all.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return all;
  }

  std::shared_ptr<ScriptedJobs::State> state_;
  std::unique_ptr<SourceWorker> worker_;
  std::shared_ptr<SourceClient> client_;
};

TEST_F(WorkerTest, ThirtyThirdRenderIsRefusedAndDuplicatesQueueOnce) {
  hold_worker_busy();
  for (std::uint64_t page = 0; page < 32; ++page) ASSERT_TRUE(client_->render(1, page, 1224)) << page;
  EXPECT_TRUE(client_->render(1, 5, 1224));  // equal to a queued one: accepted, not queued
  EXPECT_TRUE(client_->render(1, 5, 1230));  // snaps to the same 1224
  auto refused = client_->render(1, 32, 1224);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message(), "the PDF source worker queue is full");
  open_gate();
  wait_for_jobs(33);
  EXPECT_EQ(log().size(), 33u);
}

TEST_F(WorkerTest, RequestedWidthsAreSnappedOnSubmission) {
  hold_worker_busy();
  for (std::uint32_t w : {10u, 100u, 1000u, 5000u}) ASSERT_TRUE(client_->render(1, 0, w));
  open_gate();
  wait_for_jobs(4);
  const auto lines = log();
  const std::vector<std::string> expected = {"render " + std::to_string(client_->id()) + ":0@96",
                                             "render " + std::to_string(client_->id()) + ":0@984",
                                             "render " + std::to_string(client_->id()) + ":0@4096"};
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);  // 10 and 100 are one request
}

TEST_F(WorkerTest, SecondOpenSupersedesTheFirstAndDropsOnlyThisClientsLaneWork) {
  auto other = *SourceClient::open(*worker_);
  hold_worker_busy();
  ASSERT_TRUE(client_->render(1, 0, 500));
  ASSERT_TRUE(client_->read_text(1, 0));
  ASSERT_TRUE(other->render(1, 7, 500));
  auto first = client_->open_document("/a.pdf");
  auto second = client_->open_document("/b.pdf");
  ASSERT_TRUE(first && second);
  open_gate();
  wait_for_jobs(3);  // activate, the second open, the other client's render
  auto replies = poll_until(2, *client_);
  ASSERT_EQ(replies.size(), 2u);
  ASSERT_TRUE(std::holds_alternative<OpenSuperseded>(replies[0]));
  EXPECT_EQ(std::get<OpenSuperseded>(replies[0]).request_id, *first);
  EXPECT_EQ(std::get<OpenFailed>(replies[1]).request_id, *second);
  const auto lines = log();
  EXPECT_EQ(lines[1], "open " + std::to_string(*second));
  EXPECT_EQ(lines[2], "render " + std::to_string(other->id()) + ":7@480");
  EXPECT_EQ(lines.size(), 3u);
}

TEST_F(WorkerTest, LanesAlternateAndControlComesFirst) {
  hold_worker_busy();
  for (std::uint64_t p = 0; p < 3; ++p) ASSERT_TRUE(client_->render(1, p, 500));
  for (std::uint64_t p = 0; p < 3; ++p) ASSERT_TRUE(client_->read_text(1, p));
  ASSERT_TRUE(client_->activate(1));
  open_gate();
  wait_for_jobs(8);
  const std::string c = std::to_string(client_->id());
  const std::vector<std::string> expected = {"activate", "activate",        "render " + c + ":0@480", "text 0",
                                             "render " + c + ":1@480", "text 1", "render " + c + ":2@480", "text 2"};
  EXPECT_EQ(log(), expected);
}

TEST_F(WorkerTest, ResultBudgetReplacesOversizedImages) {
  struct Case {
    std::uint32_t height;
    bool delivered;
  };
  for (Case c : {Case{2100, false}, Case{2048, true}}) {
    {
      std::lock_guard lock(state_->mutex);
      state_->image_width = 4096;
      state_->image_height = c.height;
    }
    ASSERT_TRUE(client_->render(1, c.height, 4096));
    auto replies = poll_until(1, *client_);
    ASSERT_EQ(replies.size(), 1u);
    if (c.delivered) {
      EXPECT_EQ(std::get<PageRendered>(replies[0]).image->height, 2048u);
    } else {
      EXPECT_EQ(std::get<PageRenderFailed>(replies[0]).message, "the rendered page exceeds the UI result memory limit");
    }
  }
  EXPECT_EQ(worker_->result_bytes(), 0u);
}

TEST_F(WorkerTest, ResultQueueKeepsOnlyTheNewestWithinBudget) {
  {
    std::lock_guard lock(state_->mutex);
    state_->image_width = 1024;
    state_->image_height = 1024;  // 4 MiB each: 8 fit in 32 MiB
  }
  for (std::uint64_t p = 0; p < 10; ++p) ASSERT_TRUE(client_->render(1, p, 1024));
  wait_for_jobs(10);
  // The worker delivers a reply before it takes its next job: holding it busy
  // again proves the tenth result is in the queue.
  hold_worker_busy();
  auto replies = client_->poll();
  ASSERT_EQ(replies.size(), 8u);
  EXPECT_EQ(std::get<PageRendered>(replies.front()).page_index, 2u);
  EXPECT_EQ(std::get<PageRendered>(replies.back()).page_index, 9u);
}

TEST_F(WorkerTest, OrdinaryRepliesComeBeforeLargeOnes) {
  ASSERT_TRUE(client_->read_text(1, 3));
  wait_for_jobs(1);
  ASSERT_TRUE(client_->submit(ImportFile{1, 9, "/i.pdf", 1, std::nullopt}));
  wait_for_jobs(2);
  hold_worker_busy();  // both replies are delivered once the worker takes a new job
  auto replies = client_->poll();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_TRUE(std::holds_alternative<ImportFailed>(replies[0]));
  EXPECT_TRUE(std::holds_alternative<PageTextRead>(replies[1]));
}

TEST_F(WorkerTest, ReplyBacklogRefusesOpensButNotRenders) {
  for (int i = 0; i < 62; ++i) {
    ASSERT_TRUE(client_->open_document("/x.pdf"));
    wait_for_jobs(static_cast<std::size_t>(i + 1));
  }
  for (int i = 0; i < 200 && worker_->waiting_ordinary_replies(client_->id()) < 62; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(worker_->waiting_ordinary_replies(client_->id()), 62u);
  auto refused = client_->open_document("/y.pdf");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message(), "the PDF source worker queue is full");
  EXPECT_FALSE(client_->submit(ImportFile{1, 1, "/i.pdf", 1, std::nullopt}));
  EXPECT_TRUE(client_->render(1, 0, 500));
}

TEST_F(WorkerTest, ClosingWithdrawsWorkAndStopsTheClient) {
  hold_worker_busy();
  ASSERT_TRUE(client_->render(1, 0, 500));
  ASSERT_TRUE(client_->open_document("/x.pdf"));
  const ClientId id = client_->id();
  client_->close();
  auto refused = client_->render(1, 1, 500);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message(), "the PDF source worker has stopped");
  open_gate();
  {
    std::unique_lock lock(state_->mutex);
    ASSERT_TRUE(state_->changed.wait_for(lock, std::chrono::seconds(20), [&] { return !state_->closed.empty(); }));
    EXPECT_EQ(state_->closed, std::vector<ClientId>{id});
    EXPECT_EQ(state_->log, std::vector<std::string>{"activate"});
  }
  EXPECT_TRUE(client_->poll().empty());
}

// The UI thread sleeps until woken: each reply must wake it once it can be
// polled, and a closed client must wake nobody.
TEST_F(WorkerTest, ReplyNotifierRunsOnceTheReplyCanBePolledAndStopsAtClose) {
  std::mutex mutex;
  std::condition_variable woken;
  std::vector<std::size_t> polled_at_wake;
  client_->set_reply_notifier([&] {
    auto replies = client_->poll();  // called unlocked: polling from inside is allowed
    std::lock_guard lock(mutex);
    polled_at_wake.push_back(replies.size());
    woken.notify_all();
  });
  ASSERT_TRUE(client_->render(1, 0, 500));
  ASSERT_TRUE(client_->read_text(1, 0));
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(20), [&] { return polled_at_wake.size() == 2; }));
    EXPECT_EQ(polled_at_wake, (std::vector<std::size_t>{1, 1}));
  }

  hold_worker_busy();
  ASSERT_TRUE(client_->render(1, 1, 500));
  client_->close();
  open_gate();
  EXPECT_TRUE(worker_->wait_for_released_clients(std::chrono::seconds(20)));
  {
    std::lock_guard lock(state_->mutex);
    EXPECT_EQ(state_->closed, std::vector<ClientId>{client_->id()});
  }
  std::lock_guard lock(mutex);
  EXPECT_EQ(polled_at_wake.size(), 2u);
}

// A page rendered for the old sequence must not be taken for the page that
// holds its position once the new plan is applied.
TEST_F(WorkerTest, ApplyingAPlanWithdrawsPageResultsOfTheOldSequence) {
  ASSERT_TRUE(client_->render(1, 0, 500));
  wait_for_jobs(1);  // rendered, waiting to be collected
  ASSERT_TRUE(client_->apply_plan(1, {PlanEntry{"page-b", 2, std::nullopt}, PlanEntry{"page-a", 1, std::nullopt}}));
  wait_for_jobs(2);
  const auto replies = poll_until(1, *client_);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(std::holds_alternative<PagePlanFailed>(replies[0]));
  EXPECT_EQ(worker_->result_bytes(), 0u);
}

TEST_F(WorkerTest, DroppingTheLastReferenceClosesTheClient) {
  auto other = *SourceClient::open(*worker_);
  const ClientId id = other->id();
  other.reset();
  std::unique_lock lock(state_->mutex);
  ASSERT_TRUE(state_->changed.wait_for(lock, std::chrono::seconds(20), [&] { return !state_->closed.empty(); }));
  EXPECT_EQ(state_->closed, std::vector<ClientId>{id});
}

TEST(WorkerStart, ThreadStartFailureMakesEverySubmissionUnavailable) {
  auto state = std::make_shared<ScriptedJobs::State>();
  auto worker = SourceWorker::start(std::make_unique<ScriptedJobs>(state), [](std::function<void()>) {
    return std::expected<std::thread, std::string>(std::unexpect, "Resource temporarily unavailable");
  });
  auto client = *SourceClient::open(*worker);
  auto refused = client->render(1, 0, 500);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message(), "the PDF source worker is unavailable: Resource temporarily unavailable");
  EXPECT_FALSE(client->open_document("/x.pdf"));
}

TEST(IdCounters, ExhaustionIsAnError) {
  set_next_request_id_for_testing(std::numeric_limits<std::uint64_t>::max() - 1);
  auto last = allocate_request_id();
  ASSERT_TRUE(last);
  EXPECT_EQ(*last, std::numeric_limits<std::uint64_t>::max() - 1);
  auto exhausted = allocate_request_id();
  ASSERT_FALSE(exhausted);
  EXPECT_EQ(exhausted.error().message(), "the PDF source worker has exhausted request ids");
  set_next_request_id_for_testing(1000);
}

}  // namespace
}  // namespace pdf::source
