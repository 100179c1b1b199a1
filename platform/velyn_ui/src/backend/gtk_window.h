#pragma once
// The window backend: one GTK toplevel with one drawing area, driven by a
// FrameDriver. Nothing of GTK leaks past this header.
#include <filesystem>
#include <optional>
#include <string>

#include "velyn/error.h"

namespace velyn_ui {
class FrameDriver;
}

namespace velyn_ui::backend {

struct WindowOptions {
  std::string title;
  int width = 1280;
  int height = 800;
  // Below this the window does not shrink (0: no minimum of our own).
  int min_width = 0;
  int min_height = 0;
  // A folder whose changes (another process appending to a room file in it)
  // make the window merge the room's new changes.
  std::optional<std::filesystem::path> watch_folder;
};

// Opens the window and runs the main loop until the window closes. Fails when
// no display can be opened.
velyn::Result<void> run_window(FrameDriver& driver, const WindowOptions& options);

}  // namespace velyn_ui::backend
