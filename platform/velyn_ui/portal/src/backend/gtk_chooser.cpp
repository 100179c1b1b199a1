// GTK's file chooser, shown from the main loop on behalf of a picker thread.
// States of one dialog: scheduled → shown → answered (or cancelled by the
// receiver going away, which destroys the dialog). The shared state is the
// only thing both threads touch, under its mutex.
#include <gtk/gtk.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

#include "../window_chooser.h"

namespace velyn_ui::portal {

namespace {

struct Dialog {
  PickRequest request;
  std::mutex mutex;
  std::condition_variable done;
  std::optional<PickAnswer> answer;
  bool finished = false;
  GtkFileChooserNative* chooser = nullptr;  // UI thread only
};
using DialogRef = std::shared_ptr<Dialog>;

void finish(const DialogRef& d, std::optional<PickAnswer> answer) {
  {
    std::lock_guard lock(d->mutex);
    if (d->finished) return;
    d->answer = std::move(answer);
    d->finished = true;
  }
  d->done.notify_all();
}

void on_response(GtkNativeDialog* native, gint response, gpointer data) {
  auto* ref = static_cast<DialogRef*>(data);
  std::optional<PickAnswer> answer = PickAnswer::cancelled();
  if (response == GTK_RESPONSE_ACCEPT) {
    gchar* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(native));
    answer = file ? PickAnswer::chosen(file) : PickAnswer::failed("the file chooser returned no local file");
    g_free(file);
  }
  finish(*ref, std::move(answer));
  (*ref)->chooser = nullptr;
  g_object_unref(native);
}

void free_ref(gpointer data, GClosure*) { delete static_cast<DialogRef*>(data); }

gboolean show_dialog(gpointer data) {
  auto ref = *static_cast<DialogRef*>(data);
  const PickRequest& r = ref->request;
  const bool save = r.kind() == PickRequest::Kind::Save;
  GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
      r.title().c_str(), nullptr, save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
      r.accept_label().c_str(), "_Cancel");
  for (const auto& f : r.filters()) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, f.name().c_str());
    for (const auto& m : f.mimetypes()) gtk_file_filter_add_mime_type(filter, m.c_str());
    for (const auto& g : f.globs()) gtk_file_filter_add_pattern(filter, g.c_str());
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
  }
  if (r.has_all_files()) {
    GtkFileFilter* all = gtk_file_filter_new();
    gtk_file_filter_set_name(all, "All files");
    gtk_file_filter_add_pattern(all, "*");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), all);
  }
  if (save) {
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    if (!r.suggested_name().empty()) gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), r.suggested_name().c_str());
  }
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
  ref->chooser = chooser;
  g_signal_connect_data(chooser, "response", G_CALLBACK(on_response), new DialogRef(ref), free_ref, GConnectFlags(0));
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
  return G_SOURCE_REMOVE;
}

gboolean close_dialog(gpointer data) {
  auto ref = *static_cast<DialogRef*>(data);
  if (ref->chooser) {
    GtkFileChooserNative* chooser = std::exchange(ref->chooser, nullptr);
    gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(chooser));
    g_object_unref(chooser);
  }
  finish(ref, std::nullopt);
  return G_SOURCE_REMOVE;
}

void drop_ref(gpointer data) { delete static_cast<DialogRef*>(data); }

}  // namespace

bool window_chooser_available() { return gdk_display_get_default() != nullptr; }

std::optional<PickAnswer> pick_with_window_chooser(const PickRequest& request, const PickCancel& cancel) {
  auto dialog = std::make_shared<Dialog>();
  dialog->request = request;
  g_main_context_invoke_full(nullptr, G_PRIORITY_DEFAULT, show_dialog, new DialogRef(dialog), drop_ref);
  constexpr auto kCancelPoll = std::chrono::milliseconds(100);
  std::unique_lock lock(dialog->mutex);
  while (!dialog->finished) {
    dialog->done.wait_for(lock, kCancelPoll);
    if (!dialog->finished && cancel.requested()) {
      lock.unlock();
      g_main_context_invoke_full(nullptr, G_PRIORITY_DEFAULT, close_dialog, new DialogRef(dialog), drop_ref);
      return std::nullopt;
    }
  }
  return dialog->answer;
}

}  // namespace velyn_ui::portal
