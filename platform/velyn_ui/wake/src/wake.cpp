#include "velyn_ui/wake.h"

#include <mutex>
#include <utility>

namespace velyn_ui::wake {

namespace {

// The waker is called under the mutex, so that install() can promise no call
// after it returns; a waker only schedules work on the main loop and returns.
std::mutex& waker_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void()>& installed_waker() {
  static std::function<void()> waker;
  return waker;
}

}  // namespace

void request_frame() {
  std::lock_guard lock(waker_mutex());
  if (installed_waker()) installed_waker()();
}

void install(std::function<void()> waker) {
  std::lock_guard lock(waker_mutex());
  installed_waker() = std::move(waker);
}

}  // namespace velyn_ui::wake
