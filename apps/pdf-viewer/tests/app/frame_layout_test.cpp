// Window division and the empty screen as drawn: regions, narrow transitions,
// and the empty screen's texts and button found in the pixels.
#include <gtest/gtest.h>

#include "app/pdf_app.h"
#include "app/ui/empty_screen.h"
#include "app/ui/frame_layout.h"
#include "app/ui/page_canvas.h"
#include "app/ui/toolbar.h"
#include "docstore/document.h"
#include "velyn_ui/headless.h"

namespace {

using pdf_app::compute_frame_layout;
using pdf_app::PanelState;
using velyn_ui::Rect;

TEST(FrameLayout, SidebarWidthFollowsScaleAndNarrowWindows) {
  struct Case {
    double window_width;
    double scale;
    double sidebar;
  };
  const Case cases[] = {{1280, 1.0, 324}, {1280, 2.0, 405}, {400, 2.0, 344}, {240, 2.0, 200}};
  for (const auto& c : cases) {
    PanelState p;
    p.sidebar_open = true;
    p.narrow = c.window_width < pdf_app::kNarrowBelow;
    const auto l = compute_frame_layout({0, 0, c.window_width, 800}, p, c.scale);
    EXPECT_DOUBLE_EQ(l.sidebar.width(), c.sidebar) << c.window_width << " @" << c.scale;
  }
}

TEST(FrameLayout, RegionsTileTheWindow) {
  PanelState p;
  p.thumbnails_open = true;
  p.sidebar_open = true;
  p.search_open = true;
  p.rail_width = 500;  // clamped to 280
  const auto l = compute_frame_layout({0, 0, 1280, 800}, p, 1.0);
  EXPECT_EQ(l.toolbar, (Rect{0, 0, 1280, 56}));
  EXPECT_EQ(l.search_bar, (Rect{0, 56, 1280, 102}));
  EXPECT_EQ(l.rail, (Rect{0, 102, 280, 800}));
  EXPECT_EQ(l.sidebar, (Rect{956, 102, 1280, 800}));
  EXPECT_EQ(l.canvas, (Rect{280, 102, 956, 800}));
  EXPECT_FALSE(l.panels_overlay);

  p.narrow = true;
  const auto n = compute_frame_layout({0, 0, 800, 800}, p, 1.0);
  EXPECT_TRUE(n.panels_overlay);
  EXPECT_EQ(n.canvas, (Rect{0, 102, 800, 800}));
}

TEST(FrameLayout, NarrowTransitionsMovePanelsAndNoDocumentClosesThem) {
  PanelState p;
  pdf_app::update_panels(p, {0, 0, 1000, 800}, true);
  EXPECT_FALSE(p.narrow);
  pdf_app::update_panels(p, {0, 0, 800, 800}, true);  // into narrow: both close
  EXPECT_TRUE(p.narrow);
  EXPECT_FALSE(p.thumbnails_open || p.sidebar_open);
  pdf_app::update_panels(p, {0, 0, 900, 800}, true);  // 900 is wide: both open
  EXPECT_FALSE(p.narrow);
  EXPECT_TRUE(p.thumbnails_open && p.sidebar_open);
  pdf_app::update_panels(p, {0, 0, 899, 800}, true);
  EXPECT_TRUE(p.narrow);
  p.thumbnails_open = true;
  pdf_app::update_panels(p, {0, 0, 1200, 800}, false);  // no document: forced closed
  EXPECT_FALSE(p.thumbnails_open || p.sidebar_open);
}

// The window never gets narrower than kMinWindowWidth: from there up, no two
// toolbar controls overlap, whatever the tool and the interface scale.
TEST(ToolbarLayout, NothingOverlapsFromTheMinimumWindowWidthUp) {
  using pdf_app::Tool;
  for (double width = pdf_app::kMinWindowWidth; width <= 1400; width += 1) {
    for (const double scale : {1.0, 1.5}) {
      for (const Tool tool : {Tool::Select, Tool::Highlight}) {
        const auto l = pdf_app::compute_toolbar_layout({0, 0, width, 56}, scale, tool);
        std::vector<velyn_ui::Rect> rects = {l.thumbnails, l.open, l.save, l.zoom_out, l.zoom_in, l.fit, l.find,
                                             l.sidebar};
        if (l.zoom_label.has_area()) rects.push_back(l.zoom_label);
        for (const auto& [t, r] : l.tools) rects.push_back(r);
        for (const auto& [s, r] : l.swatches) rects.push_back(r);
        for (std::size_t i = 0; i < rects.size(); ++i) {
          for (std::size_t j = i + 1; j < rects.size(); ++j) {
            const auto& a = rects[i];
            const auto& b = rects[j];
            const bool overlap = a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
            ASSERT_FALSE(overlap) << "controls " << i << " and " << j << " overlap at width " << width;
          }
        }
      }
    }
  }
  // Much narrower, the tools would run into Zoom out.
  const auto l = pdf_app::compute_toolbar_layout({0, 0, pdf_app::kMinWindowWidth - 20, 56}, 1.0, Tool::Select);
  EXPECT_GT(l.tools[4].second.x1, l.zoom_out.x0);
}

TEST(ToolbarLayout, ZoomLabelFitWidthAndSwatchesDependOnSpace) {
  using pdf_app::Tool;
  struct Case {
    double width;
    double scale;
    Tool tool;
    bool label;
    double fit_width;
    bool swatches;
  };
  const Case cases[] = {
      {1280, 1.0, Tool::Highlight, true, 40, true},
      {1280, 1.0, Tool::Select, true, 40, false},
      {1280, 1.0, Tool::Sign, true, 40, false},
      {1280, 1.3, Tool::Draw, false, 40, true},
      {700, 1.3, Tool::Note, false, 40, false},  // swatches would end within 10 of Zoom out
      {900, 1.0, Tool::Note, true, 40, true},
      {639, 1.0, Tool::Highlight, false, 34, false},  // too narrow for swatches 10 clear of Zoom out
      {640, 1.0, Tool::Select, true, 40, false},
  };
  for (const auto& c : cases) {
    const auto l = pdf_app::compute_toolbar_layout({0, 0, c.width, 56}, c.scale, c.tool);
    EXPECT_EQ(l.zoom_label.has_area(), c.label) << c.width << " @" << c.scale;
    EXPECT_DOUBLE_EQ(l.fit.width(), c.fit_width);
    EXPECT_EQ(!l.swatches.empty(), c.swatches) << c.width;
    if (!c.label) {
      EXPECT_DOUBLE_EQ(l.zoom_out.x1, l.zoom_in.x0);
    }
    EXPECT_GE(l.tools[0].second.x0, 138);  // never closer than 8 to Save
    EXPECT_DOUBLE_EQ(l.sidebar.x1, c.width - 16);
  }
}

// Counts pixels of `rect` within `tolerance` (per channel, 0..1) of `color`.
int count_near(const velyn_ui::headless::FrameHarness& h, const Rect& rect, velyn_ui::Color color,
               double tolerance) {
  int n = 0;
  for (auto y = std::uint32_t(rect.y0); y < std::uint32_t(rect.y1); ++y) {
    for (auto x = std::uint32_t(rect.x0); x < std::uint32_t(rect.x1); ++x) {
      const auto p = h.pixel(x, y);
      if (std::abs(p.r - color.r) <= tolerance && std::abs(p.g - color.g) <= tolerance &&
          std::abs(p.b - color.b) <= tolerance)
        ++n;
    }
  }
  return n;
}

velyn_ui::headless::FrameHarness harness_for(std::unique_ptr<pdf_app::PdfApp> app, std::uint32_t w,
                                             std::uint32_t h) {
  auto harness = velyn_ui::headless::FrameHarness::new_with_theme(velyn_ui::state::State(), std::move(app), w, h,
                                                                  velyn_ui::Theme::light());
  harness.with_records(velyn_ui::record::RecordSet::in_memory(), docstore::Document());
  harness.frame();
  return harness;
}

// One slot size for every page, but a page of another shape keeps its own.
TEST(PageRaster, KeepsItsOwnAspectRatioCentredInTheSlot) {
  const velyn_ui::Rect slot{0, 0, 612, 792};
  const auto image = [](std::uint32_t w, std::uint32_t h) {
    return velyn_ui::Image::from_rgba(w, h, std::vector<std::uint8_t>(std::size_t{w} * h * 4));
  };
  struct Case {
    std::uint32_t w, h;
    velyn_ui::Rect drawn;
  };
  const Case cases[] = {
      {1224, 1584, slot},                  // the slot's shape
      {1224, 1590, slot},                  // off by rounding: still the whole slot
      {800, 600, {0, 166.5, 612, 625.5}},  // landscape: full width, centred vertically
      {100, 400, {207, 0, 405, 792}},      // tall and narrow: full height, centred across
  };
  for (const auto& c : cases) {
    const auto r = pdf_app::raster_rect(slot, image(c.w, c.h));
    EXPECT_NEAR(r.x0, c.drawn.x0, 1e-9) << c.w << "x" << c.h;
    EXPECT_NEAR(r.y0, c.drawn.y0, 1e-9) << c.w << "x" << c.h;
    EXPECT_NEAR(r.x1, c.drawn.x1, 1e-9) << c.w << "x" << c.h;
    EXPECT_NEAR(r.y1, c.drawn.y1, 1e-9) << c.w << "x" << c.h;
  }
}

TEST(EmptyScreen, DrawsPictogramTextsAndButton) {
  const auto theme = velyn_ui::Theme::light();
  for (auto [w, h] : {std::pair<std::uint32_t, std::uint32_t>{1280, 800}, {900, 600}}) {
    auto harness = harness_for(std::make_unique<pdf_app::PdfApp>(), w, h);
    const Rect canvas{0, pdf_app::kToolbarHeight, double(w), double(h)};
    const auto c = canvas.center();
    EXPECT_EQ(harness.pixel(5, 5), theme.colors.surface);
    EXPECT_EQ(harness.pixel(5, h - 5), theme.colors.background);
    // Pictogram body (surface) between its text lines.
    EXPECT_EQ(harness.pixel(std::uint32_t(c.x - 30), std::uint32_t(c.y - 79 + 30)), theme.colors.surface);
    // Title in the text colour, body in the secondary text colour.
    EXPECT_GT(count_near(harness, {c.x - 90, c.y + 34, c.x + 90, c.y + 56}, theme.colors.text, 0.1), 40);
    EXPECT_GT(count_near(harness, {c.x - 120, c.y + 58, c.x + 120, c.y + 76}, theme.colors.secondary_text, 0.1),
              40);
    // The button: mostly accent, with its white label inside.
    const Rect button = pdf_app::open_button_rect(canvas);
    EXPECT_GT(count_near(harness, button, theme.colors.accent, 0.02), int(button.width() * button.height() * 0.6));
    EXPECT_GT(count_near(harness, button, {1, 1, 1, 1}, 0.1), 40);
  }
}

TEST(EmptyScreen, ErrorStateUsesTheDangerColourAndKeepsTheButton) {
  auto app = std::make_unique<pdf_app::PdfApp>();
  app->record_open_failure("/tmp/x.pdf", "the file is unavailable");
  auto harness = harness_for(std::move(app), 1280, 800);
  const auto theme = velyn_ui::Theme::light();
  const Rect canvas{0, pdf_app::kToolbarHeight, 1280, 800};
  const auto c = canvas.center();
  EXPECT_GT(count_near(harness, {c.x - 200, c.y + 58, c.x + 200, c.y + 76}, theme.colors.danger, 0.1), 40);
  const Rect button = pdf_app::open_button_rect(canvas);
  EXPECT_GT(count_near(harness, button, theme.colors.accent, 0.02), int(button.width() * button.height() * 0.6));
}

}  // namespace
