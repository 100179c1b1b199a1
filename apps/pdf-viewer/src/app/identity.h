#pragma once
// Who a running viewer is: its package and the workspace whose room it shares,
// resolved from the environment.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "velyn_ui/launch.h"

namespace pdf_app {

// Reads one environment variable; nullopt when unset.
using EnvLookup = std::function<std::optional<std::string>(std::string_view name)>;
EnvLookup process_environment();

// The nil UUID, the workspace of a launch that names none.
inline constexpr std::string_view kNilWorkspace = "00000000-0000-0000-0000-000000000000";

// VELYN_PACKAGE_ID when set, valid UTF-8 and not empty; else the application id.
std::string resolve_package_id(const EnvLookup& env, std::string_view application_id);
// VELYN_WORKSPACE_ID, else TAVEN_CLUSTER_ID (read only when the first is
// unusable), under the same conditions; else the nil UUID.
std::string resolve_workspace_id(const EnvLookup& env);

velyn_ui::launch::LaunchIdentity resolve_identity(const EnvLookup& env, std::string_view application_id);

}  // namespace pdf_app
