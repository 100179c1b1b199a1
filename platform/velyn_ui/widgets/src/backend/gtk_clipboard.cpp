// The window system's clipboard through GTK. GTK keeps the content and
// serves it to other applications from the main loop; nothing here waits.
#include <gtk/gtk.h>

#include <algorithm>

#include "velyn_ui/widget/clipboard.h"

namespace velyn_ui::text_selection {

namespace {

GtkClipboard* desktop_clipboard() {
  GdkDisplay* display = gdk_display_get_default();
  return display ? gtk_clipboard_get_for_display(display, GDK_SELECTION_CLIPBOARD) : nullptr;
}

class GtkClipboardBackend final : public ClipboardBackend {
 public:
  bool copy_text(std::string_view utf8) override {
    GtkClipboard* cb = desktop_clipboard();
    if (!cb) return false;
    gtk_clipboard_set_text(cb, utf8.data(), static_cast<gint>(utf8.size()));
    // Handed to a clipboard manager when the application quits; storing now
    // would run a nested main loop waiting for it.
    gtk_clipboard_set_can_store(cb, nullptr, 0);
    return true;
  }

  bool copy_image(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba) override {
    GtkClipboard* cb = desktop_clipboard();
    if (!cb) return false;
    // The pixbuf owns a copy: the caller's buffer may go away at once.
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, static_cast<int>(width), static_cast<int>(height));
    if (!pixbuf) return false;
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    guchar* dst = gdk_pixbuf_get_pixels(pixbuf);
    const std::size_t row = std::size_t{width} * 4;
    for (std::uint32_t y = 0; y < height; ++y) {
      std::copy_n(rgba.data() + row * y, row, dst + static_cast<std::size_t>(stride) * y);
    }
    gtk_clipboard_set_image(cb, pixbuf);
    g_object_unref(pixbuf);
    return true;
  }
};

}  // namespace

ClipboardBackend& system_clipboard() {
  static GtkClipboardBackend backend;
  return backend;
}

}  // namespace velyn_ui::text_selection
