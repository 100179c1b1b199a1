#pragma once
// Putting text and images on the desktop clipboard. The calls report whether
// the clipboard took the content; they never block. The default backend is
// the window system's clipboard (available once the launcher opened a
// display; without one every copy is refused); tests install a FakeClipboard.
// UI thread only.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velyn_ui::text_selection {

// Images above this many pixels are refused rather than copied.
constexpr std::uint64_t kMaxClipboardImagePixels = 40'000'000;

class ClipboardBackend {
 public:
  virtual ~ClipboardBackend() = default;
  virtual bool copy_text(std::string_view utf8) = 0;
  // `rgba`: width × height × 4 bytes, rows tightly packed, straight alpha.
  virtual bool copy_image(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba) = 0;
};

// Empty or invalid UTF-8 text is refused.
bool clipboard_copy(std::string_view utf8);
// Refused when the sizes disagree with the bytes, are zero or exceed the cap.
bool clipboard_copy_image(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba);

// The window system's clipboard.
ClipboardBackend& system_clipboard();

// Replaces the backend the calls above use (null restores the system one);
// returns the previous one. The backend must outlive its installation.
ClipboardBackend* install_clipboard(ClipboardBackend* backend);

// Records what was copied; refuses on request.
class FakeClipboard final : public ClipboardBackend {
 public:
  struct CopiedImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba;
  };
  bool refuse_text = false;
  bool refuse_images = false;
  std::string text;
  CopiedImage image;
  int copies = 0;

  bool copy_text(std::string_view utf8) override;
  bool copy_image(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba) override;
};

// Installs a backend for the lifetime of the guard (tests).
class ScopedClipboard {
 public:
  explicit ScopedClipboard(ClipboardBackend& backend) : previous_(install_clipboard(&backend)) {}
  ~ScopedClipboard() { install_clipboard(previous_); }
  ScopedClipboard(const ScopedClipboard&) = delete;
  ScopedClipboard& operator=(const ScopedClipboard&) = delete;

 private:
  ClipboardBackend* previous_;
};

}  // namespace velyn_ui::text_selection
