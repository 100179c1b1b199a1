// The page rail: layout, scrolling, and which gestures queue which outcomes.
#include <gtest/gtest.h>

#include "velyn_ui/page_sidebar.h"

namespace {

using velyn_ui::PageSidebar;
using velyn_ui::Point;
using velyn_ui::Rect;
using velyn_ui::widget::page_sidebar::Outcome;
using velyn_ui::widget::page_sidebar::OutcomeKind;

constexpr Rect kRail{0, 56, 168, 800};

PageSidebar laid_out(std::size_t pages, std::size_t current = 0) {
  PageSidebar rail(1.0);
  rail.begin_frame(kRail, pages, current, 792.0 / 612);
  return rail;
}

TEST(PageSidebar, LaysOutOnlyTheThumbnailsInTheList) {
  auto rail = laid_out(100);
  const auto thumbs = rail.thumb_rects();
  ASSERT_FALSE(thumbs.empty());
  EXPECT_LT(thumbs.size(), 10u);
  EXPECT_EQ(thumbs.front().index, 0u);
  for (std::size_t i = 1; i < thumbs.size(); ++i) {
    EXPECT_EQ(thumbs[i].index, thumbs[i - 1].index + 1);
    EXPECT_GT(thumbs[i].rect.y0, thumbs[i - 1].rect.y1);  // a gap between thumbnails
  }
  const Rect list = rail.list_rect();
  EXPECT_GE(list.y0, kRail.y0 + PageSidebar::kHeaderHeight);
  EXPECT_LE(list.y1, rail.add_button_rect().y0);
  EXPECT_NEAR(thumbs[0].rect.height() / thumbs[0].rect.width(), 792.0 / 612, 1e-9);
}

TEST(PageSidebar, ScrollsWithinItsContentAndFollowsTheCurrentPage) {
  auto rail = laid_out(100);
  EXPECT_FALSE(rail.on_wheel(-3));  // already at the top
  EXPECT_TRUE(rail.on_wheel(+3));
  EXPECT_EQ(rail.scroll(), 3 * PageSidebar::kWheelStep);
  for (int i = 0; i < 1000; ++i) rail.on_wheel(10);
  EXPECT_EQ(rail.scroll(), rail.max_scroll());
  EXPECT_EQ(rail.thumb_rects().back().index, 99u);

  rail.begin_frame(kRail, 100, 50, 792.0 / 612);  // the current page changed: it comes into view
  const Rect t = rail.thumb_rect(50);
  EXPECT_GE(t.y0, rail.list_rect().y0);
  EXPECT_LE(t.y1, rail.list_rect().y1);

  auto few = laid_out(2);
  EXPECT_EQ(few.max_scroll(), 0);
  auto none = laid_out(0);
  EXPECT_TRUE(none.thumb_rects().empty());
}

TEST(PageSidebar, GesturesQueueOutcomes) {
  struct Case {
    const char* name;
    void (*gesture)(PageSidebar&);
    std::vector<Outcome> expected;
  };
  const Case cases[] = {
      {"click selects",
       [](PageSidebar& r) {
         r.on_press(r.thumb_rect(1).center());
         r.on_release(r.thumb_rect(1).center());
       },
       {{OutcomeKind::Select, 1, 0}}},
      {"a small wobble is still a click",
       [](PageSidebar& r) {
         const Point p = r.thumb_rect(2).center();
         r.on_press(p);
         r.on_motion({p.x + 2, p.y + 2});
         r.on_release({p.x + 2, p.y + 2});
       },
       {{OutcomeKind::Select, 2, 0}}},
      {"drag onto the second moves after it",
       [](PageSidebar& r) {
         r.on_press(r.thumb_rect(0).center());
         r.on_motion(r.thumb_rect(1).center());
         r.on_release(r.thumb_rect(1).center());
       },
       {{OutcomeKind::Move, 0, 2}}},
      {"drag up to the top moves to the front",
       [](PageSidebar& r) {
         r.on_press(r.thumb_rect(2).center());
         r.on_motion({r.thumb_rect(0).center().x, r.thumb_rect(0).y0 + 2});
         r.on_release({r.thumb_rect(0).center().x, r.thumb_rect(0).y0 + 2});
       },
       {{OutcomeKind::Move, 2, 0}}},
      {"dropping a page beside itself is no move",
       [](PageSidebar& r) {
         const Point p = r.thumb_rect(1).center();
         r.on_press(p);
         r.on_motion({p.x, p.y + 20});
         r.on_release({p.x, p.y + 20});
       },
       {}},
      {"escape cancels a drag",
       [](PageSidebar& r) {
         r.on_press(r.thumb_rect(0).center());
         r.on_motion(r.thumb_rect(2).center());
         EXPECT_TRUE(r.on_escape());
         r.on_release(r.thumb_rect(2).center());
       },
       {}},
      {"menu duplicate",
       [](PageSidebar& r) {
         r.on_right_press(r.thumb_rect(1).center());
         r.on_press(r.menu_entry_rect(0).center());
       },
       {{OutcomeKind::Duplicate, 1, 0}}},
      {"menu delete",
       [](PageSidebar& r) {
         r.on_right_press(r.thumb_rect(2).center());
         r.on_press(r.menu_entry_rect(1).center());
       },
       {{OutcomeKind::Delete, 2, 0}}},
      {"a press beside the menu only closes it",
       [](PageSidebar& r) {
         r.on_right_press(r.thumb_rect(0).center());
         EXPECT_TRUE(r.on_press({1000, 700}));
         EXPECT_FALSE(r.menu_open());
       },
       {}},
      {"add button",
       [](PageSidebar& r) {
         r.on_press(r.add_button_rect().center());
         r.on_release(r.add_button_rect().center());
       },
       {{OutcomeKind::AddPages, 0, 0}}},
      {"add button released elsewhere does nothing",
       [](PageSidebar& r) {
         r.on_press(r.add_button_rect().center());
         r.on_release({10, 100});
       },
       {}},
  };
  for (const auto& c : cases) {
    auto rail = laid_out(4);
    c.gesture(rail);
    EXPECT_EQ(rail.take_outcomes(), c.expected) << c.name;
    EXPECT_TRUE(rail.take_outcomes().empty()) << c.name;
    EXPECT_FALSE(rail.gesture_active()) << c.name;
  }
}

TEST(PageSidebar, TheDropIndicatorFollowsTheDrag) {
  auto rail = laid_out(4);
  EXPECT_FALSE(rail.drop_indicator());
  rail.on_press(rail.thumb_rect(0).center());
  EXPECT_FALSE(rail.drop_indicator());  // not a drag yet
  rail.on_motion(rail.thumb_rect(2).center());
  ASSERT_TRUE(rail.drop_index());
  EXPECT_EQ(*rail.drop_index(), 3u);
  const auto line = rail.drop_indicator();
  ASSERT_TRUE(line);
  EXPECT_GT(line->y0, rail.thumb_rect(2).y1);
  EXPECT_LT(line->y1, rail.thumb_rect(3).y0);
}

TEST(PageSidebar, TextsAreTranslatedByKey) {
  using velyn_ui::widget::page_sidebar::translated;
  EXPECT_EQ(translated("title"), "Pages");
  EXPECT_EQ(translated("duplicate"), "Duplicate page");
  EXPECT_EQ(translated("delete"), "Delete page");
  EXPECT_EQ(translated("add"), "Add pages");
  EXPECT_EQ(translated("unknown.key"), "unknown.key");
}

}  // namespace
