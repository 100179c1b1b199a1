#include "velyn_ui/widget/clipboard.h"

#include <glib.h>

#include <utility>

namespace velyn_ui::text_selection {

namespace {
ClipboardBackend* installed = nullptr;
ClipboardBackend& current() { return installed ? *installed : system_clipboard(); }
}  // namespace

ClipboardBackend* install_clipboard(ClipboardBackend* backend) { return std::exchange(installed, backend); }

bool clipboard_copy(std::string_view utf8) {
  if (utf8.empty() || !g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) return false;
  return current().copy_text(utf8);
}

bool clipboard_copy_image(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba) {
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels == 0 || pixels > kMaxClipboardImagePixels || rgba.size() != pixels * 4) return false;
  return current().copy_image(width, height, rgba);
}

bool FakeClipboard::copy_text(std::string_view utf8) {
  if (refuse_text) return false;
  text.assign(utf8);
  ++copies;
  return true;
}

bool FakeClipboard::copy_image(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba) {
  if (refuse_images) return false;
  image = {width, height, {rgba.begin(), rgba.end()}};
  ++copies;
  return true;
}

}  // namespace velyn_ui::text_selection
