#include "velyn_ui/records/open_room.h"

#include <cstdlib>

#include "velyn/try.h"
#include "velyn_ui/records/sqlite_room.h"

namespace velyn_ui::persist {
namespace {

bool safe_component(std::string_view id) {
  return !id.empty() && id != "." && id != ".." && id.find('/') == std::string_view::npos &&
         id.find('\0') == std::string_view::npos;
}

}  // namespace

std::filesystem::path data_home(std::string_view application_id) {
  // XDG: a relative XDG_DATA_HOME is invalid and ignored.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::filesystem::path base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home && *home ? home : "/") / ".local" / "share";
  }
  return base / std::string(application_id);
}

velyn::Result<std::filesystem::path> room_path(std::string_view application_id, std::string_view workspace_id) {
  if (!safe_component(application_id)) {
    return velyn::fail("the application id \"" + std::string(application_id) + "\" cannot name a directory");
  }
  if (!safe_component(workspace_id)) {
    return velyn::fail("the workspace id \"" + std::string(workspace_id) + "\" cannot name a room file");
  }
  return data_home(application_id) / "rooms" / (std::string(workspace_id) + ".sqlite3");
}

velyn::Result<OpenedRoom> open(const std::filesystem::path& file) {
  auto room = VELYN_TRY(SqliteRoom::open(file));
  auto set = VELYN_TRY(record::RecordSet::with_room(std::move(room)));
  return OpenedRoom{std::move(set), RoomLocation{{}, {}, file}};
}

velyn::Result<OpenedRoom> open_room(std::string_view application_id, std::string_view workspace_id) {
  auto opened = open(VELYN_TRY(room_path(application_id, workspace_id)));
  if (!opened) return opened;
  opened->companion.application_id = std::string(application_id);
  opened->companion.workspace_id = std::string(workspace_id);
  return opened;
}

}  // namespace velyn_ui::persist
