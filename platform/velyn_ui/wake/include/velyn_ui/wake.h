#pragma once
// Waking the UI thread. A thread that hands the UI thread something (a worker
// reply, a picker answer) calls request_frame() right after handing it over;
// the window then runs a frame soon, even while its main loop sleeps, so a
// reply never waits for the pointer to move.
//
// request_frame() is safe on any thread and never blocks beyond a short
// mutex; many requests before the frame runs coalesce into one. Without an
// installed waker (headless harness, tests) it does nothing.
#include <functional>

namespace velyn_ui::wake {

void request_frame();

// Installed by the window for the life of its main loop; an empty function
// uninstalls. After uninstall returns, the previous waker is never called
// again. UI thread only.
void install(std::function<void()> waker);

}  // namespace velyn_ui::wake
