#pragma once
// A picker backend for tests: answers from a script, records what it was
// asked and on which thread, and can hold requests until released or cancelled.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "velyn_ui/portal/pick_request.h"

namespace velyn_ui::portal {

class FakePickerBackend final : public PickerBackend {
 public:
  struct Seen {
    PickRequest request;
    std::string thread;  // the picker thread's name as the system reports it
  };

  // Answers in order; when none is scripted the request is cancelled.
  void push_answer(PickAnswer answer);
  // While held, requests wait for release() or their receiver to go.
  void hold();
  void release();

  std::optional<PickAnswer> pick(const PickRequest& request, const PickCancel& cancel) override;

  [[nodiscard]] std::vector<Seen> seen() const;
  [[nodiscard]] int cancelled_requests() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<PickAnswer> answers_;
  std::vector<Seen> seen_;
  bool held_ = false;
  int cancelled_ = 0;
};

}  // namespace velyn_ui::portal
