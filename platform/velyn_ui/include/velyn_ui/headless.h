#pragma once
// Headless frames: the window's update → layout → draw cycle on an image
// surface, for screenshots and tests. No display, no room: the harness drives
// the widget with the records it is given (in memory by default).
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "velyn/error.h"
#include "velyn_ui/color.h"
#include "velyn_ui/event.h"
#include "velyn_ui/records/record_set.h"
#include "velyn_ui/state.h"
#include "velyn_ui/theme.h"
#include "velyn_ui/widget.h"

namespace docstore {
class Document;
}

namespace velyn_actions {
class ActionRegistry;
}

namespace velyn_ui {
class FrameDriver;
}

namespace velyn_ui::headless {

class FrameHarness {
 public:
  static FrameHarness new_with_theme(state::State state, std::unique_ptr<Widget> widget, std::uint32_t width,
                                     std::uint32_t height, Theme theme);
  FrameHarness(FrameHarness&&) noexcept;
  FrameHarness& operator=(FrameHarness&&) noexcept;
  ~FrameHarness();

  // Drives the widget with these records; `scratch` is the document handed
  // over while the widget wants no record.
  FrameHarness& with_records(record::RecordSet records, docstore::Document scratch);
  // Decodes the widget's dispatched actions with this registry.
  FrameHarness& with_registry(std::shared_ptr<const velyn_actions::ActionRegistry> registry);

  // Merges changes other processes appended to the room (the window does this
  // on a timer; a harness has no main loop). True when a document changed.
  bool poll_records();

  // Runs one frame.
  void frame();
  // Delivers an event, then runs a frame so the picture shows its effect.
  Handled send(const Event& event);

  // Runs frames until the widget is no longer busy (and, with
  // `until_animations_end`, no longer asks for frames). Gives up after
  // `timeout_seconds` with an error while it still is.
  velyn::Result<void> wait_for_visuals(double timeout_seconds, bool until_animations_end);

  // Writes the last frame as PNG (running one first when none ran yet).
  velyn::Result<void> render_png(const std::filesystem::path& path);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  // The last frame's pixel at (x, y), opaque straight RGB.
  Color pixel(std::uint32_t x, std::uint32_t y) const;

  Widget& widget();
  state::State& state();

 private:
  FrameHarness(std::unique_ptr<FrameDriver> driver, std::uint32_t width, std::uint32_t height);
  std::unique_ptr<FrameDriver> driver_;
  std::uint32_t width_;
  std::uint32_t height_;
  struct Surface;
  std::unique_ptr<Surface> surface_;
  bool drawn_ = false;
};

}  // namespace velyn_ui::headless
