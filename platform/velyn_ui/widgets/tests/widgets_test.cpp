#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "canvas.h"
#include "velyn_ui/widget/avatar.h"
#include "velyn_ui/widget/clipboard.h"
#include "velyn_ui/widget/context_menu.h"
#include "velyn_ui/widget/drag_select.h"
#include "velyn_ui/widget/marker_drag.h"
#include "velyn_ui/widget/selection_hud.h"
#include "velyn_ui/widget/text_selection.h"
#include "velyn_ui/widget/toggle_group.h"

namespace velyn_ui::widget {
namespace {

struct WordCase {
  std::string text;
  std::size_t offset;
  text_selection::Boundaries expected;
};

TEST(TextSelection, WordBoundaries) {
  const std::vector<WordCase> cases = {
      {"the keeper climbed", 5, {4, 10}},   // inside a word
      {"the keeper climbed", 4, {4, 10}},   // at its first character
      {"the keeper climbed", 3, {3, 4}},    // the space alone
      {"a, b", 1, {1, 2}},                  // punctuation alone
      {"héllo wörld", 2, {0, 6}},           // inside a multibyte character
      {"abc", 3, {3, 3}},                   // at the end
      {"", 0, {0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_selection::word_boundaries(c.text, c.offset), c.expected) << c.text << " @" << c.offset;
  }
  EXPECT_EQ(text_selection::previous_word_start("one two three", 13), 8u);
  EXPECT_EQ(text_selection::previous_word_start("one two three", 8), 4u);
  EXPECT_EQ(text_selection::next_word_end("one two three", 3), 7u);
  EXPECT_EQ(text_selection::next_word_end("one two", 7), 7u);
}

TEST(ContextMenu, OpensClampedChoosesAndSwallows) {
  testing::Canvas canvas;
  ContextMenu menu;
  menu.push("Delete");
  const Rect window{0, 0, 800, 600};
  menu.open_at_clamped({790, 590}, window, canvas.text);
  ASSERT_TRUE(menu.is_open());
  EXPECT_LE(menu.frame().x1, window.x1 - ContextMenu::kMargin);
  EXPECT_LE(menu.frame().y1, window.y1 - ContextMenu::kMargin);
  EXPECT_GE(menu.frame().x0, 0);

  EXPECT_EQ(menu.handle_event(KeyPress{Key::Character, U'2', kModNone}).handled, Handled::Yes);
  EXPECT_EQ(menu.handle_event(Wheel{{1, 1}, 0, 3}).handled, Handled::Yes);
  EXPECT_EQ(menu.handle_event(TextCommit{"x"}).handled, Handled::Yes);
  menu.draw(canvas.scene, canvas.text, canvas.theme);

  const auto chosen = menu.handle_event(PointerPress{menu.item_rect(0).center()});
  EXPECT_EQ(chosen.chosen, 0u);
  EXPECT_FALSE(menu.is_open());

  menu.open_at_clamped({100, 100}, window, canvas.text);
  EXPECT_EQ(menu.frame().x0, 100);
  const auto outside = menu.handle_event(PointerPress{{10, 10}});
  EXPECT_EQ(outside.handled, Handled::Yes);
  EXPECT_FALSE(outside.chosen);
  EXPECT_FALSE(menu.is_open());
  EXPECT_EQ(menu.handle_event(KeyPress{Key::Escape}).handled, Handled::No) << "closed menus take nothing";

  menu.open_at_clamped({100, 100}, window, canvas.text);
  menu.handle_event(KeyPress{Key::Down});
  EXPECT_EQ(menu.handle_event(KeyPress{Key::Enter}).chosen, 0u);
}

TEST(ToggleGroup, SegmentsSplitEquallyAndHit) {
  testing::Canvas canvas;
  const std::array<std::string_view, 3> labels = {"Comments", "Contents", "Signatures"};
  const auto segs = ToggleGroup::paint(canvas.scene, canvas.text, canvas.theme, {0, 0, 300, 38}, labels, 1);
  ASSERT_EQ(segs.size(), 3u);
  EXPECT_DOUBLE_EQ(segs[0].x1, 100);
  EXPECT_DOUBLE_EQ(segs[2].x1, 300);
  EXPECT_EQ(ToggleGroup::hit(segs, {150, 10}), 1u);
  EXPECT_EQ(ToggleGroup::hit(segs, {299, 10}), 2u);
  EXPECT_FALSE(ToggleGroup::hit(segs, {150, 40}));
  EXPECT_EQ(canvas.scene.depth(), 0u);
}

TEST(Avatar, InitialsAndStableColours) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Ada Lovelace", "AL"}, {"you", "Y"}, {"  émile  zola ", "ÉZ"}, {"Jean-Luc Picard", "JP"}, {"", "?"}, {"--", "?"},
  };
  for (const auto& [name, initials] : cases) EXPECT_EQ(Avatar::initials(name), initials) << name;
  EXPECT_EQ(Avatar::color_for_initials("AL"), Avatar::color_for_initials("AL"));
  int distinct = 0;
  for (const char* s : {"AB", "CD", "EF", "GH", "IJ"}) distinct += Avatar::color_for_initials(s) != Avatar::color_for_initials("AL");
  EXPECT_GT(distinct, 0) << "names spread over the palette";
}

TEST(SelectionHud, HitAreasFromDraw) {
  testing::Canvas canvas;
  const std::array<std::size_t, 5> ids = {0, 1, 2, 3, 4};
  const auto hits = SelectionHud::draw(canvas.scene, canvas.text, SelectionHudColors::from_theme(canvas.theme), ids,
                                       2, std::nullopt, 400, 300, {0, 0, 800, 600});
  EXPECT_NEAR(hits.frame.center().x, 400, 0.5);
  EXPECT_DOUBLE_EQ(hits.frame.y1, 300 - SelectionHud::kGap);
  ASSERT_EQ(hits.swatches.size(), 5u);
  using K = SelectionHudHit::Kind;
  EXPECT_EQ(SelectionHud::hit(hits, hits.copy.center()), (SelectionHudHit{K::Copy, 0}));
  EXPECT_EQ(SelectionHud::hit(hits, hits.comment.center()), (SelectionHudHit{K::Comment, 0}));
  for (const auto& [id, r] : hits.swatches) EXPECT_EQ(SelectionHud::hit(hits, r.center()), (SelectionHudHit{K::Swatch, id}));
  EXPECT_EQ(SelectionHud::hit(hits, {hits.frame.x0 + 1, hits.frame.y0 + 1}), (SelectionHudHit{K::Frame, 0}));
  EXPECT_FALSE(SelectionHud::hit(hits, {hits.frame.x0 - 1, hits.frame.y0}));

  const auto top = SelectionHud::draw(canvas.scene, canvas.text, SelectionHudColors::from_theme(canvas.theme), ids,
                                      0, std::nullopt, 5, 10, {0, 0, 800, 600}, 30);
  EXPECT_GE(top.frame.x0, 0) << "kept inside the window";
  EXPECT_GE(top.frame.y0, 30) << "below the selection when there is no room above";
}

TEST(MarkerDrag, ClickVersusMove) {
  MarkerDrag drag;
  EXPECT_FALSE(drag.update({1, 1}));
  drag.begin("n1", {100, 100}, {104, 98});
  EXPECT_EQ(drag.update({105, 99}), (Point{100, 100})) << "within the slop nothing moves";
  auto click = drag.finish();
  ASSERT_TRUE(click);
  EXPECT_FALSE(click->moved);

  drag.begin("n1", {100, 100}, {104, 98});
  EXPECT_EQ(drag.update({124, 58}), (Point{120, 60})) << "the grab offset is kept";
  auto moved = drag.finish();
  ASSERT_TRUE(moved);
  EXPECT_TRUE(moved->moved);
  EXPECT_EQ(moved->id, "n1");
  EXPECT_EQ(moved->anchor, (Point{120, 60}));
  EXPECT_EQ(moved->start_anchor, (Point{100, 100}));
  EXPECT_FALSE(drag.finish());
}

TEST(DragSelect, ClassifiesPressSeries) {
  struct Press {
    Point at;
    double t;
    int reported;
    PressKind kind;
  };
  const std::vector<Press> presses = {
      {{10, 10}, 1.0, 0, PressKind::Single}, {{11, 10}, 1.2, 0, PressKind::Double},
      {{11, 12}, 1.5, 0, PressKind::Triple}, {{11, 12}, 1.6, 0, PressKind::Single},  // a fourth starts over
      {{11, 12}, 2.5, 0, PressKind::Single},                                          // too late
      {{30, 12}, 2.6, 0, PressKind::Single},                                          // too far
      {{30, 12}, 9.0, 2, PressKind::Double},                                          // the window's count
  };
  DragSelect select;
  for (std::size_t i = 0; i < presses.size(); ++i) {
    EXPECT_EQ(select.press(presses[i].at, presses[i].t, presses[i].reported), presses[i].kind) << "press " << i;
  }
}

TEST(Clipboard, CopiesThroughInstalledBackendAndRefusesBadInput) {
  text_selection::FakeClipboard fake;
  text_selection::ScopedClipboard scope(fake);
  EXPECT_TRUE(text_selection::clipboard_copy("keeper"));
  EXPECT_EQ(fake.text, "keeper");
  EXPECT_FALSE(text_selection::clipboard_copy(""));
  EXPECT_FALSE(text_selection::clipboard_copy("\xff"));

  const std::vector<std::uint8_t> px(2 * 3 * 4, 200);
  EXPECT_TRUE(text_selection::clipboard_copy_image(2, 3, px));
  EXPECT_EQ(fake.image.width, 2u);
  EXPECT_EQ(fake.image.rgba, px);
  EXPECT_FALSE(text_selection::clipboard_copy_image(3, 3, px)) << "sizes disagree";
  EXPECT_FALSE(text_selection::clipboard_copy_image(0, 0, {}));
  EXPECT_FALSE(text_selection::clipboard_copy_image(100000, 100000, px)) << "over the pixel cap";
  fake.refuse_images = true;
  EXPECT_FALSE(text_selection::clipboard_copy_image(2, 3, px));
  EXPECT_EQ(fake.copies, 2);
}

TEST(Clipboard, SystemClipboardWithoutDisplayRefuses) {
  // No display was opened in this process.
  EXPECT_FALSE(text_selection::system_clipboard().copy_text("x"));
}

}  // namespace
}  // namespace velyn_ui::widget
