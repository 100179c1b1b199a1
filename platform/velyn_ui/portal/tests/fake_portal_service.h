#pragma once
// A private session bus (dbus-daemon started for the test) with a tiny
// FileChooser portal on it that answers from a script, so the portal backend
// is exercised over a real D-Bus round trip.
#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

namespace velyn_ui::portal::testing {

class FakePortalService {
 public:
  // An answer code that keeps the dialog open until Request.Close.
  static constexpr std::uint32_t kHoldOpen = 1000;
  struct Answer {
    std::uint32_t code = 0;
    std::string uri;
  };
  struct Call {
    std::string method;
    std::string title;
    std::string options;  // GVariant text form
  };

  // Starts the bus; with `serve_portal` also the portal service on it.
  explicit FakePortalService(bool serve_portal);
  ~FakePortalService();
  FakePortalService(const FakePortalService&) = delete;
  FakePortalService& operator=(const FakePortalService&) = delete;

  [[nodiscard]] bool running() const { return !address_.empty(); }
  [[nodiscard]] const std::string& address() const { return address_; }
  void push_answer(Answer answer);
  [[nodiscard]] std::vector<Call> calls() const;

  // Called from the service thread.
  Answer next_answer();
  void record(Call call);

 private:
  void serve();
  std::filesystem::path dir_;
  pid_t daemon_ = -1;
  std::string address_;
  std::thread thread_;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  mutable std::mutex mutex_;
  std::deque<Answer> answers_;
  std::vector<Call> calls_;
};

}  // namespace velyn_ui::portal::testing
