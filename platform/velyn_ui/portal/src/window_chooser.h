#pragma once
// The window system's file chooser, the stand-in when no portal service
// answers. It runs on the UI thread's main loop; the picker thread waits.
#include <optional>

#include "velyn_ui/portal/pick_request.h"

namespace velyn_ui::portal {

// UI thread: true when a display is open (the launcher initialised GTK).
bool window_chooser_available();
// Picker thread: shows the chooser through the main loop and waits for it.
std::optional<PickAnswer> pick_with_window_chooser(const PickRequest& request, const PickCancel& cancel);

}  // namespace velyn_ui::portal
