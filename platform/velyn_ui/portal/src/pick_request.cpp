#include "velyn_ui/portal/pick_request.h"

#include <pthread.h>

#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "velyn_ui/portal/fake_picker.h"
#include "velyn_ui/wake.h"
#include "window_chooser.h"

namespace velyn_ui::portal {

// Invariants: the answer is written at most once, by the picker thread,
// before `finished`; `cancelled` is set only by the receiver's owner.
class PickChannel {
 public:
  // Picker thread: the answer is handed over, then the UI thread woken to
  // take it (it polls the receiver in its next frame).
  void finish(std::optional<PickAnswer> answer) {
    {
      std::lock_guard lock(mutex_);
      answer_ = std::move(answer);
      finished_ = true;
    }
    wake::request_frame();
  }
  PickReceiver::State state() const {
    std::lock_guard lock(mutex_);
    if (answer_) return PickReceiver::State::Ready;
    return finished_ ? PickReceiver::State::Dropped : PickReceiver::State::Pending;
  }
  std::optional<PickAnswer> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(answer_, std::nullopt);
  }
  void cancel() { cancelled_.store(true); }
  bool cancelled() const { return cancelled_.load(); }

 private:
  mutable std::mutex mutex_;
  std::optional<PickAnswer> answer_;
  bool finished_ = false;
  std::atomic<bool> cancelled_{false};
};

bool PickCancel::requested() const { return channel_->cancelled(); }

PickReceiver& PickReceiver::operator=(PickReceiver&& other) noexcept {
  if (this != &other) {
    if (channel_) channel_->cancel();
    channel_ = std::move(other.channel_);
  }
  return *this;
}

PickReceiver::~PickReceiver() {
  if (channel_) channel_->cancel();
}

PickReceiver::State PickReceiver::state() const {
  return channel_ ? channel_->state() : State::Dropped;
}

std::optional<PickAnswer> PickReceiver::try_take() { return channel_ ? channel_->take() : std::nullopt; }

PickRequest PickRequest::open(std::string title, std::string accept_label) {
  PickRequest r;
  r.kind_ = Kind::Open;
  r.title_ = std::move(title);
  r.accept_label_ = std::move(accept_label);
  return r;
}

PickRequest PickRequest::save(std::string title, std::string accept_label, std::string suggested_name) {
  PickRequest r;
  r.kind_ = Kind::Save;
  r.title_ = std::move(title);
  r.accept_label_ = std::move(accept_label);
  r.suggested_name_ = std::move(suggested_name);
  return r;
}

PickRequest& PickRequest::thread_name(std::string name) {
  thread_name_ = std::move(name);
  return *this;
}

PickRequest& PickRequest::filter(FileFilter filter) {
  filters_.push_back(std::move(filter));
  return *this;
}

PickRequest& PickRequest::all_files() {
  all_files_ = true;
  return *this;
}

PickReceiver PickRequest::send() const { return send_with(default_backend()); }

PickReceiver PickRequest::send_with(const std::shared_ptr<PickerBackend>& backend) const {
  auto channel = std::make_shared<PickChannel>();
  if (!backend) {
    channel->finish(PickAnswer::failed("no file picker is available"));
    return PickReceiver(channel);
  }
  PickRequest copy = *this;
  copy.window_fallback_ = window_chooser_available();
  try {
    std::thread([channel, backend, request = std::move(copy)] {
      const std::string name = request.thread_name().substr(0, kThreadNameBytes);
      pthread_setname_np(pthread_self(), name.c_str());
      std::optional<PickAnswer> answer;
      try {
        answer = backend->pick(request, PickCancel(channel));
      } catch (const std::exception& e) {
        answer = PickAnswer::failed(e.what());
      }
      // A cancelled request's answer is nobody's.
      channel->finish(channel->cancelled() ? std::nullopt : std::move(answer));
    }).detach();
  } catch (const std::system_error& e) {
    channel->finish(PickAnswer::failed(std::string("starting the picker thread: ") + e.what()));
  }
  return PickReceiver(channel);
}

namespace {
std::mutex backend_mutex;
std::shared_ptr<PickerBackend>& installed_backend() {
  static std::shared_ptr<PickerBackend> backend;
  return backend;
}
}  // namespace

std::shared_ptr<PickerBackend> default_backend() {
  std::lock_guard lock(backend_mutex);
  auto& b = installed_backend();
  if (!b) b = portal_backend();
  return b;
}

void set_default_backend(std::shared_ptr<PickerBackend> backend) {
  std::lock_guard lock(backend_mutex);
  installed_backend() = std::move(backend);
}

void FakePickerBackend::push_answer(PickAnswer answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(answer));
}

void FakePickerBackend::hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void FakePickerBackend::release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  changed_.notify_all();
}

std::optional<PickAnswer> FakePickerBackend::pick(const PickRequest& request, const PickCancel& cancel) {
  char name[32] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  std::unique_lock lock(mutex_);
  seen_.push_back({request, name});
  // The receiver's going away is polled: nothing signals the condition for it.
  constexpr auto kCancelPoll = std::chrono::milliseconds(10);
  while (held_ && !cancel.requested()) changed_.wait_for(lock, kCancelPoll);
  if (cancel.requested()) {
    ++cancelled_;
    return std::nullopt;
  }
  if (answers_.empty()) return PickAnswer::cancelled();
  PickAnswer a = std::move(answers_.front());
  answers_.pop_front();
  return a;
}

std::vector<FakePickerBackend::Seen> FakePickerBackend::seen() const {
  std::lock_guard lock(mutex_);
  return seen_;
}

int FakePickerBackend::cancelled_requests() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

}  // namespace velyn_ui::portal
