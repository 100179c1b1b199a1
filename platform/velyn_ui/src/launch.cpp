#include "velyn_ui/launch.h"

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "backend/gtk_window.h"
#include "frame_driver.h"

namespace velyn_ui::launch {

LegacyLaunchInputs::LegacyLaunchInputs(state::State state, std::unique_ptr<Widget> widget,
                                       persist::RoomLocation companion)
    : state_(std::move(state)), widget_(std::move(widget)), companion_(std::move(companion)) {}
LegacyLaunchInputs::LegacyLaunchInputs(LegacyLaunchInputs&&) noexcept = default;
LegacyLaunchInputs& LegacyLaunchInputs::operator=(LegacyLaunchInputs&&) noexcept = default;
LegacyLaunchInputs::~LegacyLaunchInputs() = default;

LegacyLaunchInputs LegacyLaunchInputs::with_records(LaunchIdentity identity, record::RecordSet records) && {
  identity_ = std::move(identity);
  records_.emplace(std::move(records));
  return std::move(*this);
}

LegacyLaunchInputs LegacyLaunchInputs::with_registry(std::shared_ptr<velyn_actions::ActionRegistry> registry) && {
  registry_ = std::move(registry);
  return std::move(*this);
}

Theme shot_theme(const LaunchArgs&) { return Theme::light(); }

std::string usage(const LaunchDescriptor& d, std::string_view program) {
  const auto described = [&d](std::string_view name) {
    for (const auto& h : d.help)
      if (h.name == name) return h.text;
    return std::string_view();
  };
  const auto line = [](std::string_view name, std::string_view text) {
    return text.empty() ? fmt::format("  {}\n", name) : fmt::format("  {:<21} {}\n", name, text);
  };
  std::string out = fmt::format("Usage: {} [OPTIONS] [FILE]\n", program);
  if (const auto file = described("FILE"); !file.empty()) out += fmt::format("\nArguments:\n{}", line("FILE", file));
  out += "\nOptions:\n";
  for (auto flag : d.flags) out += line(flag, described(flag));
  for (auto option : d.value_options) out += line(fmt::format("{} VALUE", option), described(option));
  const WindowSize size = d.default_window_size ? d.default_window_size() : WindowSize{1280, 800};
  out += line("--screenshot OUT.png", "render one frame headlessly to a PNG and exit");
  out += line("--size WxH", fmt::format("screenshot size in pixels (default {}x{})", size.width, size.height));
  out += line("--scenario NAME", "start in a named state (for screenshots)");
  out += line("--help, -h", "show this help");
  if (!d.scenarios.empty()) {
    out += "\nScenarios:";
    for (auto s : d.scenarios) out += fmt::format(" {}", s);
    out += "\n";
  }
  return out;
}

namespace {

int fail_with(std::string_view message) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
  return 1;
}

int run_interactive(const LaunchDescriptor& d, const LaunchArgs& args) {
  if (!d.interactive.launch) return fail_with("this application has no interactive launch");
  auto inputs = d.interactive.launch(args);
  if (!inputs) return fail_with(inputs.error().message);
  velyn::Result<void> result;
  {
    auto widget = std::move(inputs->widget());
    const std::string title = widget->title();
    FrameDriver driver(std::move(inputs->state()), std::move(widget), Theme::light());
    auto& records = inputs->records();
    driver.attach_records(records ? std::move(*records) : record::RecordSet::in_memory(), docstore::Document());
    driver.attach_registry(inputs->registry());
    if (d.before_window) d.before_window(args);
    const WindowSize size = d.default_window_size ? d.default_window_size() : WindowSize{1280, 800};
    backend::WindowOptions options{title, size.width, size.height, 0, 0, std::nullopt};
    if (d.minimum_window_size) {
      const WindowSize minimum = d.minimum_window_size();
      options.min_width = minimum.width;
      options.min_height = minimum.height;
    }
    // Other processes' changes to the room wake the window through its folder;
    // without a room (or when the descriptor says so) nothing is watched.
    if (d.poll_room && !inputs->companion().file.empty()) options.watch_folder = inputs->companion().file.parent_path();
    result = backend::run_window(driver, options);
  }
  // The widget is gone by now, so the hook sees what it left behind (work it
  // handed to other threads) and may wait for it before the process exits.
  if (d.after_window) d.after_window(args);
  if (!result) return fail_with(result.error().message);
  return 0;
}

}  // namespace

int run(const LaunchDescriptor& d, std::span<const std::string> argv) {
  const std::string program = argv.empty() ? std::string(d.application_id) : argv[0];
  const std::span<const std::string> args = argv.empty() ? argv : argv.subspan(1);

  std::vector<std::string_view> flags(d.flags.begin(), d.flags.end());
  flags.insert(flags.end(), d.hidden_options.begin(), d.hidden_options.end());
  std::vector<std::string_view> values(d.value_options.begin(), d.value_options.end());
  values.insert(values.end(), d.repeatable_options.begin(), d.repeatable_options.end());

  auto parsed = LaunchArgs::parse(args, flags, values);
  if (!parsed) {
    std::fprintf(stderr, "%s\n%s", parsed.error().message.c_str(), usage(d, program).c_str());
    return 2;
  }
  if (d.before_parse) d.before_parse(*parsed);
  if (parsed->help()) {
    std::fputs(usage(d, program).c_str(), stdout);
    return 0;
  }
  if (d.before_launch) d.before_launch(*parsed);
  if (parsed->screenshot()) {
    if (!d.screenshot.launch) return fail_with("this application cannot render screenshots");
    auto shot = d.screenshot.launch(*parsed);
    return shot ? 0 : fail_with(shot.error().message);
  }
  return run_interactive(d, *parsed);
}

void run_or_exit(const LaunchDescriptor& descriptor, int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  std::exit(run(descriptor, args));
}

}  // namespace velyn_ui::launch
