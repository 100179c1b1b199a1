#pragma once
// Polls a receiver the way the UI does each frame, until it is no longer
// pending (a generous bound keeps a broken backend from hanging the test).
#include <chrono>
#include <thread>

#include "velyn_ui/portal/pick_request.h"

namespace velyn_ui::portal::testing {

inline PickReceiver::State settle(const PickReceiver& receiver) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (receiver.state() == PickReceiver::State::Pending && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return receiver.state();
}

}  // namespace velyn_ui::portal::testing
