// What the markup tools commit and hit, without a viewer.
#include "app/markup_geometry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pdf_app::PageRect;
namespace source = pdf::source;

// "Hello world" on one line at y 100 and "Second" below it, 6 points a character.
source::TextLayer two_lines() {
  source::TextLayer layer;
  const auto add = [&](std::string_view s, double x, double y) {
    for (char c : s) {
      layer.boxes.push_back({x, y, 6, 10, layer.text.size(), std::uint32_t(c)});
      layer.text.push_back(c);
      x += 6;
    }
  };
  add("Hello world", 100, 100);
  layer.boxes.push_back({0, 0, 0, 0, layer.text.size(), '\n'});
  layer.text.push_back('\n');
  add("Second", 100, 120);
  return layer;
}

TEST(HighlightDrag, ClickSizedDragsCommitNothingAndLinesSplit) {
  EXPECT_TRUE(pdf_app::highlight_rects(nullptr, {10, 10}, {16, 14}).empty());
  EXPECT_EQ(pdf_app::highlight_rects(nullptr, {10, 10}, {17, 14}), (std::vector<PageRect>{{10, 10, 7, 4}}));
  EXPECT_EQ(pdf_app::highlight_rects(nullptr, {17, 14}, {10, 10}).size(), 1u);
  const auto layer = two_lines();
  // Over both lines: one rect per line, cut to the drag horizontally.
  const auto rects = pdf_app::highlight_rects(&layer, {90, 95}, {130, 128});
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0], (PageRect{100, 100, 30, 10}));
  EXPECT_EQ(rects[1], (PageRect{100, 120, 30, 10}));
  // Ending near the top of the second line still takes it; ending in the gap
  // above it does not.
  EXPECT_EQ(pdf_app::highlight_rects(&layer, {90, 104}, {130, 121}).size(), 2u);
  EXPECT_EQ(pdf_app::highlight_rects(&layer, {90, 104}, {130, 118}).size(), 1u);
  // Beside the text: no line qualifies, the drag rect itself is used.
  EXPECT_EQ(pdf_app::highlight_rects(&layer, {300, 300}, {340, 320}), (std::vector<PageRect>{{300, 300, 40, 20}}));
}

TEST(SelectionStart, APressOnALineFindsItsCharacterOrTheClosestWithinReach) {
  const auto layer = two_lines();  // "Hello world" at y 100–110, "Second" at y 120–130; boxes 6 wide
  struct Case {
    velyn_ui::Point at;
    std::optional<std::uint64_t> found;
  };
  const Case cases[] = {
      {{103, 105}, 0},              // on "H"
      {{166.5, 105}, 10},           // just past "world": its last letter
      {{166 + 15, 105}, 10},        // 15 past the end: within 1.5 box heights
      {{166 + 16, 105}, std::nullopt},
      {{130, 115}, std::nullopt},   // between the lines: a pan, not a selection
      {{95, 125}, 12},              // before "Second"
  };
  for (const auto& c : cases) EXPECT_EQ(pdf_app::char_on_line(layer, c.at), c.found) << c.at.x << "," << c.at.y;
}

TEST(MarkupUnderPoint, InkAnswersAlongItsLineNotOnlyAtItsPoints) {
  pdf_actions::ReviewModel review;
  pdf_actions::Annotation ink;
  ink.id = "ink";
  ink.page = 1;
  ink.geom = pdf_actions::AnnoGeom::Ink{{{100, 100}, {200, 100}}};
  pdf_actions::Annotation dot = ink;
  dot.id = "dot";
  dot.geom = pdf_actions::AnnoGeom::Ink{{{300, 300}}};  // one point: never drawn, never picked
  review.annotations = {ink, dot};
  struct Case {
    velyn_ui::Point at;
    std::uint64_t page;
    std::string found;  // empty: nothing
  };
  const Case cases[] = {
      {{150, 103.9}, 1, "ink"},  // mid-segment, far from both points
      {{150, 104.1}, 1, ""},
      {{203, 101}, 1, "ink"},    // just past the end
      {{150, 100}, 2, ""},  // another page
      {{300, 300}, 1, ""},
  };
  for (const auto& c : cases) {
    const auto* a = pdf_app::annotation_at(review, c.page, c.at);
    EXPECT_EQ(a ? a->id : "", c.found) << c.at.x << "," << c.at.y;
  }
}

TEST(InkPoints, PointsWithinOneAndAHalfOfTheLastAreDropped) {
  std::vector<pdf_actions::Point> points;
  for (const velyn_ui::Point p : {velyn_ui::Point{0, 0}, {1, 1}, {1.5, 0}, {1.6, 0}, {3.2, 0}}) {
    pdf_app::append_ink_point(points, p);
  }
  EXPECT_EQ(points, (std::vector<pdf_actions::Point>{{0, 0}, {1.6, 0}, {3.2, 0}}));
}

TEST(SignatureBox, CentredOnThePressAndKeptSixtyFourFromTheEdges) {
  struct Case {
    double px, py, w, h, x, y;
  };
  const Case cases[] = {
      {0, 0, 612, 792, 64, 64},
      {612, 792, 612, 792, 330, 654},
      {306, 396, 612, 792, 197, 359},
      {100, 100, 300, 150, 41, 38},  // too small for the margins: centred on the page
  };
  for (const auto& c : cases) {
    const auto box = pdf_app::signature_box(c.px, c.py, c.w, c.h);
    EXPECT_DOUBLE_EQ(box.x, c.x) << c.px;
    EXPECT_DOUBLE_EQ(box.y, c.y) << c.py;
    EXPECT_EQ(box.w, 218);
    EXPECT_EQ(box.h, 74);
  }
}

TEST(TextLayerSelection, WordsLinesRectsAndTrimmedText) {
  const auto layer = two_lines();
  EXPECT_EQ(pdf_app::char_at(layer, {101, 101}, false), 0u);
  EXPECT_FALSE(pdf_app::char_at(layer, {10, 300}, false));
  EXPECT_EQ(pdf_app::char_at(layer, {10, 121}, true), 12u);  // nearest: "S" of the second line
  EXPECT_EQ(pdf_app::word_range(layer, 7), (std::pair<std::uint64_t, std::uint64_t>{6, 11}));
  EXPECT_EQ(pdf_app::line_range(layer, 13).first, 12u);
  EXPECT_EQ(pdf_app::selection_rects(layer, 4, 13).size(), 2u);
  EXPECT_EQ(pdf_app::selection_text(layer, 5, 6), "w");
  EXPECT_EQ(pdf_app::selection_text(layer, 6, 13), "world\nSe");
  EXPECT_EQ(pdf_app::count_characters("é1"), 2u);
}

}  // namespace
