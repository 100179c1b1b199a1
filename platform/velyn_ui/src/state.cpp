#include "velyn_ui/state.h"

#include <chrono>

namespace velyn_ui::state {

State::State()
    : text_(std::make_unique<TextRenderer>("Inter")), clock_([] {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
      }) {}

}  // namespace velyn_ui::state
