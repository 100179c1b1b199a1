#pragma once
// What the file-operation tests share: a private home, frame services with
// the viewer's registry, a worker whose jobs only record what they were
// asked, a fake picker installed as the default backend, and a driver that
// runs the viewer's update and layout the way the frame loop does.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/launch.h"
#include "app/pdf_app.h"
#include "docstore/document.h"
#include "source/source_worker.h"
#include "velyn_ui/action_host.h"
#include "velyn_ui/frame_services.h"
#include "velyn_ui/portal/fake_picker.h"
#include "velyn_ui/records/record_set.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace file_test {

namespace source = pdf::source;

// Bounds every wait on another thread so that a broken peer fails the test
// instead of hanging it; nothing is asserted about how long anything takes.
inline constexpr auto kPatience = std::chrono::seconds(60);

inline bool eventually(const std::function<bool()>& done) {
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class TempHome {
 public:
  TempHome() {
    static int counter = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("pdf-viewer-files-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(dir_);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

class Services final : public velyn_ui::FrameServices {
 public:
  velyn_ui::record::RecordSet set = velyn_ui::record::RecordSet::in_memory();
  velyn_ui::action_host::ActionHost host{*pdf_app::make_action_registry(),
                                         [](const docstore::Document&, const docstore::Change&) {
                                           return velyn::Result<void>{};
                                         }};
  const velyn_ui::record::RecordSet& records() const override { return set; }
  velyn_ui::action_host::ActionHost* actions() override { return &host; }
};

// Jobs that answer nothing and remember every request, for tests that hand
// the viewer its replies themselves.
class RecordingJobs final : public source::JobExecutor {
 public:
  std::optional<source::SourceReply> execute(source::ClientId, source::SourceRequest request) override {
    std::lock_guard lock(mutex_);
    seen_.push_back(std::move(request));
    return std::nullopt;
  }
  void close_client(source::ClientId) override {}

  std::vector<source::SourceRequest> seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  // The last request of type T, once the worker has run it.
  template <class T>
  std::optional<T> wait_for_last() const {
    std::optional<T> found;
    eventually([&] {
      std::lock_guard lock(mutex_);
      for (auto it = seen_.rbegin(); it != seen_.rend(); ++it) {
        if (const auto* r = std::get_if<T>(&*it)) {
          found = *r;
          return true;
        }
      }
      return false;
    });
    return found;
  }
  template <class T>
  std::size_t count() const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& r : seen_) n += std::holds_alternative<T>(r) ? 1 : 0;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<source::SourceRequest> seen_;
};

// Installs a fake picker as the default backend for the test's lifetime.
class FakePicker {
 public:
  FakePicker() : backend_(std::make_shared<velyn_ui::portal::FakePickerBackend>()) {
    velyn_ui::portal::set_default_backend(backend_);
  }
  ~FakePicker() { velyn_ui::portal::set_default_backend(nullptr); }
  velyn_ui::portal::FakePickerBackend& operator*() { return *backend_; }
  velyn_ui::portal::FakePickerBackend* operator->() { return backend_.get(); }

 private:
  std::shared_ptr<velyn_ui::portal::FakePickerBackend> backend_;
};

// Runs the viewer's frames against the document of the record it asks for.
class Driver {
 public:
  explicit Driver(pdf_app::PdfApp& app) : app_(app) {}

  velyn_ui::FrameContext context() { return {text_, theme_, now_, &services_}; }
  docstore::Document& document() {
    if (app_.desired_record()) return services_.set.document_for(*app_.desired_record())->get();
    return scratch_;
  }
  void frame() {
    now_ += 0.016;
    auto ctx = context();
    app_.update(document(), ctx);
    app_.layout({0, 0, 1280, 800}, ctx);
  }
  // Runs frames until `done`; false when it never came.
  bool frames_until(const std::function<bool()>& done) {
    return eventually([&] {
      frame();
      return done();
    });
  }
  velyn_ui::Handled send(const velyn_ui::Event& event) {
    auto ctx = context();
    return app_.handle_event(event, document(), ctx);
  }
  Services& services() { return services_; }

 private:
  pdf_app::PdfApp& app_;
  Services services_;
  docstore::Document scratch_;
  velyn_ui::TextRenderer text_;
  velyn_ui::Theme theme_ = velyn_ui::Theme::light();
  double now_ = 1;
};

}  // namespace file_test
