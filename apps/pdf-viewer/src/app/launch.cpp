#include "app/launch.h"

#include <chrono>

#include "actions/viewer_dispatch.h"
#include "app/identity.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "app/search_run.h"
#include "docstore/document.h"
#include "source/source_jobs.h"
#include "source/source_worker.h"
#include "velyn/try.h"
#include "velyn_ui/log.h"
#include "velyn_actions/registry.h"
#include "velyn_ui/headless.h"
#include "velyn_ui/records/open_room.h"
#include "velyn_ui/records/record_set.h"

namespace pdf_app {

// Imported files live in the content store under the application id; the
// worker names it on its own because source/ cannot see the app.
static_assert(pdf::source::kContentStoreApplicationId == kApplicationId);

namespace {

constexpr std::array<std::string_view, 1> kFlags = {kSampleFlag};
constexpr std::array<velyn_ui::launch::OptionHelp, 2> kHelp = {{
    {"FILE", "the PDF to open"},
    {kSampleFlag, "open the built-in sample document (a FILE, when given, wins)"},
}};
constexpr double kVisualsTimeoutSeconds = 15;

// How long an exiting viewer waits for the worker to release what the closed
// window left it (documents, a save still being written and its private
// directory beside the destination).
constexpr auto kExitReleaseWait = std::chrono::seconds(10);

std::unique_ptr<PdfApp> build_empty() { return std::make_unique<PdfApp>(); }

void release_worker_leftovers(const velyn_ui::launch::LaunchArgs&) {
  if (!pdf::source::SourceWorker::get().wait_for_released_clients(kExitReleaseWait)) {
    velyn_ui::log::warning("the PDF worker was still busy when the viewer exited");
  }
}

}  // namespace

BuildChoice choose_build(const velyn_ui::launch::LaunchArgs& args) {
  BuildChoice choice;
  if (!args.positional().empty()) choice.path = args.positional().front();
  if (const auto& scenario = args.scenario()) {
    for (std::string_view known : kScenarios) {
      if (*scenario == known) {
        choice.kind = BuildChoice::Kind::Scenario;
        choice.scenario = known;
        // Only the page-plan scenarios look at the file; the others show the sample.
        if (known != "reorder" && known != "import") choice.path.reset();
        return choice;
      }
    }
    // An unknown scenario name is ignored: the launch falls through.
  }
  if (choice.path) {
    choice.kind = BuildChoice::Kind::Open;
  } else if (args.has(kSampleFlag)) {
    choice.kind = BuildChoice::Kind::Sample;
  }
  return choice;
}

std::unique_ptr<velyn_ui::Widget> build_app(const velyn_ui::launch::LaunchArgs& args) {
  const BuildChoice choice = choose_build(args);
  auto app = build_empty();
  switch (choice.kind) {
    case BuildChoice::Kind::Open: app->start_open(*choice.path); break;
    case BuildChoice::Kind::Scenario:
      if (choice.scenario == "loading") {
        app->pending_open = PendingOpen{0, "opening.pdf", "opening.pdf"};
      } else if (choice.scenario == "error") {
        app->open_error = "Could not open inaccessible.pdf: the file is unavailable or is not a readable PDF";
      } else if (choice.path) {
        // A real file's shared record holds a real review: the demo's markup
        // is never seeded into it, only the sample gets it.
        app->start_open(*choice.path);
        if (choice.scenario == "reorder") app->synthetic_rail_drag = true;
      } else {
        if (choice.scenario == "reorder") app->synthetic_rail_drag = true;
        app->open_sample();
        if (choice.scenario == "page-bubble") app->page_bubble_pinned = true;
        if (choice.scenario == "sign") execute(*app, command::SetTool{Tool::Sign});
        if (choice.scenario == "search") {
          app->search.field.set_text("velyn");
          open_search(*app);
        }
      }
      break;
    case BuildChoice::Kind::Sample: app->open_sample(); break;
    case BuildChoice::Kind::Empty: break;
  }
  return app;
}

velyn::Result<std::shared_ptr<velyn_actions::ActionRegistry>> make_action_registry() {
  auto registry = std::make_shared<velyn_actions::ActionRegistry>();
  VELYN_TRY_VOID(pdf_actions::register_viewer_actions(*registry));
  return registry;
}

velyn::Result<velyn_ui::launch::LegacyLaunchInputs> launch_app(const velyn_ui::launch::LaunchArgs& args) {
  const auto env = process_environment();
  velyn_ui::launch::LaunchIdentity identity = resolve_identity(env, kApplicationId);
  auto room = VELYN_TRY(velyn_ui::persist::open_room(kApplicationId, identity.workspace_id));
  velyn_ui::state::State state;
  auto viewer = build_app(args);
  auto registry = VELYN_TRY(make_action_registry());
  return velyn_ui::launch::LegacyLaunchInputs(std::move(state), std::move(viewer), std::move(room.companion))
      .with_records(std::move(identity), std::move(room.records))
      .with_registry(std::move(registry));
}

velyn::Result<void> launch_shot(const velyn_ui::launch::LaunchArgs& args) {
  velyn_ui::state::State state;
  auto viewer = build_app(args);
  const auto window = default_window_size();
  const auto size = args.screenshot_size().value_or(velyn_ui::launch::ScreenshotSize{
      static_cast<std::uint32_t>(window.width), static_cast<std::uint32_t>(window.height)});
  auto harness = velyn_ui::headless::FrameHarness::new_with_theme(std::move(state), std::move(viewer), size.width,
                                                                  size.height, velyn_ui::launch::shot_theme(args));
  harness.with_records(velyn_ui::record::RecordSet::in_memory(), docstore::Document());
  harness.with_registry(VELYN_TRY(make_action_registry()));
  if (args.scenario() != "loading") {
    if (auto waited = harness.wait_for_visuals(kVisualsTimeoutSeconds, false); !waited) return waited;
  }
  if (!args.screenshot_path()) return velyn::fail("Missing screenshot path");
  return harness.render_png(*args.screenshot_path());
}

velyn_ui::launch::WindowSize default_window_size() { return {1280, 800}; }

velyn_ui::launch::WindowSize minimum_window_size() {
  return {static_cast<int>(kMinWindowWidth), static_cast<int>(kMinWindowHeight)};
}

const velyn_ui::launch::LaunchDescriptor& launch_descriptor() {
  static const velyn_ui::launch::LaunchDescriptor descriptor{
      .application_id = kApplicationId,
      .value_options = {},
      .repeatable_options = {},
      .flags = kFlags,
      .hidden_options = {},
      .scenarios = kScenarios,
      .help = kHelp,
      .before_parse = nullptr,
      .before_launch = nullptr,
      .interactive = {build_app, launch_app},
      .screenshot = {build_app, launch_shot},
      .before_window = nullptr,
      .after_window = release_worker_leftovers,
      .windows = 1,
      .default_window_size = default_window_size,
      .minimum_window_size = minimum_window_size,
      .store_opener = velyn_ui::persist::open,
      .single_instance = false,
      .poll_room = true,
      .accessibility = true,
  };
  return descriptor;
}

}  // namespace pdf_app
