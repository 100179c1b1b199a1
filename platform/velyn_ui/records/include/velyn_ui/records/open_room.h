#pragma once
// Opening the room of a workspace:
// $XDG_DATA_HOME/<application id>/rooms/<workspace id>.sqlite3
// (~/.local/share/... when XDG_DATA_HOME is unset or empty).
#include <filesystem>
#include <string>
#include <string_view>

#include "velyn/error.h"
#include "velyn_ui/records/record_set.h"

namespace velyn_ui::persist {

// What the launcher keeps about the opened room besides its records.
struct RoomLocation {
  std::string application_id;
  std::string workspace_id;
  std::filesystem::path file;
};

struct OpenedRoom {
  record::RecordSet records;
  RoomLocation companion;
};

// The data directory of an application, from the environment.
std::filesystem::path data_home(std::string_view application_id);
// The room file of a workspace. Ids that are not safe single file-name
// components (empty, ".", "..", containing "/" or NUL) are refused.
velyn::Result<std::filesystem::path> room_path(std::string_view application_id, std::string_view workspace_id);

velyn::Result<OpenedRoom> open_room(std::string_view application_id, std::string_view workspace_id);
// Opens a room at an explicit file (the launcher's store opener; tests).
velyn::Result<OpenedRoom> open(const std::filesystem::path& file);

}  // namespace velyn_ui::persist
