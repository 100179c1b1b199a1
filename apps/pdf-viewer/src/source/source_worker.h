#pragma once
// The "pdf-source" worker: one background thread that runs every PDF job, and
// the clients through which viewers talk to it.
//
// Invariants (all under the one mutex):
// - the control queue and both lanes hold at most kQueueCapacity requests;
// - each coalescing slot holds at most one pending request per client, and its
//   id list names each client with a pending request exactly once, in order;
// - a client id in the closing set has no queued work and no waiting replies,
//   and ordinary replies produced for it are dropped;
// - the result queue holds at most kResultQueueEntries entries whose summed
//   cost (result_bytes) is at most kResultMemoryLimit.
// The mutex is held only for queue operations, never while a job runs.
// States of a client: open -> closing (closed flag, id in the closing set,
// queued on the close list) -> gone (the worker released its documents).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "source/source_protocol.h"

namespace pdf::source {

inline constexpr std::size_t kQueueCapacity = 32;            // control queue and each lane
inline constexpr std::size_t kReplyBacklogLimit = 62;        // ordinary replies refusing open/save/import
inline constexpr std::size_t kResultQueueEntries = 64;
inline constexpr std::uint64_t kResultMemoryLimit = 32ull * 1024 * 1024;  // one reply and the queue's sum

// Process-wide id counters, starting at 1; the all-ones value is never issued.
std::expected<ClientId, SourceWorkerError> allocate_client_id();
std::expected<RequestId, SourceWorkerError> allocate_request_id();

// Test access to the counters (to reach exhaustion without 2^64 calls).
void set_next_request_id_for_testing(std::uint64_t value);
void set_next_client_id_for_testing(std::uint64_t value);

// Runs the jobs the worker picks. Worker thread only. The default one (make_pdf_jobs
// in source_jobs.h) owns every open document and prepared save.
class JobExecutor {
 public:
  virtual ~JobExecutor() = default;
  // Executes one request for `client`; nothing for requests without a reply.
  virtual std::optional<SourceReply> execute(ClientId client, SourceRequest request) = 0;
  // Releases everything the client owns in the worker.
  virtual void close_client(ClientId client) = 0;
};

// Starts a thread running `body`; an error text when the system refused.
using ThreadStarter = std::function<std::expected<std::thread, std::string>(std::function<void()> body)>;
ThreadStarter default_thread_starter();

class SourceWorker {
 public:
  // The process-wide worker, created with its thread on the first call and
  // never destroyed. Never fails: a thread start failure is kept as failure().
  static SourceWorker& get();

  // A private worker for tests: its own thread, stopped and joined on
  // destruction (the process-wide one never stops).
  static std::unique_ptr<SourceWorker> start(std::unique_ptr<JobExecutor> executor,
                                             ThreadStarter starter = default_thread_starter());
  ~SourceWorker();
  SourceWorker(const SourceWorker&) = delete;
  SourceWorker& operator=(const SourceWorker&) = delete;

  std::optional<std::string> failure() const;

  // Never blocks beyond the mutex; never waits for a job.
  std::expected<void, SourceWorkerError> submit(ClientId client, SourceRequest request);
  // Ordinary replies of the client in arrival order, then its large replies.
  std::vector<SourceReply> poll(ClientId client);
  // Withdraws the client's work and replies and queues its release.
  void close(ClientId client);
  // `notify` runs on the worker thread, without the lock held, each time a
  // reply for the client has been queued: the UI thread's way to be woken
  // instead of polling. Dropped when the client closes.
  void set_reply_notifier(ClientId client, std::function<void()> notify);
  // Waits until every closed client has been released (its documents and
  // prepared saves, with their private directories, are gone), at most
  // `timeout`; false when the time ran out. Called before the process exits.
  bool wait_for_released_clients(std::chrono::milliseconds timeout);

  // Observers for tests and diagnostics.
  std::size_t waiting_ordinary_replies(ClientId client) const;
  std::uint64_t result_bytes() const;

 private:
  explicit SourceWorker(std::unique_ptr<JobExecutor> executor);
  struct Shared;
  struct Job;
  void run();
  std::optional<Job> take_job_locked();
  // Queues the reply; returns the client's notifier to call once unlocked.
  std::optional<std::function<void()>> deliver(ClientId client, SourceReply reply);

  std::unique_ptr<JobExecutor> executor_;
  std::unique_ptr<Shared> shared_;
  std::thread thread_;
};

// One viewer's handle on a worker. Shared; closed when the last reference goes.
class SourceClient {
 public:
  // A client of the process-wide worker; fails only when client ids are exhausted.
  static std::expected<std::shared_ptr<SourceClient>, SourceWorkerError> open();
  // A client of a given worker (tests). The worker must outlive the client.
  static std::expected<std::shared_ptr<SourceClient>, SourceWorkerError> open(SourceWorker& worker);

  ~SourceClient();
  SourceClient(const SourceClient&) = delete;
  SourceClient& operator=(const SourceClient&) = delete;

  ClientId id() const { return id_; }

  std::expected<void, SourceWorkerError> submit(SourceRequest request);
  std::vector<SourceReply> poll();
  // See SourceWorker::set_reply_notifier.
  void set_reply_notifier(std::function<void()> notify);
  // Idempotent; later submissions fail with Stopped.
  void close();

  // Request helpers. Open and import allocate their request id and return it;
  // the others return success or the submission error.
  std::expected<RequestId, SourceWorkerError> open_document(std::filesystem::path path);
  std::expected<void, SourceWorkerError> activate(RasterDocumentId document);
  std::expected<void, SourceWorkerError> release(RasterDocumentId document);
  std::expected<void, SourceWorkerError> render(RasterDocumentId document, std::uint64_t page_index,
                                                std::uint32_t width);
  std::expected<void, SourceWorkerError> read_text(RasterDocumentId document, std::uint64_t page_index);
  std::expected<void, SourceWorkerError> apply_plan(RasterDocumentId document, std::vector<PlanEntry> plan);
  // The save id inside `save` is allocated by the caller (allocate_request_id).
  std::expected<void, SourceWorkerError> prepare_save(SaveRequest save);
  std::expected<void, SourceWorkerError> commit_save(SaveRequest save, std::filesystem::path private_file);
  std::expected<void, SourceWorkerError> cancel_save(SaveRequest save);
  std::expected<RequestId, SourceWorkerError> import_file(RasterDocumentId document, std::filesystem::path path,
                                                          std::uint64_t current_page,
                                                          std::optional<std::string> anchor_id);

 private:
  SourceClient(SourceWorker& worker, ClientId id) : worker_(worker), id_(id) {}
  SourceWorker& worker_;
  ClientId id_;
  std::atomic<bool> closed_{false};
};

}  // namespace pdf::source
