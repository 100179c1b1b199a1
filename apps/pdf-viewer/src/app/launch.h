#pragma once
// Process entry of the viewer: the launch descriptor and the three functions
// the toolkit's launcher calls back.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "velyn/error.h"
#include "velyn_actions/registry.h"
#include "velyn_ui/launch.h"

namespace pdf_app {

// Also the default package id and the name the room is opened under.
inline constexpr std::string_view kApplicationId = "io.velyn.pdfviewer";
inline constexpr std::string_view kSampleFlag = "--sample";
inline constexpr std::array<std::string_view, 10> kScenarios = {
    "edit-comment", "selection-hud", "page-bubble", "context-menu", "search",
    "sign",         "reorder",       "import",      "loading",      "error"};

// What build_app starts from, decided by the arguments alone.
struct BuildChoice {
  enum class Kind { Scenario, Open, Sample, Empty } kind = Kind::Empty;
  std::string_view scenario;        // for Kind::Scenario: one of kScenarios
  std::optional<std::string> path;  // the first positional argument, if any
  friend bool operator==(const BuildChoice&, const BuildChoice&) = default;
};
BuildChoice choose_build(const velyn_ui::launch::LaunchArgs& args);

// The viewer the arguments ask for: a scenario (which wins), else the file to
// open, else the sample, else the empty viewer. Never fails.
std::unique_ptr<velyn_ui::Widget> build_app(const velyn_ui::launch::LaunchArgs& args);

// The action registry of every launch: the viewer's decoder for "pdf_viewer.action".
velyn::Result<std::shared_ptr<velyn_actions::ActionRegistry>> make_action_registry();

// Interactive launch: identity, room, toolkit state, viewer, action registry.
velyn::Result<velyn_ui::launch::LegacyLaunchInputs> launch_app(const velyn_ui::launch::LaunchArgs& args);

// Renders one frame headlessly to the screenshot path.
velyn::Result<void> launch_shot(const velyn_ui::launch::LaunchArgs& args);

velyn_ui::launch::WindowSize default_window_size();
// The smallest window whose toolbar still fits (see kMinWindowWidth).
velyn_ui::launch::WindowSize minimum_window_size();

const velyn_ui::launch::LaunchDescriptor& launch_descriptor();

}  // namespace pdf_app
