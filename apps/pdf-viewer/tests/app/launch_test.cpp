// Launch: identity from the environment, what build_app starts from, and the
// headless screenshot launch.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/identity.h"
#include "app/launch.h"
#include "app/page_jump.h"
#include "app/pdf_app.h"
#include "app/ui/empty_screen.h"
#include "velyn_ui/launch.h"

namespace {

using pdf_app::BuildChoice;
using velyn_ui::launch::LaunchArgs;

pdf_app::EnvLookup env_of(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](std::string_view name) -> std::optional<std::string> {
    auto it = vars.find(std::string(name));
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

TEST(Identity, ResolvesPackageAndWorkspaceWithFallbacks) {
  struct Case {
    std::map<std::string, std::string> env;
    std::string package;
    std::string workspace;
  };
  const std::string app(pdf_app::kApplicationId);
  const std::string nil(pdf_app::kNilWorkspace);
  const std::string bad_utf8 = "\xff\xfe";
  const Case cases[] = {
      {{}, app, nil},
      {{{"VELYN_PACKAGE_ID", ""}, {"VELYN_WORKSPACE_ID", ""}}, app, nil},
      {{{"VELYN_PACKAGE_ID", "com.example.pkg"}}, "com.example.pkg", nil},
      {{{"VELYN_WORKSPACE_ID", "ws-1"}, {"TAVEN_CLUSTER_ID", "cluster"}}, app, "ws-1"},
      {{{"VELYN_WORKSPACE_ID", ""}, {"TAVEN_CLUSTER_ID", "cluster"}}, app, "cluster"},
      {{{"TAVEN_CLUSTER_ID", "cluster"}}, app, "cluster"},
      {{{"VELYN_WORKSPACE_ID", bad_utf8}, {"TAVEN_CLUSTER_ID", "cluster"}}, app, "cluster"},
      {{{"VELYN_PACKAGE_ID", bad_utf8}, {"TAVEN_CLUSTER_ID", ""}}, app, nil},
      // White space is a value like any other: not trimmed, not empty.
      {{{"VELYN_WORKSPACE_ID", " "}}, app, " "},
  };
  for (const auto& c : cases) {
    const auto identity = pdf_app::resolve_identity(env_of(c.env), pdf_app::kApplicationId);
    EXPECT_EQ(identity.package_id, c.package);
    EXPECT_EQ(identity.workspace_id, c.workspace);
    EXPECT_FALSE(identity.display_name);
    EXPECT_TRUE(identity.capabilities.empty() && identity.labels.empty() && identity.peers.empty());
    EXPECT_TRUE(identity.local);
  }
}

TEST(Identity, ClusterIdIsNotReadWhenWorkspaceIsUsable) {
  std::vector<std::string> reads;
  auto env = [&](std::string_view name) -> std::optional<std::string> {
    reads.emplace_back(name);
    if (name == "VELYN_WORKSPACE_ID") return "ws";
    return std::nullopt;
  };
  EXPECT_EQ(pdf_app::resolve_workspace_id(env), "ws");
  EXPECT_EQ(reads, std::vector<std::string>{"VELYN_WORKSPACE_ID"});
}

LaunchArgs parse(std::vector<std::string> args) {
  static constexpr std::string_view kFlags[] = {"--sample"};
  auto parsed = LaunchArgs::parse(args, kFlags);
  EXPECT_TRUE(parsed) << (parsed ? "" : parsed.error().message);
  return parsed ? *parsed : LaunchArgs{};
}

TEST(BuildApp, ChoosesScenarioThenPathThenSample) {
  using K = BuildChoice::Kind;
  struct Case {
    std::vector<std::string> args;
    K kind;
    std::string_view scenario;
    std::optional<std::string> path;
  };
  const Case cases[] = {
      {{}, K::Empty, "", std::nullopt},
      {{"--sample"}, K::Sample, "", std::nullopt},
      {{"a.pdf", "--sample"}, K::Open, "", "a.pdf"},
      {{"a.pdf", "b.pdf"}, K::Open, "", "a.pdf"},
      {{"--scenario", "search", "a.pdf"}, K::Scenario, "search", std::nullopt},
      {{"--scenario", "reorder", "a.pdf"}, K::Scenario, "reorder", "a.pdf"},
      {{"--scenario", "import", "a.pdf"}, K::Scenario, "import", "a.pdf"},
      {{"--scenario", "import"}, K::Scenario, "import", std::nullopt},
      // Unknown (or differently cased) names fall through to path, sample, empty.
      {{"--scenario", "nope", "a.pdf"}, K::Open, "", "a.pdf"},
      {{"--scenario", "Search", "--sample"}, K::Sample, "", std::nullopt},
      {{"--scenario", "nope"}, K::Empty, "", std::nullopt},
  };
  for (const auto& c : cases) {
    const BuildChoice choice = pdf_app::choose_build(parse(c.args));
    EXPECT_EQ(choice.kind, c.kind) << c.args.size();
    EXPECT_EQ(choice.scenario, c.scenario);
    EXPECT_EQ(choice.path, c.path);
  }
}

// The demo's markup belongs to the sample; a real file's record keeps only its real review.
TEST(BuildApp, ScenariosOnARealFileSeedNoDemoMarkup) {
  for (const char* scenario : {"reorder", "import"}) {
    auto widget = pdf_app::build_app(parse({"--scenario", scenario, "/tmp/real.pdf"}));
    const auto& app = static_cast<const pdf_app::PdfApp&>(*widget);
    EXPECT_FALSE(app.demo_mode) << scenario;
  }
  auto sample = pdf_app::build_app(parse({"--scenario", "reorder"}));
  EXPECT_TRUE(static_cast<const pdf_app::PdfApp&>(*sample).demo_mode);
}

TEST(Help, DescribesTheFileTheSampleFlagAndTheRealScreenshotDefault) {
  const std::string help = velyn_ui::launch::usage(pdf_app::launch_descriptor(), "pdf-viewer");
  EXPECT_NE(help.find("  FILE                  the PDF to open\n"), std::string::npos) << help;
  EXPECT_NE(help.find("  --sample              open the built-in sample document"), std::string::npos) << help;
  EXPECT_NE(help.find("screenshot size in pixels (default 1280x800)"), std::string::npos) << help;
}

TEST(PageJump, TheTypedNumberIsClampedToTheDocument) {
  struct Case {
    std::string_view text;
    std::optional<std::uint64_t> page;
  };
  const Case cases[] = {
      {"12", 12}, {" 7 ", 7}, {"0", 1}, {"99", 40}, {"99999999999999999999999", 40},
      {"", std::nullopt}, {"x", std::nullopt}, {"3a", std::nullopt}, {"-2", std::nullopt}, {"1.5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(pdf_app::parse_page_number(c.text, 40), c.page) << c.text;
  EXPECT_EQ(pdf_app::parse_page_number("1", 0), std::nullopt);
}

TEST(EmptyScreen, ErrorBodyFollowsTheOpenError) {
  struct Case {
    std::string error;
    std::string_view body;
  };
  const Case cases[] = {
      {"Could not open a.pdf: document is Encrypted", "This PDF needs a password before it can be opened."},
      {"Could not open a.pdf: PASSWORD required", "This PDF needs a password before it can be opened."},
      {"Could not open a.pdf: the file is unavailable", "The file is unavailable or isn't a readable PDF."},
      {"Could not open a.pdf: Not a readable PDF", "The file is unavailable or isn't a readable PDF."},
      {"Could not open a.pdf: page too large", "Check the file and try again."},
  };
  for (const auto& c : cases) {
    const auto text = pdf_app::empty_screen_text(pdf_app::EmptyState::Failed, c.error);
    EXPECT_EQ(text.title, "Couldn't open this document");
    EXPECT_EQ(text.body, c.body) << c.error;
    EXPECT_EQ(text.detail, c.error);  // the cause itself, whatever body it chose
  }
  EXPECT_EQ(pdf_app::empty_screen_text(pdf_app::EmptyState::Empty, "").title, "No document open");
  EXPECT_TRUE(pdf_app::empty_screen_text(pdf_app::EmptyState::Empty, "stale").detail.empty());
  EXPECT_EQ(pdf_app::empty_screen_text(pdf_app::EmptyState::Opening, "").body, "Reading the selected document.");
}

class ScreenshotLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pdf-viewer-shot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  int run(std::vector<std::string> args) {
    args.insert(args.begin(), "pdf-viewer");
    return velyn_ui::launch::run(pdf_app::launch_descriptor(), args);
  }
  std::filesystem::path dir_;
};

// Reads a PNG's size from its IHDR chunk.
std::pair<std::uint32_t, std::uint32_t> png_size(const std::filesystem::path& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {0, 0};
  unsigned char header[24] = {};
  const std::size_t n = std::fread(header, 1, sizeof header, f);
  std::fclose(f);
  if (n != sizeof header) return {0, 0};
  auto be32 = [&](int at) {
    return (std::uint32_t(header[at]) << 24) | (std::uint32_t(header[at + 1]) << 16) |
           (std::uint32_t(header[at + 2]) << 8) | header[at + 3];
  };
  return {be32(16), be32(20)};
}

TEST_F(ScreenshotLaunch, WritesAPngOfTheRequestedSize) {
  const auto out = dir_ / "empty.png";
  ASSERT_EQ(run({"--screenshot", out.string()}), 0);
  EXPECT_EQ(png_size(out), (std::pair<std::uint32_t, std::uint32_t>{1280, 800}));
  const auto small = dir_ / "small.png";
  ASSERT_EQ(run({"--screenshot", small.string(), "--size", "900x600"}), 0);
  EXPECT_EQ(png_size(small), (std::pair<std::uint32_t, std::uint32_t>{900, 600}));
  // The screenshot never touches the shared store.
  EXPECT_FALSE(std::filesystem::exists(dir_ / "data"));
}

TEST_F(ScreenshotLaunch, FailsWithoutAPath) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(run({"--screenshot"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Missing screenshot path\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(run({"--screenshot", "--size", "900x600"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Missing screenshot path\n");
}

TEST_F(ScreenshotLaunch, RejectsBadArguments) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(run({"--size", "0x600", "--screenshot", "x.png"}), 2);
  EXPECT_EQ(run({"--bogus"}), 2);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Invalid screenshot size \"0x600\""), std::string::npos) << err;
  EXPECT_NE(err.find("Unknown option --bogus"), std::string::npos) << err;
}

}  // namespace
