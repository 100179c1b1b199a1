#include "source/source_worker.h"

#include <pthread.h>

#include <algorithm>
#include <limits>
#include <system_error>

#include "velyn/try.h"

namespace pdf::source {
namespace {

constexpr std::uint64_t kExhaustedId = std::numeric_limits<std::uint64_t>::max();

std::atomic<std::uint64_t> next_client_id{1};
std::atomic<std::uint64_t> next_request_id{1};

std::expected<std::uint64_t, SourceWorkerError> allocate(std::atomic<std::uint64_t>& counter) {
  std::uint64_t current = counter.load();
  do {
    if (current == kExhaustedId) return std::unexpected(SourceWorkerError{SourceWorkerError::Kind::ExhaustedIds, {}});
  } while (!counter.compare_exchange_weak(current, current + 1));
  return current;
}

SourceWorkerError queue_full() { return SourceWorkerError{SourceWorkerError::Kind::QueueFull, {}}; }
SourceWorkerError stopped() { return SourceWorkerError{SourceWorkerError::Kind::Stopped, {}}; }

struct QueuedRequest {
  ClientId client = 0;
  SourceRequest request;
};

// One coalescing slot: the single pending request per client, and the clients
// in the order their pending request arrived.
struct CoalescingSlot {
  std::map<ClientId, SourceRequest> pending;
  std::deque<ClientId> order;

  // Stores `request`, returning the one it replaced, if any.
  std::optional<SourceRequest> store(ClientId client, SourceRequest request) {
    auto it = pending.find(client);
    if (it == pending.end()) {
      pending.emplace(client, std::move(request));
      order.push_back(client);
      return std::nullopt;
    }
    SourceRequest old = std::move(it->second);
    it->second = std::move(request);
    return old;
  }
  void discard(ClientId client) {
    if (pending.erase(client) == 0) return;
    order.erase(std::remove(order.begin(), order.end(), client), order.end());
  }
  std::optional<QueuedRequest> take_first() {
    if (order.empty()) return std::nullopt;
    ClientId client = order.front();
    order.pop_front();
    auto it = pending.find(client);
    QueuedRequest job{client, std::move(it->second)};
    pending.erase(it);
    return job;
  }
};

struct TaggedReply {
  ClientId client = 0;
  SourceReply reply;
  std::uint64_t cost = 0;
};

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

// Whether two large replies answer the same page (images: same width too).
bool same_page_result(const SourceReply& a, const SourceReply& b) {
  auto image_key = [](const SourceReply& r) -> std::optional<std::tuple<RasterDocumentId, std::uint64_t, std::uint32_t>> {
    if (auto* x = std::get_if<PageRendered>(&r)) return std::tuple{x->document, x->page_index, x->width};
    if (auto* x = std::get_if<PageRenderFailed>(&r)) return std::tuple{x->document, x->page_index, x->width};
    return std::nullopt;
  };
  auto text_key = [](const SourceReply& r) -> std::optional<std::pair<RasterDocumentId, std::uint64_t>> {
    if (auto* x = std::get_if<PageTextRead>(&r)) return std::pair{x->document, x->page_index};
    if (auto* x = std::get_if<PageTextFailed>(&r)) return std::pair{x->document, x->page_index};
    return std::nullopt;
  };
  if (auto ka = image_key(a)) return ka == image_key(b);
  if (auto ka = text_key(a)) return ka == text_key(b);
  return false;
}

template <class Queue>
void remove_client(Queue& queue, ClientId client) {
  queue.erase(std::remove_if(queue.begin(), queue.end(), [client](const auto& e) { return e.client == client; }),
              queue.end());
}

}  // namespace

std::expected<ClientId, SourceWorkerError> allocate_client_id() { return allocate(next_client_id); }
std::expected<RequestId, SourceWorkerError> allocate_request_id() { return allocate(next_request_id); }
void set_next_request_id_for_testing(std::uint64_t value) { next_request_id.store(value); }
void set_next_client_id_for_testing(std::uint64_t value) { next_client_id.store(value); }

ThreadStarter default_thread_starter() {
  return [](std::function<void()> body) -> std::expected<std::thread, std::string> {
    try {
      return std::thread(std::move(body));
    } catch (const std::system_error& e) {
      return std::unexpected(e.code().message());
    }
  };
}

struct SourceWorker::Shared {
  mutable std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable released;  // a closed client's release finished
  std::optional<std::string> failure;
  std::deque<QueuedRequest> control;
  std::deque<QueuedRequest> render_lane;
  std::deque<QueuedRequest> text_lane;
  CoalescingSlot open_slot;
  CoalescingSlot plan_slot;
  CoalescingSlot save_slot;
  CoalescingSlot import_slot;
  std::deque<ClientId> close_list;
  std::set<ClientId> closing;
  std::map<ClientId, std::function<void()>> notifiers;
  std::deque<TaggedReply> replies;
  std::deque<TaggedReply> results;
  std::uint64_t result_bytes = 0;
  bool lane_toggle = false;  // false: render lane first
  bool stop = false;         // private workers only

  std::size_t ordinary_waiting(ClientId client) const {
    return static_cast<std::size_t>(
        std::count_if(replies.begin(), replies.end(), [client](const TaggedReply& r) { return r.client == client; }));
  }
  void drop_lanes(ClientId client) {
    remove_client(render_lane, client);
    remove_client(text_lane, client);
  }
};

struct SourceWorker::Job {
  ClientId client = 0;
  std::optional<SourceRequest> request;  // nothing: release the closed client
};

SourceWorker::SourceWorker(std::unique_ptr<JobExecutor> executor)
    : executor_(std::move(executor)), shared_(std::make_unique<Shared>()) {}

SourceWorker::~SourceWorker() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
  }
  shared_->wake.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::unique_ptr<SourceWorker> SourceWorker::start(std::unique_ptr<JobExecutor> executor, ThreadStarter starter) {
  std::unique_ptr<SourceWorker> worker(new SourceWorker(std::move(executor)));
  SourceWorker* self = worker.get();
  auto thread = starter([self] {
    pthread_setname_np(pthread_self(), "pdf-source");
    self->run();
  });
  if (thread) {
    worker->thread_ = std::move(*thread);
  } else {
    worker->shared_->failure = thread.error();
  }
  return worker;
}

std::optional<std::string> SourceWorker::failure() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->failure;
}

std::expected<void, SourceWorkerError> SourceWorker::submit(ClientId client, SourceRequest request) {
  {
    std::lock_guard lock(shared_->mutex);
    Shared& s = *shared_;
    if (s.failure) return std::unexpected(SourceWorkerError{SourceWorkerError::Kind::Unavailable, *s.failure});
    if (s.closing.contains(client)) return std::unexpected(stopped());

    if (std::holds_alternative<OpenDocument>(request)) {
      if (s.ordinary_waiting(client) >= kReplyBacklogLimit) return std::unexpected(queue_full());
      if (auto replaced = s.open_slot.store(client, std::move(request))) {
        s.replies.push_back(TaggedReply{client, OpenSuperseded{std::get<OpenDocument>(*replaced).request_id}, 0});
      }
      s.drop_lanes(client);
      s.plan_slot.discard(client);
    } else if (std::holds_alternative<ActivateRasterDocument>(request) ||
               std::holds_alternative<ReleaseRasterDocument>(request) || std::holds_alternative<CommitSave>(request)) {
      if (s.control.size() >= kQueueCapacity) return std::unexpected(queue_full());
      s.control.push_back(QueuedRequest{client, std::move(request)});
    } else if (auto* cancel = std::get_if<CancelSave>(&request)) {
      if (auto it = s.save_slot.pending.find(client); it != s.save_slot.pending.end()) {
        if (std::get<PrepareSave>(it->second).save.save_id == cancel->save.save_id) s.save_slot.discard(client);
      }
      if (s.control.size() >= kQueueCapacity) return std::unexpected(queue_full());
      s.control.push_back(QueuedRequest{client, std::move(request)});
    } else if (auto* render = std::get_if<RenderPage>(&request)) {
      render->width = snap_width(render->width);
      const bool queued = std::any_of(s.render_lane.begin(), s.render_lane.end(), [&](const QueuedRequest& q) {
        const auto& r = std::get<RenderPage>(q.request);
        return q.client == client && r.document == render->document && r.page_index == render->page_index &&
               r.width == render->width;
      });
      if (!queued) {
        if (s.render_lane.size() >= kQueueCapacity) return std::unexpected(queue_full());
        s.render_lane.push_back(QueuedRequest{client, std::move(request)});
      }
    } else if (auto* text = std::get_if<ReadPageText>(&request)) {
      const bool queued = std::any_of(s.text_lane.begin(), s.text_lane.end(), [&](const QueuedRequest& q) {
        const auto& r = std::get<ReadPageText>(q.request);
        return q.client == client && r.document == text->document && r.page_index == text->page_index;
      });
      if (!queued) {
        if (s.text_lane.size() >= kQueueCapacity) return std::unexpected(queue_full());
        s.text_lane.push_back(QueuedRequest{client, std::move(request)});
      }
    } else if (std::holds_alternative<ApplyPagePlan>(request)) {
      s.plan_slot.store(client, std::move(request));
      s.drop_lanes(client);
    } else if (std::holds_alternative<PrepareSave>(request)) {
      if (s.ordinary_waiting(client) >= kReplyBacklogLimit) return std::unexpected(queue_full());
      s.save_slot.store(client, std::move(request));
    } else if (std::holds_alternative<ImportFile>(request)) {
      if (s.ordinary_waiting(client) >= kReplyBacklogLimit) return std::unexpected(queue_full());
      s.import_slot.store(client, std::move(request));
    } else if (std::holds_alternative<Close>(request)) {
      // Closing goes through close(), which also withdraws queued work.
    }
  }
  if (std::holds_alternative<Close>(request)) {
    close(client);
    return {};
  }
  shared_->wake.notify_one();
  return {};
}

std::vector<SourceReply> SourceWorker::poll(ClientId client) {
  std::vector<SourceReply> out;
  {
    std::lock_guard lock(shared_->mutex);
    Shared& s = *shared_;
    auto move_out = [&](std::deque<TaggedReply>& queue) {
      std::deque<TaggedReply> kept;
      for (TaggedReply& r : queue) {
        if (r.client == client) {
          out.push_back(std::move(r.reply));
        } else {
          kept.push_back(std::move(r));
        }
      }
      queue = std::move(kept);
    };
    move_out(s.replies);
    move_out(s.results);
    s.result_bytes = 0;
    for (const TaggedReply& r : s.results) s.result_bytes = saturating_add(s.result_bytes, r.cost);
  }
  shared_->wake.notify_all();
  return out;
}

void SourceWorker::close(ClientId client) {
  {
    std::lock_guard lock(shared_->mutex);
    Shared& s = *shared_;
    if (s.closing.contains(client)) return;
    s.closing.insert(client);
    s.open_slot.discard(client);
    s.plan_slot.discard(client);
    s.save_slot.discard(client);
    s.import_slot.discard(client);
    remove_client(s.control, client);
    s.drop_lanes(client);
    remove_client(s.replies, client);
    remove_client(s.results, client);
    s.result_bytes = 0;
    for (const TaggedReply& r : s.results) s.result_bytes = saturating_add(s.result_bytes, r.cost);
    s.close_list.push_back(client);
    s.notifiers.erase(client);
  }
  shared_->wake.notify_one();
}

void SourceWorker::set_reply_notifier(ClientId client, std::function<void()> notify) {
  std::lock_guard lock(shared_->mutex);
  if (shared_->closing.contains(client)) return;
  shared_->notifiers[client] = std::move(notify);
}

bool SourceWorker::wait_for_released_clients(std::chrono::milliseconds timeout) {
  std::unique_lock lock(shared_->mutex);
  return shared_->released.wait_for(lock, timeout, [this] {
    return shared_->closing.empty() || shared_->stop || shared_->failure.has_value();
  });
}

std::size_t SourceWorker::waiting_ordinary_replies(ClientId client) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->ordinary_waiting(client);
}

std::uint64_t SourceWorker::result_bytes() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->result_bytes;
}

std::optional<SourceWorker::Job> SourceWorker::take_job_locked() {
  Shared& s = *shared_;
  if (!s.close_list.empty()) {
    ClientId client = s.close_list.front();
    s.close_list.pop_front();
    return Job{client, std::nullopt};
  }
  if (!s.control.empty()) {
    QueuedRequest q = std::move(s.control.front());
    s.control.pop_front();
    return Job{q.client, std::move(q.request)};
  }
  for (CoalescingSlot* slot : {&s.open_slot, &s.plan_slot, &s.save_slot, &s.import_slot}) {
    if (auto q = slot->take_first()) return Job{q->client, std::move(q->request)};
  }
  std::deque<QueuedRequest>* first = s.lane_toggle ? &s.text_lane : &s.render_lane;
  std::deque<QueuedRequest>* second = s.lane_toggle ? &s.render_lane : &s.text_lane;
  for (std::deque<QueuedRequest>* lane : {first, second}) {
    if (lane->empty()) continue;
    QueuedRequest q = std::move(lane->front());
    lane->pop_front();
    s.lane_toggle = !s.lane_toggle;
    return Job{q.client, std::move(q.request)};
  }
  return std::nullopt;
}

void SourceWorker::run() {
  for (;;) {
    std::optional<Job> job;
    {
      std::unique_lock lock(shared_->mutex);
      for (;;) {
        if (shared_->stop) return;
        job = take_job_locked();
        if (job) break;
        shared_->wake.wait(lock);
      }
    }
    if (!job->request) {
      executor_->close_client(job->client);
      {
        std::lock_guard lock(shared_->mutex);
        shared_->closing.erase(job->client);
      }
      shared_->released.notify_all();
      continue;
    }
    if (std::holds_alternative<ApplyPagePlan>(*job->request)) {
      // Pages rendered or read for the old sequence and not yet collected
      // name positions that are about to mean other pages: withdraw them.
      std::lock_guard lock(shared_->mutex);
      remove_client(shared_->results, job->client);
      shared_->result_bytes = 0;
      for (const TaggedReply& r : shared_->results) shared_->result_bytes = saturating_add(shared_->result_bytes, r.cost);
    }
    std::optional<SourceReply> reply = executor_->execute(job->client, std::move(*job->request));
    if (!reply) continue;
    // The client learns of its reply after the lock is released, so that its
    // notifier may poll at once.
    if (auto notify = deliver(job->client, std::move(*reply))) (*notify)();
  }
}

std::optional<std::function<void()>> SourceWorker::deliver(ClientId client, SourceReply reply) {
  std::lock_guard lock(shared_->mutex);
  Shared& s = *shared_;
  // A closing client collects nothing; large results for it would only sit in
  // the bounded queue, so they are dropped like ordinary ones.
  if (s.closing.contains(client)) return std::nullopt;
  std::optional<std::function<void()>> notify;
  if (const auto it = s.notifiers.find(client); it != s.notifiers.end() && it->second) notify = it->second;
  if (!is_large_reply(reply)) {
    s.replies.push_back(TaggedReply{client, std::move(reply), 0});
    return notify;
  }
  std::uint64_t cost = reply_cost(reply);
  if (cost > kResultMemoryLimit) {
    if (auto* image = std::get_if<PageRendered>(&reply)) {
      reply = PageRenderFailed{image->document, image->page_index, image->width, kImageTooLargeText};
    } else if (auto* text = std::get_if<PageTextRead>(&reply)) {
      reply = PageTextFailed{text->document, text->page_index, kTextTooLargeText};
    }
    cost = 0;
  }
  for (auto it = s.results.begin(); it != s.results.end();) {
    if (it->client == client && same_page_result(it->reply, reply)) {
      s.result_bytes -= std::min(s.result_bytes, it->cost);
      it = s.results.erase(it);
    } else {
      ++it;
    }
  }
  while (s.results.size() >= kResultQueueEntries ||
         (!s.results.empty() && saturating_add(s.result_bytes, cost) > kResultMemoryLimit)) {
    s.result_bytes -= std::min(s.result_bytes, s.results.front().cost);
    s.results.pop_front();
  }
  s.results.push_back(TaggedReply{client, std::move(reply), cost});
  s.result_bytes = saturating_add(s.result_bytes, cost);
  return notify;
}

// ---- clients ------------------------------------------------------------------

std::expected<std::shared_ptr<SourceClient>, SourceWorkerError> SourceClient::open() {
  return open(SourceWorker::get());
}

std::expected<std::shared_ptr<SourceClient>, SourceWorkerError> SourceClient::open(SourceWorker& worker) {
  const ClientId id = VELYN_TRY(allocate_client_id());
  return std::shared_ptr<SourceClient>(new SourceClient(worker, id));
}

SourceClient::~SourceClient() { close(); }

void SourceClient::close() {
  if (closed_.exchange(true)) return;
  worker_.close(id_);
}

std::expected<void, SourceWorkerError> SourceClient::submit(SourceRequest request) {
  if (closed_.load()) return std::unexpected(stopped());
  if (std::holds_alternative<Close>(request)) {
    close();
    return {};
  }
  return worker_.submit(id_, std::move(request));
}

std::vector<SourceReply> SourceClient::poll() { return worker_.poll(id_); }

void SourceClient::set_reply_notifier(std::function<void()> notify) {
  if (!closed_.load()) worker_.set_reply_notifier(id_, std::move(notify));
}

std::expected<RequestId, SourceWorkerError> SourceClient::open_document(std::filesystem::path path) {
  const RequestId id = VELYN_TRY(allocate_request_id());
  VELYN_TRY_VOID(submit(OpenDocument{std::move(path), id}));
  return id;
}

std::expected<void, SourceWorkerError> SourceClient::activate(RasterDocumentId document) {
  return submit(ActivateRasterDocument{document});
}
std::expected<void, SourceWorkerError> SourceClient::release(RasterDocumentId document) {
  return submit(ReleaseRasterDocument{document});
}
std::expected<void, SourceWorkerError> SourceClient::render(RasterDocumentId document, std::uint64_t page_index,
                                                            std::uint32_t width) {
  return submit(RenderPage{document, page_index, width});
}
std::expected<void, SourceWorkerError> SourceClient::read_text(RasterDocumentId document, std::uint64_t page_index) {
  return submit(ReadPageText{document, page_index});
}
std::expected<void, SourceWorkerError> SourceClient::apply_plan(RasterDocumentId document,
                                                                std::vector<PlanEntry> plan) {
  return submit(ApplyPagePlan{document, std::move(plan)});
}
std::expected<void, SourceWorkerError> SourceClient::prepare_save(SaveRequest save) {
  return submit(PrepareSave{std::move(save)});
}
std::expected<void, SourceWorkerError> SourceClient::commit_save(SaveRequest save, std::filesystem::path private_file) {
  return submit(CommitSave{std::move(save), std::move(private_file)});
}
std::expected<void, SourceWorkerError> SourceClient::cancel_save(SaveRequest save) {
  return submit(CancelSave{std::move(save)});
}
std::expected<RequestId, SourceWorkerError> SourceClient::import_file(RasterDocumentId document,
                                                                      std::filesystem::path path,
                                                                      std::uint64_t current_page,
                                                                      std::optional<std::string> anchor_id) {
  const RequestId id = VELYN_TRY(allocate_request_id());
  VELYN_TRY_VOID(submit(ImportFile{document, id, std::move(path), current_page, std::move(anchor_id)}));
  return id;
}

}  // namespace pdf::source
