#include "velyn_ui/headless.h"

#include <cairo.h>
#include <fmt/format.h>

#include <chrono>
#include <thread>

#include "frame_driver.h"

namespace velyn_ui::headless {

struct FrameHarness::Surface {
  cairo_surface_t* surface = nullptr;
  ~Surface() {
    if (surface) cairo_surface_destroy(surface);
  }
};

FrameHarness::FrameHarness(std::unique_ptr<FrameDriver> driver, std::uint32_t width, std::uint32_t height)
    : driver_(std::move(driver)), width_(width), height_(height), surface_(std::make_unique<Surface>()) {
  surface_->surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width_), static_cast<int>(height_));
}

FrameHarness::FrameHarness(FrameHarness&&) noexcept = default;
FrameHarness& FrameHarness::operator=(FrameHarness&&) noexcept = default;
FrameHarness::~FrameHarness() = default;

FrameHarness FrameHarness::new_with_theme(state::State state, std::unique_ptr<Widget> widget, std::uint32_t width,
                                          std::uint32_t height, Theme theme) {
  return FrameHarness(std::make_unique<FrameDriver>(std::move(state), std::move(widget), std::move(theme)),
                      width, height);
}

FrameHarness& FrameHarness::with_records(record::RecordSet records, docstore::Document scratch) {
  driver_->attach_records(std::move(records), std::move(scratch));
  return *this;
}

FrameHarness& FrameHarness::with_registry(std::shared_ptr<const velyn_actions::ActionRegistry> registry) {
  driver_->attach_registry(std::move(registry));
  return *this;
}

bool FrameHarness::poll_records() { return driver_->poll_records(); }

void FrameHarness::frame() {
  cairo_t* cr = cairo_create(surface_->surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  driver_->frame(cr, Size{double(width_), double(height_)}, 1);
  cairo_destroy(cr);
  cairo_surface_flush(surface_->surface);
  drawn_ = true;
}

Handled FrameHarness::send(const Event& event) {
  const Handled handled = driver_->dispatch(event);
  frame();
  return handled;
}

velyn::Result<void> FrameHarness::wait_for_visuals(double timeout_seconds, bool until_animations_end) {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::duration<double>(timeout_seconds);
  constexpr auto kPause = std::chrono::milliseconds(5);
  for (;;) {
    frame();
    const Widget& w = driver_->widget();
    if (!w.busy() && (!until_animations_end || !w.needs_frame())) return {};
    if (clock::now() >= deadline) {
      return velyn::fail(fmt::format("Gave up after {} s waiting for the view to finish loading", timeout_seconds));
    }
    std::this_thread::sleep_for(kPause);
  }
}

velyn::Result<void> FrameHarness::render_png(const std::filesystem::path& path) {
  if (!drawn_) frame();
  const cairo_status_t status = cairo_surface_write_to_png(surface_->surface, path.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    return velyn::fail(fmt::format("Couldn't write screenshot {}: {}", path.string(), cairo_status_to_string(status)));
  }
  return {};
}

Color FrameHarness::pixel(std::uint32_t x, std::uint32_t y) const {
  if (x >= width_ || y >= height_) return {};
  const unsigned char* data = cairo_image_surface_get_data(surface_->surface);
  const int stride = cairo_image_surface_get_stride(surface_->surface);
  const auto word = *reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride + std::size_t(x) * 4);
  const std::uint32_t a = word >> 24;
  auto un = [a](std::uint32_t c) { return a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a); };
  return Color::rgb8(static_cast<std::uint8_t>(un((word >> 16) & 0xff)), static_cast<std::uint8_t>(un((word >> 8) & 0xff)),
                     static_cast<std::uint8_t>(un(word & 0xff)), static_cast<std::uint8_t>(a));
}

Widget& FrameHarness::widget() { return driver_->widget(); }
state::State& FrameHarness::state() { return driver_->state(); }

}  // namespace velyn_ui::headless
