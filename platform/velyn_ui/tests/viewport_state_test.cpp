// The viewport's scrollbars: where they are, what a press on them meets, and
// how paging and dragging the thumb move the view.
#include "velyn_ui/viewport_state.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using velyn_ui::Point;
using velyn_ui::Rect;
using velyn_ui::ScrollAxis;
using velyn_ui::ScrollbarHit;
using velyn_ui::ViewportState;

// A 400 × 300 view on content four views tall and exactly as wide.
ViewportState tall_view() {
  auto v = ViewportState::with_zoom_bounds(0.25, 6);
  v.set_rect({0, 0, 400, 300});
  v.set_content_size({400, 1200});
  return v;
}

TEST(ViewportScrollbars, OnlyAnAxisThatScrollsHasABar) {
  const auto v = tall_view();
  EXPECT_FALSE(v.scrollbar(ScrollAxis::Horizontal));
  const auto bar = v.scrollbar(ScrollAxis::Vertical);
  ASSERT_TRUE(bar);
  EXPECT_DOUBLE_EQ(bar->thumb.y0, bar->track.y0);                            // at the top
  EXPECT_NEAR(bar->thumb.height(), bar->track.height() * 300 / 1200, 1e-9);  // a quarter of the track
}

TEST(ViewportScrollbars, PressesMeetTheThumbOrPageTowardsThemselves) {
  auto v = tall_view();
  const auto bar = *v.scrollbar(ScrollAxis::Vertical);
  struct Case {
    Point at;
    std::optional<ScrollbarHit::Part> part;
  };
  const Case cases[] = {
      {{398, bar.thumb.center().y}, ScrollbarHit::Part::Thumb},
      {{400 - ViewportState::kScrollbarReach + 1, bar.thumb.center().y}, ScrollbarHit::Part::Thumb},  // within reach
      {{400 - ViewportState::kScrollbarReach - 1, bar.thumb.center().y}, std::nullopt},               // the page
      {{398, 250}, ScrollbarHit::Part::After},
  };
  for (const auto& c : cases) {
    const auto hit = v.scrollbar_at(c.at);
    ASSERT_EQ(hit.has_value(), c.part.has_value()) << c.at.x << "," << c.at.y;
    if (hit) {
      EXPECT_EQ(hit->part, *c.part);
    }
  }
  v.page_towards({ScrollAxis::Vertical, ScrollbarHit::Part::After});
  EXPECT_DOUBLE_EQ(v.scroll().y, ViewportState::kScrollbarPage * 300);
  v.page_towards({ScrollAxis::Vertical, ScrollbarHit::Part::Before});
  EXPECT_DOUBLE_EQ(v.scroll().y, 0);
}

TEST(ViewportScrollbars, ADraggedThumbStaysUnderThePointer) {
  auto v = tall_view();
  const auto before = *v.scrollbar(ScrollAxis::Vertical);
  v.drag_thumb(ScrollAxis::Vertical, 0, 50);
  const auto after = *v.scrollbar(ScrollAxis::Vertical);
  EXPECT_NEAR(after.thumb.y0 - before.thumb.y0, 50, 1e-9);
  v.drag_thumb(ScrollAxis::Vertical, 0, 10'000);  // far past the end: clamped
  EXPECT_DOUBLE_EQ(v.scroll().y, v.max_scroll().y);
}

}  // namespace
