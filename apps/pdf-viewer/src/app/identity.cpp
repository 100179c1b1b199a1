#include "app/identity.h"

#include <cstdlib>

#include "velyn/utf8.h"

namespace pdf_app {

namespace {

// Set, valid UTF-8 and not empty; white space is kept as given.
std::optional<std::string> usable(const EnvLookup& env, std::string_view name) {
  auto value = env(name);
  if (!value || value->empty()) return std::nullopt;
  if (!velyn::is_valid_utf8(*value)) return std::nullopt;
  return value;
}

}  // namespace

EnvLookup process_environment() {
  return [](std::string_view name) -> std::optional<std::string> {
    const char* v = std::getenv(std::string(name).c_str());
    if (!v) return std::nullopt;
    return std::string(v);
  };
}

std::string resolve_package_id(const EnvLookup& env, std::string_view application_id) {
  return usable(env, "VELYN_PACKAGE_ID").value_or(std::string(application_id));
}

std::string resolve_workspace_id(const EnvLookup& env) {
  if (auto id = usable(env, "VELYN_WORKSPACE_ID")) return *id;
  if (auto id = usable(env, "TAVEN_CLUSTER_ID")) return *id;
  return std::string(kNilWorkspace);
}

velyn_ui::launch::LaunchIdentity resolve_identity(const EnvLookup& env, std::string_view application_id) {
  velyn_ui::launch::LaunchIdentity identity;
  identity.package_id = resolve_package_id(env, application_id);
  identity.workspace_id = resolve_workspace_id(env);
  identity.local = true;
  return identity;
}

}  // namespace pdf_app
