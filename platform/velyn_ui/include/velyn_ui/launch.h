#pragma once
// The launcher: parses arguments, then either runs the interactive window or
// renders one headless screenshot, reports errors and exits the process.
//
// An application describes itself with one constant LaunchDescriptor and
// hands it to run_or_exit from main(); the launcher calls back into it.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "docstore/document.h"
#include "velyn/error.h"
#include "velyn_ui/launch_args.h"
#include "velyn_ui/records/open_room.h"
#include "velyn_ui/records/record_set.h"
#include "velyn_ui/state.h"
#include "velyn_ui/theme.h"
#include "velyn_ui/widget.h"

namespace velyn_actions {
class ActionRegistry;
}

namespace velyn_ui::launch {

// Who this instance is: the package it runs as and the workspace whose room it
// shares. The remaining fields describe richer identities (display names,
// capabilities, peers) that a desktop session may supply; a plain launch
// leaves them empty.
struct LaunchIdentity {
  std::string package_id;
  std::string workspace_id;
  std::optional<std::string> display_name;
  std::optional<std::string> device_name;
  std::map<std::string, std::string> capabilities;
  std::map<std::string, std::string> labels;
  std::vector<std::string> peers;
  bool local = true;  // the identity was resolved on this machine
  friend bool operator==(const LaunchIdentity&, const LaunchIdentity&) = default;
};

// What an interactive launch hands the launcher: toolkit state, the root
// widget, the room, and the action registry.
class LegacyLaunchInputs {
 public:
  LegacyLaunchInputs(state::State state, std::unique_ptr<Widget> widget, persist::RoomLocation companion);
  LegacyLaunchInputs(LegacyLaunchInputs&&) noexcept;
  LegacyLaunchInputs& operator=(LegacyLaunchInputs&&) noexcept;
  ~LegacyLaunchInputs();

  LegacyLaunchInputs with_records(LaunchIdentity identity, record::RecordSet records) &&;
  LegacyLaunchInputs with_registry(std::shared_ptr<velyn_actions::ActionRegistry> registry) &&;

  state::State& state() { return state_; }
  std::unique_ptr<Widget>& widget() { return widget_; }
  const persist::RoomLocation& companion() const { return companion_; }
  const std::optional<LaunchIdentity>& identity() const { return identity_; }
  std::optional<record::RecordSet>& records() { return records_; }
  const std::shared_ptr<velyn_actions::ActionRegistry>& registry() const { return registry_; }

 private:
  state::State state_;
  std::unique_ptr<Widget> widget_;
  persist::RoomLocation companion_;
  std::optional<LaunchIdentity> identity_;
  std::optional<record::RecordSet> records_;
  std::shared_ptr<velyn_actions::ActionRegistry> registry_;
};

using BuildFn = std::unique_ptr<Widget> (*)(const LaunchArgs&);
using InteractiveFn = velyn::Result<LegacyLaunchInputs> (*)(const LaunchArgs&);
using ShotFn = velyn::Result<void> (*)(const LaunchArgs&);
using HookFn = void (*)(const LaunchArgs&);
using StoreOpener = velyn::Result<persist::OpenedRoom> (*)(const std::filesystem::path&);

struct WindowSize {
  int width = 0;
  int height = 0;
};
using WindowSizeFn = WindowSize (*)();

struct InteractivePair {
  BuildFn build = nullptr;
  InteractiveFn launch = nullptr;
};
struct ScreenshotPair {
  BuildFn build = nullptr;
  ShotFn launch = nullptr;
};

// The fields in the order applications list them.
// One line of --help: an option or argument and what it does.
struct OptionHelp {
  std::string_view name;  // "--sample", "FILE"
  std::string_view text;
};

struct LaunchDescriptor {
  std::string_view application_id;
  std::span<const std::string_view> value_options;       // "--name VALUE" options of the application
  std::span<const std::string_view> repeatable_options;  // options that may be given several times
  std::span<const std::string_view> flags;               // value-less flags ("--sample")
  std::span<const std::string_view> hidden_options;      // accepted, not listed by --help
  std::span<const std::string_view> scenarios;           // screenshot scenario names
  std::span<const OptionHelp> help;                      // what the positional argument and the flags mean
  HookFn before_parse = nullptr;
  HookFn before_launch = nullptr;
  InteractivePair interactive;
  ScreenshotPair screenshot;
  HookFn before_window = nullptr;
  HookFn after_window = nullptr;
  int windows = 1;
  WindowSizeFn default_window_size = nullptr;
  // The smallest size the window may be given (none: GTK's own minimum).
  WindowSizeFn minimum_window_size = nullptr;
  StoreOpener store_opener = nullptr;
  bool single_instance = false;     // a second launch may run beside the first
  bool poll_room = true;            // merge other processes' room changes while running
  bool accessibility = true;        // expose the widget's accessibility tree
};

// Parses `argv`, runs the launch and exits the process with its status:
// 0 on success, 1 when the launch failed, 2 for bad arguments.
[[noreturn]] void run_or_exit(const LaunchDescriptor& descriptor, int argc, char** argv);

// The same without exiting: returns the process status (tests).
int run(const LaunchDescriptor& descriptor, std::span<const std::string> args);

// The theme screenshots are rendered with.
Theme shot_theme(const LaunchArgs& args);

// Usage text listing the launcher's flags and the descriptor's.
std::string usage(const LaunchDescriptor& descriptor, std::string_view program);

}  // namespace velyn_ui::launch
