// GTK 3 backend. Invariants:
// - One toplevel holding one GtkDrawingArea; every paint runs one frame of the
//   driver (update → layout → draw) at the widget's logical size, with cairo
//   already scaled for HiDPI by GTK.
// - A frame-clock tick callback is installed only while the widget wants
//   frames (needs_frame or busy) and removed as soon as it does not, so an
//   idle window sleeps in the main loop and uses no CPU. Other threads that
//   hand the widget work wake it through velyn_ui::wake, which queues a frame
//   from an idle source on this loop.
// - Input events are translated into velyn_ui::Event. While a text field has
//   the focus, keys go to the input method first (its commits arrive as
//   TextCommit) and what it leaves goes to the widget; otherwise keys go to
//   the widget first and what it leaves to the input method.
// - GTK reports a double click as a second plain press followed by an extra
//   2BUTTON_PRESS (and a triple by a third press and a 3BUTTON_PRESS): the
//   extras are dropped and the plain press carries the click count.
#include "backend/gtk_window.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "frame_driver.h"
#include "velyn_ui/event.h"
#include "velyn_ui/log.h"
#include "velyn_ui/wake.h"

namespace velyn_ui::backend {

namespace {

struct WindowState {
  FrameDriver* driver = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* area = nullptr;
  GtkIMContext* im = nullptr;
  GtkGesture* zoom = nullptr;
  guint tick_id = 0;
  guint due_id = 0;  // the one-shot timeout of the widget's frame_due_in()
  double last_zoom_scale = 1.0;
  bool quitting = false;
  bool drew = false;
  // The press series that double and triple clicks are counted in.
  guint32 last_press_time = 0;
  double last_press_x = 0, last_press_y = 0;
  guint last_press_button = 0;
  int press_count = 0;
  // Set while a wake-up's idle source is queued, so that many wake-ups
  // coalesce into one frame. Written by any thread.
  std::atomic<bool> wake_queued{false};
};

Modifiers modifiers_of(guint state) {
  Modifiers m = kModNone;
  if (state & GDK_SHIFT_MASK) m |= kModShift;
  if (state & GDK_CONTROL_MASK) m |= kModCtrl;
  if (state & GDK_MOD1_MASK) m |= kModAlt;
  if (state & (GDK_SUPER_MASK | GDK_META_MASK)) m |= kModSuper;
  return m;
}

PointerButton button_of(guint button) {
  switch (button) {
    case 1: return PointerButton::Primary;
    case 2: return PointerButton::Middle;
    case 3: return PointerButton::Secondary;
    default: return PointerButton::None;
  }
}

struct TranslatedKey {
  Key key = Key::Other;
  char32_t character = 0;
};

TranslatedKey translate_key(const GdkEventKey* ev) {
  switch (ev->keyval) {
    case GDK_KEY_Escape: return {Key::Escape};
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: return {Key::Enter};
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: return {Key::Tab};
    case GDK_KEY_BackSpace: return {Key::Backspace};
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete: return {Key::Delete};
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left: return {Key::Left};
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right: return {Key::Right};
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up: return {Key::Up};
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down: return {Key::Down};
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home: return {Key::Home};
    case GDK_KEY_End:
    case GDK_KEY_KP_End: return {Key::End};
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up: return {Key::PageUp};
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down: return {Key::PageDown};
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert: return {Key::Insert};
    case GDK_KEY_space: return {Key::Space, U' '};
    case GDK_KEY_F1: return {Key::F1};
    default: break;
  }
  // The character of the key as typed without Ctrl/Alt; letters lower case so
  // that shortcuts match whatever Shift or Caps Lock say.
  const guint32 ch = gdk_keyval_to_unicode(gdk_keyval_to_lower(ev->keyval));
  if (ch >= 0x20 && ch != 0x7f) return {Key::Character, static_cast<char32_t>(ch)};
  return {Key::Other};
}

void update_ticking(WindowState* st);

void close_window(WindowState* st) {
  if (st->quitting) return;
  st->quitting = true;
  gtk_widget_destroy(st->window);
}

// After every call into the widget: redraw, follow its wish for frames, and
// close once it says the close it vetoed may go ahead.
void after_widget_call(WindowState* st) {
  if (st->quitting) return;
  if (st->driver->widget().close_ready()) {
    close_window(st);
    return;
  }
  gtk_widget_queue_draw(st->area);
  update_ticking(st);
}

void deliver(WindowState* st, const Event& event) {
  if (st->quitting) return;
  const Handled handled = st->driver->dispatch(event);
  if (std::holds_alternative<CloseRequest>(event) && handled == Handled::No) {
    close_window(st);
    return;
  }
  after_widget_call(st);
}

gboolean on_wake(gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  st->wake_queued.store(false);
  if (!st->quitting) gtk_widget_queue_draw(st->area);
  return G_SOURCE_REMOVE;
}

gboolean on_tick(GtkWidget* area, GdkFrameClock*, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  gtk_widget_queue_draw(area);
  if (!st->driver->wants_frames()) {
    st->tick_id = 0;
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

gboolean on_due(gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  st->due_id = 0;
  if (!st->quitting) gtk_widget_queue_draw(st->area);
  return G_SOURCE_REMOVE;
}

void cancel_due(WindowState* st) {
  if (st->due_id == 0) return;
  g_source_remove(st->due_id);
  st->due_id = 0;
}

// Frames every display refresh while the widget wants them; otherwise one
// frame when its due time comes, and none until then.
void update_ticking(WindowState* st) {
  if (st->quitting) return;
  const bool wanted = st->driver->wants_frames();
  if (wanted && st->tick_id == 0) {
    st->tick_id = gtk_widget_add_tick_callback(st->area, on_tick, st, nullptr);
  } else if (!wanted && st->tick_id != 0) {
    gtk_widget_remove_tick_callback(st->area, st->tick_id);
    st->tick_id = 0;
  }
  cancel_due(st);
  if (wanted) return;
  if (const auto due = st->driver->widget().frame_due_in()) {
    constexpr double kMaxDueSeconds = 3600;
    const auto ms = static_cast<guint>(std::lround(std::clamp(*due, 0.0, kMaxDueSeconds) * 1000));
    st->due_id = g_timeout_add(ms, on_due, st);
  }
}

gboolean on_draw(GtkWidget* area, cairo_t* cr, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  const Size size{static_cast<double>(gtk_widget_get_allocated_width(area)),
                  static_cast<double>(gtk_widget_get_allocated_height(area))};
  st->driver->frame(cr, size, gtk_widget_get_scale_factor(area));
  if (!st->drew) {
    st->drew = true;
    log::debug("first frame {}x{} at scale {}", size.width, size.height, gtk_widget_get_scale_factor(area));
  }
  if (auto caret = st->driver->widget().ime_cursor_rect()) {
    GdkRectangle r{static_cast<int>(caret->x0), static_cast<int>(caret->y0),
                   static_cast<int>(std::ceil(caret->width())), static_cast<int>(std::ceil(caret->height()))};
    gtk_im_context_set_cursor_location(st->im, &r);
  }
  if (st->driver->widget().close_ready()) {
    close_window(st);
    return TRUE;
  }
  update_ticking(st);
  return TRUE;
}

// The click count of a plain press: the next in the series when it comes
// within the desktop's double-click time and distance of the previous press
// of the same button; a fourth press starts a new series.
int count_click(WindowState* st, const GdkEventButton* ev) {
  gint double_click_ms = 400, double_click_distance = 5;
  g_object_get(gtk_widget_get_settings(st->area), "gtk-double-click-time", &double_click_ms,
               "gtk-double-click-distance", &double_click_distance, nullptr);
  const bool series = st->press_count > 0 && st->press_count < 3 && ev->button == st->last_press_button &&
                      ev->time - st->last_press_time <= static_cast<guint32>(double_click_ms) &&
                      std::abs(ev->x - st->last_press_x) <= double_click_distance &&
                      std::abs(ev->y - st->last_press_y) <= double_click_distance;
  st->press_count = series ? st->press_count + 1 : 1;
  st->last_press_time = ev->time;
  st->last_press_x = ev->x;
  st->last_press_y = ev->y;
  st->last_press_button = ev->button;
  return st->press_count;
}

gboolean on_button_press(GtkWidget* area, GdkEventButton* ev, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  if (ev->type != GDK_BUTTON_PRESS) return TRUE;  // the 2/3BUTTON_PRESS extras: counted already
  gtk_widget_grab_focus(area);
  const int clicks = count_click(st, ev);
  deliver(st, PointerPress{{ev->x, ev->y}, button_of(ev->button), clicks, modifiers_of(ev->state)});
  return TRUE;
}

gboolean on_button_release(GtkWidget*, GdkEventButton* ev, gpointer data) {
  deliver(static_cast<WindowState*>(data),
          PointerRelease{{ev->x, ev->y}, button_of(ev->button), modifiers_of(ev->state)});
  return TRUE;
}

gboolean on_motion(GtkWidget*, GdkEventMotion* ev, gpointer data) {
  deliver(static_cast<WindowState*>(data), PointerMove{{ev->x, ev->y}, modifiers_of(ev->state)});
  return TRUE;
}

gboolean on_leave(GtkWidget*, GdkEventCrossing*, gpointer data) {
  deliver(static_cast<WindowState*>(data), PointerLeave{});
  return FALSE;
}

gboolean on_scroll(GtkWidget*, GdkEventScroll* ev, gpointer data) {
  Wheel w{{ev->x, ev->y}, 0, 0, WheelUnit::Lines, modifiers_of(ev->state)};
  switch (ev->direction) {
    // GDK counts down and right as positive; the toolkit's wheel counts up
    // and left (see Wheel), so every delta changes sign here and only here.
    case GDK_SCROLL_UP: w.dy = 1; break;
    case GDK_SCROLL_DOWN: w.dy = -1; break;
    case GDK_SCROLL_LEFT: w.dx = 1; break;
    case GDK_SCROLL_RIGHT: w.dx = -1; break;
    case GDK_SCROLL_SMOOTH: {
      // Touchpads report smooth deltas as fractions of a line unless the
      // device scrolls in pixels (precise), which GDK marks as a touchpad.
      gdouble dx = 0, dy = 0;
      gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(ev), &dx, &dy);
      GdkDevice* source = gdk_event_get_source_device(reinterpret_cast<GdkEvent*>(ev));
      const bool precise = source && gdk_device_get_source(source) == GDK_SOURCE_TOUCHPAD;
      constexpr double kPixelsPerPreciseUnit = 10.0;
      w.unit = precise ? WheelUnit::Pixels : WheelUnit::Lines;
      w.dx = -(precise ? dx * kPixelsPerPreciseUnit : dx);
      w.dy = -(precise ? dy * kPixelsPerPreciseUnit : dy);
      if (w.dx == 0 && w.dy == 0) return TRUE;
      break;
    }
  }
  deliver(static_cast<WindowState*>(data), w);
  return TRUE;
}

bool is_paste_key(const TranslatedKey& key, Modifiers mods) {
  const bool ctrl_v = key.key == Key::Character && key.character == U'v' && (mods & kModCtrl) && !(mods & kModAlt);
  const bool shift_insert = key.key == Key::Insert && (mods & kModShift) && !(mods & (kModCtrl | kModAlt));
  return ctrl_v || shift_insert;
}

void on_clipboard_text(GtkClipboard*, const gchar* text, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  // The field may have lost the focus while the clipboard's owner answered.
  if (!text || !*text || st->quitting || !st->driver->widget().text_input_focused()) return;
  deliver(st, TextCommit{text});
}

gboolean on_key_press(GtkWidget*, GdkEventKey* ev, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  if (st->quitting) return TRUE;
  const TranslatedKey tk = translate_key(ev);
  const Modifiers mods = modifiers_of(ev->state);
  const bool typing = st->driver->widget().text_input_focused();
  if (typing) {
    // As in a native entry: the input method sees the key first; text it
    // makes arrives through its commit signal before this returns.
    if (gtk_im_context_filter_keypress(st->im, ev)) {
      after_widget_call(st);
      return TRUE;
    }
    if (is_paste_key(tk, mods)) {
      GtkClipboard* clipboard = gtk_widget_get_clipboard(st->area, GDK_SELECTION_CLIPBOARD);
      gtk_clipboard_request_text(clipboard, on_clipboard_text, st);
      return TRUE;
    }
  }
  if (tk.key != Key::Other) {
    const Handled handled = st->driver->dispatch(KeyPress{tk.key, tk.character, mods, false});
    after_widget_call(st);
    if (handled == Handled::Yes) return TRUE;
  }
  // Not a shortcut: let the input method turn it into text.
  if (!typing && !(mods & (kModCtrl | kModAlt)) && gtk_im_context_filter_keypress(st->im, ev)) return TRUE;
  return FALSE;
}

gboolean on_key_release(GtkWidget*, GdkEventKey* ev, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  if (gtk_im_context_filter_keypress(st->im, ev)) return TRUE;
  const TranslatedKey tk = translate_key(ev);
  deliver(st, KeyRelease{tk.key, tk.character, modifiers_of(ev->state)});
  return TRUE;
}

void on_im_commit(GtkIMContext*, gchar* text, gpointer data) {
  deliver(static_cast<WindowState*>(data), TextCommit{text});
}

void on_im_preedit_changed(GtkIMContext* im, gpointer data) {
  gchar* text = nullptr;
  gint cursor = 0;
  gtk_im_context_get_preedit_string(im, &text, nullptr, &cursor);
  deliver(static_cast<WindowState*>(data), TextPreedit{text ? text : "", cursor});
  g_free(text);
}

gboolean on_focus_in(GtkWidget*, GdkEventFocus*, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  gtk_im_context_focus_in(st->im);
  deliver(st, FocusChange{true});
  return FALSE;
}

gboolean on_focus_out(GtkWidget*, GdkEventFocus*, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  gtk_im_context_focus_out(st->im);
  deliver(st, FocusChange{false});
  return FALSE;
}

void on_zoom_begin(GtkGesture*, GdkEventSequence*, gpointer data) {
  static_cast<WindowState*>(data)->last_zoom_scale = 1.0;
}

void on_zoom_scale_changed(GtkGestureZoom* gesture, gdouble scale, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  if (scale <= 0 || st->last_zoom_scale <= 0) return;
  double x = 0, y = 0;
  gtk_gesture_get_bounding_box_center(GTK_GESTURE(gesture), &x, &y);
  deliver(st, Magnify{{x, y}, scale / st->last_zoom_scale});
  st->last_zoom_scale = scale;
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  // TRUE keeps the window open: the widget vetoed the close.
  return st->driver->dispatch(CloseRequest{}) == Handled::Yes ? TRUE : FALSE;
}

void on_destroy(GtkWidget*, gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  st->quitting = true;
  gtk_main_quit();
}

void merge_room_changes(WindowState* st) {
  if (st->quitting) return;
  if (st->driver->poll_records()) after_widget_call(st);
}

void on_room_folder_changed(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event, gpointer data) {
  if (event == G_FILE_MONITOR_EVENT_CHANGED || event == G_FILE_MONITOR_EVENT_CREATED ||
      event == G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT) {
    merge_room_changes(static_cast<WindowState*>(data));
  }
}

gboolean on_records_poll(gpointer data) {
  merge_room_changes(static_cast<WindowState*>(data));
  return G_SOURCE_CONTINUE;
}

// SIGTERM / SIGINT ask the widget to close, like the window's close button.
gboolean on_terminate(gpointer data) {
  auto* st = static_cast<WindowState*>(data);
  if (!st->quitting) deliver(st, CloseRequest{});
  return G_SOURCE_CONTINUE;
}

}  // namespace

velyn::Result<void> run_window(FrameDriver& driver, const WindowOptions& options) {
  if (!gtk_init_check(nullptr, nullptr)) {
    return velyn::fail("cannot open a window: no display is available (set DISPLAY or WAYLAND_DISPLAY, "
                       "or use --screenshot)");
  }
  WindowState st;
  st.driver = &driver;
  st.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(st.window), options.title.c_str());
  gtk_window_set_default_size(GTK_WINDOW(st.window), options.width, options.height);

  st.area = gtk_drawing_area_new();
  if (options.min_width > 0 || options.min_height > 0) {
    gtk_widget_set_size_request(st.area, std::max(options.min_width, 1), std::max(options.min_height, 1));
  }
  gtk_widget_set_can_focus(st.area, TRUE);
  gtk_widget_add_events(st.area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                     GDK_LEAVE_NOTIFY_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK |
                                     GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK |
                                     GDK_TOUCHPAD_GESTURE_MASK);
  gtk_container_add(GTK_CONTAINER(st.window), st.area);

  st.im = gtk_im_multicontext_new();
  gtk_im_context_set_client_window(st.im, nullptr);
  g_signal_connect(st.im, "commit", G_CALLBACK(on_im_commit), &st);
  g_signal_connect(st.im, "preedit-changed", G_CALLBACK(on_im_preedit_changed), &st);

  g_signal_connect(st.area, "draw", G_CALLBACK(on_draw), &st);
  g_signal_connect(st.area, "button-press-event", G_CALLBACK(on_button_press), &st);
  g_signal_connect(st.area, "button-release-event", G_CALLBACK(on_button_release), &st);
  g_signal_connect(st.area, "motion-notify-event", G_CALLBACK(on_motion), &st);
  g_signal_connect(st.area, "leave-notify-event", G_CALLBACK(on_leave), &st);
  g_signal_connect(st.area, "scroll-event", G_CALLBACK(on_scroll), &st);
  g_signal_connect(st.area, "key-press-event", G_CALLBACK(on_key_press), &st);
  g_signal_connect(st.area, "key-release-event", G_CALLBACK(on_key_release), &st);
  g_signal_connect(st.area, "focus-in-event", G_CALLBACK(on_focus_in), &st);
  g_signal_connect(st.area, "focus-out-event", G_CALLBACK(on_focus_out), &st);

  st.zoom = gtk_gesture_zoom_new(st.area);
  g_signal_connect(st.zoom, "begin", G_CALLBACK(on_zoom_begin), &st);
  g_signal_connect(st.zoom, "scale-changed", G_CALLBACK(on_zoom_scale_changed), &st);

  g_signal_connect(st.window, "delete-event", G_CALLBACK(on_delete), &st);
  g_signal_connect(st.window, "destroy", G_CALLBACK(on_destroy), &st);

  // Other processes' changes to the shared room. The room folder is watched
  // (inotify), so an idle window sleeps until a file there changes; the check
  // itself is one cheap counter read. Without a watchable folder the window
  // falls back to checking a few times a second.
  GFileMonitor* monitor = nullptr;
  if (options.watch_folder) {
    GFile* folder = g_file_new_for_path(options.watch_folder->c_str());
    monitor = g_file_monitor_directory(folder, G_FILE_MONITOR_NONE, nullptr, nullptr);
    g_object_unref(folder);
    if (monitor) {
      constexpr gint kRoomChangeRateLimitMs = 50;
      g_file_monitor_set_rate_limit(monitor, kRoomChangeRateLimitMs);
      g_signal_connect(monitor, "changed", G_CALLBACK(on_room_folder_changed), &st);
    }
  }
  constexpr guint kRecordsPollMs = 250;
  const guint poll_id = monitor || !options.watch_folder ? 0 : g_timeout_add(kRecordsPollMs, on_records_poll, &st);

  const guint term_id = g_unix_signal_add(SIGTERM, on_terminate, &st);
  const guint int_id = g_unix_signal_add(SIGINT, on_terminate, &st);

  gtk_widget_show_all(st.window);
  gtk_widget_realize(st.area);
  gtk_im_context_set_client_window(st.im, gtk_widget_get_window(st.area));
  gtk_widget_grab_focus(st.area);

  wake::install([state = &st] {
    if (!state->wake_queued.exchange(true)) g_idle_add(on_wake, state);
  });

  gtk_main();

  cancel_due(&st);
  if (poll_id) g_source_remove(poll_id);
  if (monitor) g_object_unref(monitor);
  g_source_remove(term_id);
  g_source_remove(int_id);
  // No wake-up reaches this window after the uninstall; the only sources left
  // with it as their data are wake-ups still queued.
  wake::install({});
  while (g_source_remove_by_user_data(&st)) {
  }
  g_object_unref(st.zoom);
  g_object_unref(st.im);
  return {};
}

}  // namespace velyn_ui::backend
