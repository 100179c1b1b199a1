// Frame times of the viewer's headless cycle at 1280 × 800: the sample with its
// demo markup at fit page, a 1000-page PDF scrolled one screen per frame with
// its rasters cached, frames drawn while nothing changes, and the time from
// process start to the first frame showing page 1 of the 1000-page PDF.
//   frame                    all figures
//   frame --first-page FILE  (internal) prints "SHOWN" once page 1 is shown
#include <cairo-pdf.h>
#include <cairo.h>
#include <fmt/format.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/pdf_app.h"
#include "docstore/document.h"
#include "velyn_ui/headless.h"
#include "velyn_ui/records/record_set.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kWidth = 1280;
constexpr std::uint32_t kHeight = 800;
constexpr int kSampleFrames = 300;
constexpr int kScrollScreens = 24;
constexpr int kScrollRounds = 8;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(std::min(double(v.size() - 1), p * double(v.size() - 1) + 0.5));
  return v[i];
}

void write_pages(const std::filesystem::path& path, int count) {
  cairo_surface_t* s = cairo_pdf_surface_create(path.c_str(), 612, 792);
  cairo_t* cr = cairo_create(s);
  for (int i = 1; i <= count; ++i) {
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 28);
    cairo_move_to(cr, 72, 120);
    cairo_show_text(cr, fmt::format("Page {}", i).c_str());
    cairo_set_font_size(cr, 11);
    for (int l = 0; l < 40; ++l) {
      cairo_move_to(cr, 72, 160 + l * 14);
      cairo_show_text(cr, "The quick brown fox jumps over the lazy dog while the keeper climbs the stair.");
    }
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}

velyn_ui::headless::FrameHarness harness_for(std::unique_ptr<pdf_app::PdfApp> app) {
  auto h = velyn_ui::headless::FrameHarness::new_with_theme(velyn_ui::state::State(), std::move(app), kWidth, kHeight,
                                                            velyn_ui::Theme::light());
  h.with_records(velyn_ui::record::RecordSet::in_memory(), docstore::Document());
  return h;
}

pdf_app::PdfApp& viewer(velyn_ui::headless::FrameHarness& h) { return static_cast<pdf_app::PdfApp&>(h.widget()); }

void print_times(std::string_view name, const std::vector<double>& times) {
  fmt::print("BENCH {}_p50 {:.3f} ms\n", name, percentile(times, 0.5));
  fmt::print("BENCH {}_p99 {:.3f} ms\n", name, percentile(times, 0.99));
}

int first_page(const char* file) {
  auto app = std::make_unique<pdf_app::PdfApp>();
  app->start_open(file);
  auto h = harness_for(std::move(app));
  for (;;) {
    h.frame();
    auto& v = viewer(h);
    if (v.document_loaded && !v.missing_visible_raster && v.rasters.size() > 0) break;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  std::puts("SHOWN");
  return 0;
}

double measure_first_page(const char* self, const std::filesystem::path& pdf) {
  const auto start = Clock::now();
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string a0 = self, a1 = "--first-page", a2 = pdf.string();
  char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) return -1;
  char buf[16] = {};
  const auto n = read(out[0], buf, sizeof buf - 1);
  const double elapsed = ms_since(start);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return n > 0 ? elapsed : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--first-page") return first_page(argv[2]);

  const auto dir = std::filesystem::temp_directory_path() / fmt::format("viewer-frame-bench-{}", getpid());
  std::filesystem::create_directories(dir);
  const auto pdf = dir / "pages-1000.pdf";
  write_pages(pdf, 1000);

  // Sample with demo markup at fit page; a moving pointer makes every frame a real one.
  {
    auto app = std::make_unique<pdf_app::PdfApp>(nullptr);
    app->open_sample();
    auto h = harness_for(std::move(app));
    (void)h.wait_for_visuals(10, true);
    std::vector<double> times;
    for (int i = 0; i < kSampleFrames; ++i) {
      const auto start = Clock::now();
      h.send(velyn_ui::PointerMove{{600.0 + (i % 7), 400.0}});
      times.push_back(ms_since(start));
    }
    print_times("frame_sample", times);

    // Idle: frames the loop would draw in one second with nothing changing.
    (void)h.wait_for_visuals(10, true);
    int idle = 0;
    const auto idle_start = Clock::now();
    while (ms_since(idle_start) < 1000) {
      if (h.widget().needs_frame() || h.widget().busy()) {
        h.frame();
        ++idle;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    fmt::print("BENCH idle_frames {} frames\n", idle);
  }

  // 1000 pages, one screen per frame, rasters cached after a warm-up pass.
  {
    auto app = std::make_unique<pdf_app::PdfApp>();
    app->start_open(pdf.string());
    auto h = harness_for(std::move(app));
    if (auto waited = h.wait_for_visuals(60, false); !waited) {
      fmt::print(stderr, "open failed: {}\n", waited.error().message);
      return 1;
    }
    auto& v = viewer(h);
    if (!v.document_loaded) {
      fmt::print(stderr, "open failed: {}\n", v.open_error.value_or("?"));
      return 1;
    }
    const double screen = v.regions.canvas.height();
    const auto scroll_to = [&](int k) {
      v.viewport.set_scroll({0, screen * k});
      v.update_current_page();
    };
    for (int k = 0; k < kScrollScreens; ++k) {  // warm-up: every screen rendered once
      scroll_to(k);
      (void)h.wait_for_visuals(30, false);
    }
    std::vector<double> times;
    for (int round = 0; round < kScrollRounds; ++round) {
      scroll_to(0);
      h.frame();
      for (int k = 1; k < kScrollScreens; ++k) {
        const auto start = Clock::now();
        h.send(velyn_ui::Wheel{{640, 400}, 0, screen, velyn_ui::WheelUnit::Pixels, velyn_ui::kModNone});
        times.push_back(ms_since(start));
      }
    }
    print_times("frame_scroll", times);
  }

  const double first = measure_first_page(argv[0], pdf);
  fmt::print("BENCH first_page_ms {:.1f} ms\n", first);
  std::filesystem::remove_all(dir);
  return 0;
}
