// The XDG desktop portal's FileChooser over GDBus, run on the picker thread
// with a main context of its own.
//
// One request: connect to the session bus (a private connection, so the
// process's shared bus and its threads are never involved), subscribe to
// Response on the Request object path the portal will use, call OpenFile or
// SaveFile, then iterate the context until Response arrives, the receiver
// goes away (the dialog is closed through Request.Close) or the connection
// drops. When no portal service owns its name, GTK's chooser stands in if a
// display is open; otherwise the request fails with the bus's error text.
#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>

#include "velyn_ui/portal/pick_request.h"
#include "window_chooser.h"

namespace velyn_ui::portal {

namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kChooserInterface = "org.freedesktop.portal.FileChooser";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
constexpr int kCallTimeoutMs = 30'000;  // the call returns at once; the dialog answers by signal
constexpr guint kCancelPollMs = 100;
constexpr guint32 kResponseSuccess = 0;
constexpr guint32 kResponseCancelled = 1;

std::atomic<unsigned> next_token{0};

struct GErrorFree {
  void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

std::string error_text(GError* error) {
  if (!error) return "unknown D-Bus error";
  if (g_dbus_error_is_remote_error(error)) g_dbus_error_strip_remote_error(error);
  return error->message;
}

// A name or message from the bus means nobody serves the portal.
bool no_portal_service(GError* error) {
  return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE);
}

GVariant* filter_variant(const std::string& name, const std::vector<std::string>& mimetypes,
                         const std::vector<std::string>& globs) {
  GVariantBuilder patterns;
  g_variant_builder_init(&patterns, G_VARIANT_TYPE("a(us)"));
  for (const auto& g : globs) g_variant_builder_add(&patterns, "(us)", 0u, g.c_str());
  for (const auto& m : mimetypes) g_variant_builder_add(&patterns, "(us)", 1u, m.c_str());
  return g_variant_new("(sa(us))", name.c_str(), &patterns);
}

GVariant* options_for(const PickRequest& r, const std::string& token) {
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  g_variant_builder_add(&options, "{sv}", "accept_label", g_variant_new_string(r.accept_label().c_str()));
  g_variant_builder_add(&options, "{sv}", "modal", g_variant_new_boolean(TRUE));
  if (r.kind() == PickRequest::Kind::Open) {
    g_variant_builder_add(&options, "{sv}", "multiple", g_variant_new_boolean(FALSE));
  } else if (!r.suggested_name().empty()) {
    g_variant_builder_add(&options, "{sv}", "current_name", g_variant_new_string(r.suggested_name().c_str()));
  }
  if (!r.filters().empty() || r.has_all_files()) {
    GVariantBuilder filters;
    g_variant_builder_init(&filters, G_VARIANT_TYPE("a(sa(us))"));
    for (const auto& f : r.filters()) g_variant_builder_add_value(&filters, filter_variant(f.name(), f.mimetypes(), f.globs()));
    if (r.has_all_files()) g_variant_builder_add_value(&filters, filter_variant("All files", {}, {"*"}));
    g_variant_builder_add(&options, "{sv}", "filters", g_variant_builder_end(&filters));
    if (!r.filters().empty()) {
      const auto& f = r.filters().front();
      g_variant_builder_add(&options, "{sv}", "current_filter", filter_variant(f.name(), f.mimetypes(), f.globs()));
    }
  }
  return g_variant_builder_end(&options);
}

struct Waiting {
  GVariant* response = nullptr;  // (ua{sv}) once it arrived
  bool closed = false;
};

void on_response(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* params,
                 gpointer data) {
  auto* w = static_cast<Waiting*>(data);
  if (!w->response && g_variant_is_of_type(params, G_VARIANT_TYPE("(ua{sv})"))) w->response = g_variant_ref(params);
}

void on_closed(GDBusConnection*, gboolean, GError*, gpointer data) { static_cast<Waiting*>(data)->closed = true; }

gboolean wake(gpointer) { return G_SOURCE_CONTINUE; }

PickAnswer answer_from(GVariant* response) {
  guint32 code = 0;
  GVariant* results = nullptr;
  g_variant_get(response, "(u@a{sv})", &code, &results);
  PickAnswer answer = PickAnswer::failed("the file chooser ended without a choice");
  if (code == kResponseCancelled) {
    answer = PickAnswer::cancelled();
  } else if (code == kResponseSuccess) {
    const gchar** uris = nullptr;
    answer = PickAnswer::failed("the file chooser returned no file");
    if (g_variant_lookup(results, "uris", "^a&s", &uris) && uris && uris[0]) {
      GError* err = nullptr;
      gchar* path = g_filename_from_uri(uris[0], nullptr, &err);
      if (path) {
        answer = PickAnswer::chosen(path);
      } else {
        answer = PickAnswer::failed(std::string("the chosen file is not local: ") + uris[0]);
        g_error_free(err);
      }
      g_free(path);
    }
    g_free(uris);
  }
  g_variant_unref(results);
  return answer;
}

class PortalBackend final : public PickerBackend {
 public:
  explicit PortalBackend(std::string address) : address_(std::move(address)) {}

  std::optional<PickAnswer> pick(const PickRequest& request, const PickCancel& cancel) override {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    auto answer = run(request, cancel, context);
    // Let pending callbacks of the connection run down before the context goes.
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return answer;
  }

 private:
  std::optional<PickAnswer> unavailable(const PickRequest& request, const PickCancel& cancel, std::string text) {
    if (request.window_fallback()) return pick_with_window_chooser(request, cancel);
    return PickAnswer::failed(std::move(text));
  }

  std::optional<PickAnswer> run(const PickRequest& request, const PickCancel& cancel, GMainContext* context) {
    GError* raw = nullptr;
    std::string address = address_;
    if (address.empty()) {
      gchar* a = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &raw);
      if (!a) {
        ErrorPtr err(raw);
        return unavailable(request, cancel, error_text(err.get()));
      }
      address = a;
      g_free(a);
    }
    GDBusConnection* conn = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &raw);
    if (!conn) {
      ErrorPtr err(raw);
      return unavailable(request, cancel, error_text(err.get()));
    }
    g_dbus_connection_set_exit_on_close(conn, FALSE);
    auto answer = converse(conn, request, cancel, context);
    g_dbus_connection_close_sync(conn, nullptr, nullptr);
    g_object_unref(conn);
    return answer;
  }

  std::optional<PickAnswer> converse(GDBusConnection* conn, const PickRequest& request, const PickCancel& cancel,
                                     GMainContext* context) {
    // The portal names the request after our unique name (":1.42" → "1_42") and the token.
    std::string sender = g_dbus_connection_get_unique_name(conn);
    if (!sender.empty() && sender[0] == ':') sender.erase(0, 1);
    for (char& c : sender) {
      if (c == '.') c = '_';
    }
    const std::string token = "velyn" + std::to_string(::getpid()) + "_" + std::to_string(next_token++);
    std::string handle = std::string(kPortalPath) + "/request/" + sender + "/" + token;

    Waiting waiting;
    const gulong closed_id = g_signal_connect(conn, "closed", G_CALLBACK(on_closed), &waiting);
    guint sub = g_dbus_connection_signal_subscribe(conn, kPortalName, kRequestInterface, "Response", handle.c_str(),
                                                   nullptr, G_DBUS_SIGNAL_FLAGS_NONE, on_response, &waiting, nullptr);
    GVariant* params = g_variant_new("(ss@a{sv})", "", request.title().c_str(), options_for(request, token));
    GError* raw = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        conn, kPortalName, kPortalPath, kChooserInterface,
        request.kind() == PickRequest::Kind::Save ? "SaveFile" : "OpenFile", params, G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &raw);
    std::optional<PickAnswer> answer;
    if (!reply) {
      ErrorPtr err(raw);
      const bool absent = no_portal_service(err.get());
      const std::string text = error_text(err.get());
      g_dbus_connection_signal_unsubscribe(conn, sub);
      g_signal_handler_disconnect(conn, closed_id);
      return absent ? unavailable(request, cancel, text) : PickAnswer::failed(text);
    }
    const gchar* returned = nullptr;
    g_variant_get(reply, "(&o)", &returned);
    if (handle != returned) {
      // Older portals choose their own path: follow it.
      handle = returned;
      g_dbus_connection_signal_unsubscribe(conn, sub);
      sub = g_dbus_connection_signal_subscribe(conn, kPortalName, kRequestInterface, "Response", handle.c_str(),
                                               nullptr, G_DBUS_SIGNAL_FLAGS_NONE, on_response, &waiting, nullptr);
    }
    g_variant_unref(reply);

    GSource* tick = g_timeout_source_new(kCancelPollMs);
    g_source_set_callback(tick, wake, nullptr, nullptr);
    g_source_attach(tick, context);
    while (!waiting.response && !waiting.closed && !cancel.requested()) g_main_context_iteration(context, TRUE);
    g_source_destroy(tick);
    g_source_unref(tick);

    if (waiting.response) {
      answer = answer_from(waiting.response);
      g_variant_unref(waiting.response);
    } else if (cancel.requested() && !waiting.closed) {
      // Nobody waits for the answer any more: take the dialog down.
      GVariant* r = g_dbus_connection_call_sync(conn, kPortalName, handle.c_str(), kRequestInterface, "Close",
                                                nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr,
                                                nullptr);
      if (r) g_variant_unref(r);
    } else {
      answer = PickAnswer::failed("the session bus connection closed");
    }
    g_dbus_connection_signal_unsubscribe(conn, sub);
    g_signal_handler_disconnect(conn, closed_id);
    return answer;
  }

  std::string address_;
};

}  // namespace

std::shared_ptr<PickerBackend> portal_backend(std::string bus_address) {
  return std::make_shared<PortalBackend>(std::move(bus_address));
}

}  // namespace velyn_ui::portal
