// The window system's clipboard under a private X server: what we copy is
// what a reader of the clipboard gets back.
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "velyn_ui/widget/clipboard.h"

namespace velyn_ui::text_selection {
namespace {

class PrivateDisplay {
 public:
  PrivateDisplay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~PrivateDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;
  [[nodiscard]] const std::string& name() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

TEST(SystemClipboard, TextAndImagesReadBack) {
  PrivateDisplay display;
  if (display.name().empty()) GTEST_SKIP() << "Xvfb could not be started";
  ::setenv("DISPLAY", display.name().c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  ::setenv("NO_AT_BRIDGE", "1", 1);  // no accessibility bus for this process
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr));

  EXPECT_TRUE(clipboard_copy("the keeper"));
  GtkClipboard* cb = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gchar* text = gtk_clipboard_wait_for_text(cb);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "the keeper");
  g_free(text);

  // A 3 × 2 image: red, green, blue / white, black, half-transparent grey.
  const std::vector<std::uint8_t> rgba = {255, 0,   0,   255, 0, 255, 0, 255, 0,   0,   255, 255,
                                          255, 255, 255, 255, 0, 0,   0, 255, 128, 128, 128, 128};
  EXPECT_TRUE(clipboard_copy_image(3, 2, rgba));
  GdkPixbuf* image = gtk_clipboard_wait_for_image(cb);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(image), 3);
  EXPECT_EQ(gdk_pixbuf_get_height(image), 2);
  const guchar* px = gdk_pixbuf_get_pixels(image);
  const int channels = gdk_pixbuf_get_n_channels(image);
  EXPECT_EQ(px[0], 255);
  EXPECT_EQ(px[1], 0);
  EXPECT_EQ(px[channels + 1], 255) << "second pixel green";
  g_object_unref(image);
}

}  // namespace
}  // namespace velyn_ui::text_selection
