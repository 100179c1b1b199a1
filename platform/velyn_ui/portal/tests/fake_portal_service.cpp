#include "fake_portal_service.h"

#include <gio/gio.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <future>

namespace velyn_ui::portal::testing {

namespace {

constexpr const char* kIntrospection = R"xml(
<node>
  <interface name="org.freedesktop.portal.FileChooser">
    <method name="OpenFile">
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="s" name="title" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
    <method name="SaveFile">
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="s" name="title" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
  </interface>
</node>)xml";

constexpr const char* kRequestIntrospection = R"xml(
<node>
  <interface name="org.freedesktop.portal.Request">
    <method name="Close"/>
  </interface>
</node>)xml";

void on_request_method(GDBusConnection*, const gchar*, const gchar* path, const gchar*, const gchar* method,
                       GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
  static_cast<FakePortalService*>(data)->record({method, path, ""});
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

void on_method(GDBusConnection* conn, const gchar* sender, const gchar*, const gchar*, const gchar* method,
               GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
  auto* service = static_cast<FakePortalService*>(data);
  const gchar* title = nullptr;
  GVariant* options = nullptr;
  g_variant_get(params, "(&s&s@a{sv})", nullptr, &title, &options);
  gchar* printed = g_variant_print(options, FALSE);
  service->record({method, title, printed});
  g_free(printed);
  const gchar* token = "t";
  g_variant_lookup(options, "handle_token", "&s", &token);
  std::string name = sender + 1;  // ":1.7" → "1_7"
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  const std::string handle = std::string("/org/freedesktop/portal/desktop/request/") + name + "/" + token;
  g_variant_unref(options);
  g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", handle.c_str()));

  const auto answer = service->next_answer();
  if (answer.code == FakePortalService::kHoldOpen) {
    // The dialog stays up until the client closes the request.
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kRequestIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable = {on_request_method, nullptr, nullptr, {}};
    g_dbus_connection_register_object(conn, handle.c_str(), info->interfaces[0], &vtable, service, nullptr, nullptr);
    g_dbus_node_info_unref(info);
    return;
  }
  GVariantBuilder results;
  g_variant_builder_init(&results, G_VARIANT_TYPE("a{sv}"));
  if (!answer.uri.empty()) {
    const gchar* uris[] = {answer.uri.c_str(), nullptr};
    g_variant_builder_add(&results, "{sv}", "uris", g_variant_new_strv(uris, 1));
  }
  g_dbus_connection_emit_signal(conn, sender, handle.c_str(), "org.freedesktop.portal.Request", "Response",
                                g_variant_new("(ua{sv})", answer.code, &results), nullptr);
}

}  // namespace

FakePortalService::FakePortalService(bool serve_portal) {
  std::string pattern = (std::filesystem::temp_directory_path() / "portal-test-XXXXXX").string();
  dir_ = ::mkdtemp(pattern.data());
  const auto config = dir_ / "bus.conf";
  std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig><type>session</type><listen>unix:dir="
                        << dir_.string()
                        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                           "<allow own=\"*\"/></policy></busconfig>\n";
  int out[2];
  if (pipe(out) != 0) return;
  daemon_ = fork();
  if (daemon_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    const std::string arg = "--config-file=" + config.string();
    execlp("dbus-daemon", "dbus-daemon", arg.c_str(), "--print-address", "--nofork", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  address_ = line;
  if (address_.empty() || !serve_portal) return;

  std::promise<void> ready;
  auto started = ready.get_future();
  context_ = g_main_context_new();
  loop_ = g_main_loop_new(context_, FALSE);
  thread_ = std::thread([this, &ready] {
    g_main_context_push_thread_default(context_);
    GDBusConnection* conn = g_dbus_connection_new_for_address_sync(
        address_.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (conn) {
      GVariant* r = g_dbus_connection_call_sync(conn, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "RequestName",
                                                g_variant_new("(su)", "org.freedesktop.portal.Desktop", 4u), nullptr,
                                                G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
      if (r) g_variant_unref(r);
      GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
      static const GDBusInterfaceVTable vtable = {on_method, nullptr, nullptr, {}};
      g_dbus_connection_register_object(conn, "/org/freedesktop/portal/desktop", info->interfaces[0], &vtable, this,
                                        nullptr, nullptr);
      g_dbus_node_info_unref(info);
    }
    ready.set_value();
    g_main_loop_run(loop_);
    if (conn) {
      g_dbus_connection_close_sync(conn, nullptr, nullptr);
      g_object_unref(conn);
    }
    g_main_context_pop_thread_default(context_);
  });
  started.wait();
}

FakePortalService::~FakePortalService() {
  if (thread_.joinable()) {
    g_main_context_invoke(
        context_, [](gpointer loop) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(loop));
          return G_SOURCE_REMOVE;
        },
        loop_);
    thread_.join();
  }
  if (loop_) g_main_loop_unref(loop_);
  if (context_) g_main_context_unref(context_);
  if (daemon_ > 0) {
    kill(daemon_, SIGTERM);
    waitpid(daemon_, nullptr, 0);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void FakePortalService::push_answer(Answer answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(answer));
}

FakePortalService::Answer FakePortalService::next_answer() {
  std::lock_guard lock(mutex_);
  if (answers_.empty()) return {1, {}};
  Answer a = answers_.front();
  answers_.pop_front();
  return a;
}

void FakePortalService::record(Call call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
}

std::vector<FakePortalService::Call> FakePortalService::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

}  // namespace velyn_ui::portal::testing
