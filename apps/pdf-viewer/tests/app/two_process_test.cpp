// Two processes on one workspace and one PDF: what one dispatches reaches the
// other's review model, page sequence and picture through the shared room.
//
// The test process runs a headless viewer bound to the room; a second process
// (this binary again, running only TwoProcessWriter.Run) runs its own viewer,
// duplicates page 1 through the page rail's menu (input → rail outcome →
// dispatched plan action → room) and adds a highlight through the toolkit's
// action host on its own record set (the room API another instance uses).
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "actions/viewer_dispatch.h"
#include "app/launch.h"
#include "app/pdf_app.h"
#include "pdf_fixtures.h"
#include "velyn_ui/action_host.h"
#include "velyn_ui/headless.h"
#include "velyn_ui/records/open_room.h"

extern char** environ;

namespace {

namespace source = pdf::source;
using pdf_app::PdfApp;

constexpr const char* kRoleVariable = "PDF_VIEWER_TWO_PROCESS_PDF";
constexpr std::string_view kWorkspace = "00000000-0000-0000-0000-000000000000";
constexpr std::string_view kHighlightId = "6f1c2a9e-3b4d-4e5f-8a7b-9c0d1e2f3a4b";
constexpr double kDeadlineSeconds = 30;
// Page points of the highlight: below the fixture's two lines of text.
constexpr double kHighlightX = 100, kHighlightY = 500, kHighlightW = 300, kHighlightH = 60;

velyn_ui::headless::FrameHarness viewer_on_room(const std::filesystem::path& pdf) {
  auto room = velyn_ui::persist::open_room(pdf_app::kApplicationId, kWorkspace);
  EXPECT_TRUE(room) << (room ? "" : room.error().message);
  auto app = std::make_unique<PdfApp>();
  app->start_open(pdf.string());
  auto harness = velyn_ui::headless::FrameHarness::new_with_theme(velyn_ui::state::State(), std::move(app), 1280,
                                                                  800, velyn_ui::Theme::light());
  harness.with_records(std::move(room->records), docstore::Document());
  harness.with_registry(*pdf_app::make_action_registry());
  return harness;
}

PdfApp& viewer(velyn_ui::headless::FrameHarness& harness) { return static_cast<PdfApp&>(harness.widget()); }

// The second process: runs only when the parent names the PDF.
TEST(TwoProcessWriter, Run) {
  const char* pdf = std::getenv(kRoleVariable);
  if (!pdf) GTEST_SKIP() << "runs as the second process of TwoProcesses";

  // 1. A viewer duplicates page 1 from the page rail's menu.
  auto harness = viewer_on_room(pdf);
  ASSERT_TRUE(harness.wait_for_visuals(kDeadlineSeconds, false));
  auto& app = viewer(harness);
  ASSERT_TRUE(app.document_loaded && app.panels.thumbnails_open);
  ASSERT_EQ(app.page_count(), 3u);
  const auto thumbs = app.rail.thumb_rects();
  ASSERT_FALSE(thumbs.empty());
  harness.send(velyn_ui::PointerPress{thumbs[0].rect.center(), velyn_ui::PointerButton::Secondary});
  ASSERT_TRUE(app.rail.menu_open());
  harness.send(velyn_ui::PointerPress{app.rail.menu_entry_rect(0).center()});
  ASSERT_EQ(app.page_count(), 4u);  // shown in this viewer at once
  EXPECT_FALSE(app.take_action_outcome());  // the host collected it after the event

  // 2. Another instance of the room adds a highlight through the action host.
  auto room = velyn_ui::persist::open_room(pdf_app::kApplicationId, kWorkspace);
  ASSERT_TRUE(room);
  auto& records = room->records;
  auto document = records.document_for(pdf_app::record_for_path(pdf));
  ASSERT_TRUE(document);
  velyn_ui::action_host::ActionHost host(
      *pdf_app::make_action_registry(),
      [&](const docstore::Document& d, const docstore::Change&) -> velyn::Result<void> {
        auto written = records.persist_local_changes(d);
        if (!written) return std::unexpected(written.error());
        return {};
      });
  const pdf_actions::PdfViewerAction add{pdf_actions::PdfViewerAction::AddAnnotation{
      std::string(kHighlightId), 1,
      pdf_actions::AnnoGeom::Highlight{kHighlightX, kHighlightY, kHighlightW, kHighlightH}, "yellow", "Writer"}};
  auto outcome = pdf_actions::dispatch_viewer_action(document->get(), host.transport(),
                                                     pdf_app::kApplicationId, add);
  ASSERT_TRUE(outcome) << outcome.error().text();
  EXPECT_TRUE(outcome->replicated);
}

class TwoProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pdf-viewer-two-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    unsetenv("VELYN_WORKSPACE_ID");
    pdf_ = dir_ / "shared.pdf";
    source::testing::FixtureSpec spec;
    for (int i = 0; i < 3; ++i) {
      source::testing::FixturePage page;
      page.lines = {"Page " + std::to_string(i + 1), "shared review"};
      spec.pages.push_back(page);
    }
    source::testing::write_pdf(pdf_, spec);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the writer process to its end; its exit status.
  int run_writer() {
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string filter = "--gtest_filter=TwoProcessWriter.Run";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back(std::string(kRoleVariable) + "=" + pdf_.string());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> argv{const_cast<char*>(exe.c_str()), const_cast<char*>(filter.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::filesystem::path dir_;
  std::filesystem::path pdf_;
};

TEST_F(TwoProcesses, WhatOneDispatchesAppearsInTheOthersNextFrames) {
  auto harness = viewer_on_room(pdf_);
  ASSERT_TRUE(harness.wait_for_visuals(kDeadlineSeconds, false));
  auto& app = viewer(harness);
  ASSERT_TRUE(app.document_loaded) << app.open_error.value_or("");
  ASSERT_EQ(app.page_count(), 3u);
  ASSERT_TRUE(app.review.annotations.empty());

  ASSERT_EQ(run_writer(), 0);

  // The window polls the room on a timer; here each frame is preceded by a poll.
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::duration<double>(kDeadlineSeconds);
  while ((app.page_count() != 4 || app.review.annotations.empty()) && clock::now() < deadline) {
    harness.poll_records();
    harness.frame();
  }
  ASSERT_EQ(app.page_count(), 4u);
  EXPECT_EQ(app.plan[1].source_page, 1u);  // the duplicate follows its original
  ASSERT_EQ(app.review.annotations.size(), 1u);
  EXPECT_EQ(app.review.annotations[0].id, kHighlightId);
  EXPECT_EQ(app.review.annotations[0].author, "Writer");

  // And the picture: the highlight is painted over page 1 once its raster is back.
  app.go_to_page(1);
  ASSERT_TRUE(harness.wait_for_visuals(kDeadlineSeconds, false));
  const auto page = app.page_rect(0);
  const double z = app.viewport.zoom();
  const auto c = harness.pixel(std::uint32_t(page.x0 + (kHighlightX + kHighlightW / 2) * z),
                               std::uint32_t(page.y0 + (kHighlightY + kHighlightH / 2) * z));
  EXPECT_GT(c.r, 0.9);
  EXPECT_LT(c.b, 0.85);
}

}  // namespace
