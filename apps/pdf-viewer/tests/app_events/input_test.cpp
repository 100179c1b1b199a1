// The tools and shortcuts driven by synthetic events on the headless viewer
// showing the built-in sample document.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "app/executor.h"
#include "app/keyboard_focus.h"
#include "app/launch.h"
#include "app/pdf_app.h"
#include "app/search_run.h"
#include "app/ui/page_canvas.h"
#include "app/ui/review_sidebar.h"
#include "app/ui/signature_pad.h"
#include "app_events/event_router.h"
#include "velyn_ui/headless.h"
#include "velyn_ui/widget/clipboard.h"

namespace {

using pdf_app::PdfApp;
using velyn_ui::Point;
namespace source = pdf::source;

class TempHome {
 public:
  TempHome() {
    dir_ = std::filesystem::temp_directory_path() / ("pdf-viewer-events-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  ~TempHome() { std::filesystem::remove_all(dir_); }

 private:
  std::filesystem::path dir_;
};

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto app = std::make_unique<PdfApp>(nullptr);
    app->open_sample();
    // Bound to a record so that its actions replicate like a file's.
    app->record = pdf_app::record_for_path("/tmp/sample-under-test.pdf");
    harness_ = std::make_unique<velyn_ui::headless::FrameHarness>(velyn_ui::headless::FrameHarness::new_with_theme(
        velyn_ui::state::State(), std::move(app), 1280, 800, velyn_ui::Theme::light()));
    harness_->with_records(velyn_ui::record::RecordSet::in_memory(), docstore::Document());
    harness_->with_registry(*pdf_app::make_action_registry());
    harness_->frame();
    harness_->frame();
  }

  PdfApp& app() { return static_cast<PdfApp&>(harness_->widget()); }
  // Screen point of page point (x, y) on page `page` (from 1).
  Point at(std::uint64_t page, double x, double y) {
    const auto r = app().page_rect(page - 1);
    const double z = app().viewport.zoom();
    return {r.x0 + x * z, r.y0 + y * z};
  }
  void key(char32_t c, velyn_ui::Modifiers m = velyn_ui::kModNone) {
    harness_->send(velyn_ui::KeyPress{velyn_ui::Key::Character, c, m});
  }
  void named(velyn_ui::Key k, velyn_ui::Modifiers m = velyn_ui::kModNone) { harness_->send(velyn_ui::KeyPress{k, 0, m}); }
  void drag(Point a, Point b, int steps = 1) {
    harness_->send(velyn_ui::PointerPress{a});
    for (int i = 1; i <= steps; ++i) {
      const double t = double(i) / steps;
      harness_->send(velyn_ui::PointerMove{{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}});
    }
    harness_->send(velyn_ui::PointerRelease{b});
  }
  void click(Point p, velyn_ui::PointerButton b = velyn_ui::PointerButton::Primary) {
    harness_->send(velyn_ui::PointerPress{p, b});
    harness_->send(velyn_ui::PointerRelease{p, b});
  }
  // "Hello world" on page `page` at (100, 400), 6 points a character, as the text store holds it.
  void give_layer(std::uint64_t page) {
    auto layer = std::make_shared<source::TextLayer>();
    double x = 100;
    for (char c : std::string_view("Hello world")) {
      layer->boxes.push_back({x, 400, 6, 10, layer->text.size(), std::uint32_t(c)});
      layer->text.push_back(c);
      x += 6;
    }
    app().page_texts[page] = layer;
  }

  TempHome home_;
  std::unique_ptr<velyn_ui::headless::FrameHarness> harness_;
};

TEST_F(InputTest, HighlightDragsBelowSevenByFourCreateNothing) {
  key(U'2');
  ASSERT_EQ(app().tool, pdf_app::Tool::Highlight);
  const auto before = app().review.annotations.size();
  drag(at(1, 300, 300), at(1, 306, 304));
  EXPECT_EQ(app().review.annotations.size(), before);
  drag(at(1, 300, 300), at(1, 307, 304));
  ASSERT_EQ(app().review.annotations.size(), before + 1);
  const auto& h = std::get<pdf_actions::AnnoGeom::Highlight>(app().review.annotations.back().geom.value);
  EXPECT_NEAR(h.w, 7, 1e-6);
  EXPECT_NEAR(h.h, 4, 1e-6);
  EXPECT_EQ(app().review.annotations.back().author, app().local_author);
}

TEST_F(InputTest, InkKeepsPointsFartherThanOneAndAHalfAndNeedsTwo) {
  key(U'3');
  const auto before = app().review.annotations.size();
  drag(at(1, 200, 420), at(1, 200, 420), 1);  // a single point
  EXPECT_EQ(app().review.annotations.size(), before);
  harness_->send(velyn_ui::PointerPress{at(1, 200, 420)});
  for (double x : {201.0, 202.0, 204.0, 205.0, 210.0}) harness_->send(velyn_ui::PointerMove{at(1, x, 420)});
  harness_->send(velyn_ui::PointerRelease{at(1, 210, 420)});
  ASSERT_EQ(app().review.annotations.size(), before + 1);
  const auto& ink = std::get<pdf_actions::AnnoGeom::Ink>(app().review.annotations.back().geom.value);
  // 201 and 205 lie within 1.5 of the point before them.
  ASSERT_EQ(ink.points.size(), 4u);
  EXPECT_NEAR(ink.points[3].x, 210, 1e-6);
}

TEST_F(InputTest, CtrlWheelZoomsByOnePlusDyOver240) {
  const Point c = app().regions.canvas.center();
  const double z = app().viewport.zoom();
  harness_->send(velyn_ui::Wheel{c, 0, 240, velyn_ui::WheelUnit::Pixels, velyn_ui::kModCtrl});
  EXPECT_NEAR(app().viewport.zoom(), 2 * z, 1e-9);
  harness_->send(velyn_ui::Wheel{c, 0, -240, velyn_ui::WheelUnit::Pixels, velyn_ui::kModCtrl});
  EXPECT_NEAR(app().viewport.zoom(), z, 1e-9);
}

TEST_F(InputTest, SelectKeepsAShownSelectionHighlightHidesIt) {
  give_layer(1);
  app().input.selection = pdf_app::TextSelection{1, 0, 1, 0, 4};
  pdf_app::set_interaction_mode(app(), pdf_app::InteractionMode::SelectionShown);
  key(U'1');
  EXPECT_EQ(app().input.mode, pdf_app::InteractionMode::SelectionShown);
  EXPECT_TRUE(app().selecting_text);
  key(U'2');
  EXPECT_EQ(app().input.mode, pdf_app::InteractionMode::Idle);
  EXPECT_FALSE(app().input.selection);
  EXPECT_FALSE(app().selecting_text);
}

TEST_F(InputTest, TextSelectionByDragAndWordAndCopyCounts) {
  velyn_ui::text_selection::FakeClipboard clipboard;
  velyn_ui::text_selection::ScopedClipboard scoped(clipboard);
  give_layer(1);
  key(U'1');
  drag(at(1, 101, 405), at(1, 125, 405), 3);  // "Hello"
  ASSERT_EQ(app().input.mode, pdf_app::InteractionMode::SelectionShown);
  key(U'c', velyn_ui::kModCtrl);
  EXPECT_EQ(clipboard.text, "Hello");
  EXPECT_EQ(app().status, "Copied 5 characters");

  app().input.selection = pdf_app::TextSelection{1, 6, 7, 6, 6};
  key(U'c', velyn_ui::kModCtrl);
  EXPECT_EQ(clipboard.text, "w");
  EXPECT_EQ(app().status, "Copied 1 character");

  // A double press selects the word under it.
  harness_->send(velyn_ui::PointerPress{at(1, 140, 405), velyn_ui::PointerButton::Primary, 2});
  harness_->send(velyn_ui::PointerRelease{at(1, 140, 405)});
  ASSERT_TRUE(app().input.selection);
  EXPECT_EQ(app().input.selection->start, 6u);
  EXPECT_EQ(app().input.selection->end, 10u);
  EXPECT_EQ(app().input.mode, pdf_app::InteractionMode::SelectionShown);
}

// Ink is picked like other markup: otherwise a stroke once drawn could never be removed.
TEST_F(InputTest, InkIsSelectedByAClickAndDeletedByTheKeyOrTheContextMenu) {
  const auto strokes = [this] {
    return std::ranges::count_if(app().review.annotations, [](const pdf_actions::Annotation& a) {
      return std::holds_alternative<pdf_actions::AnnoGeom::Ink>(a.geom.value);
    });
  };
  const auto before = strokes();
  key(U'3');
  drag(at(1, 100, 470), at(1, 160, 470), 6);
  drag(at(1, 100, 500), at(1, 160, 500), 6);
  ASSERT_EQ(strokes(), before + 2);
  key(U'1');
  click(at(1, 130, 472));  // beside the line, between its points
  ASSERT_EQ(app().selected_annotations.size(), 1u);
  harness_->send(velyn_ui::KeyPress{velyn_ui::Key::Delete});
  EXPECT_EQ(strokes(), before + 1);
  harness_->send(velyn_ui::PointerPress{at(1, 130, 500), velyn_ui::PointerButton::Secondary});
  ASSERT_TRUE(app().input.menu.is_open());
  click(app().input.menu.item_rect(0).center());
  EXPECT_EQ(strokes(), before);
}

TEST_F(InputTest, ContextMenuDeletesSignatures) {
  ASSERT_EQ(app().review.signatures.size(), 1u);
  const auto& s = app().review.signatures.front();
  harness_->send(velyn_ui::PointerPress{at(s.page, s.x + 10, s.y + 10), velyn_ui::PointerButton::Secondary});
  ASSERT_TRUE(app().input.menu.is_open());
  EXPECT_EQ(app().input.menu.items(), std::vector<std::string>{"Delete"});
  click(app().input.menu.item_rect(0).center());
  EXPECT_FALSE(app().input.menu.is_open());
  EXPECT_TRUE(app().review.signatures.empty());
}

TEST_F(InputTest, SignaturesArePlacedSixtyFourFromThePageEdges) {
  key(U'5');
  EXPECT_TRUE(app().panels.sidebar_open);
  EXPECT_EQ(app().sidebar.tab, pdf_app::SidebarTab::Signatures);
  harness_->frame();
  click(at(1, 1, 1));
  click(at(1, 611, 791));
  const auto& sigs = app().review.signatures;
  ASSERT_EQ(sigs.size(), 3u);
  EXPECT_NEAR(sigs[1].x, 64, 1e-6);
  EXPECT_NEAR(sigs[1].y, 64, 1e-6);
  EXPECT_NEAR(sigs[2].x, 330, 1e-6);
  EXPECT_NEAR(sigs[2].y, 654, 1e-6);
  EXPECT_TRUE(std::regex_match(sigs[2].date, std::regex(R"(\d{4}-\d{2}-\d{2})")));
  EXPECT_FALSE(sigs[2].strokes);  // typed
  EXPECT_EQ(app().input.selected_signature, sigs[2].id);

  // Draw mode without strokes has nothing to place.
  pdf_app::set_signature_mode(app(), pdf_app::SignatureMode::Draw);
  click(at(1, 300, 300));
  EXPECT_EQ(app().status, "Draw your signature first, then click a page");
  EXPECT_EQ(sigs.size(), 3u);
  key(U'1');
  EXPECT_EQ(pdf_app::place_button_label(app()), "Draw a signature to place");
}

TEST_F(InputTest, PadStrokesNeedTwoPointsAndClearEmptiesThem) {
  key(U'5');
  pdf_app::set_signature_mode(app(), pdf_app::SignatureMode::Draw);
  harness_->frame();
  const auto pad = app().signature_pad.pad_rect;
  ASSERT_TRUE(pad.has_area());
  click(pad.center());  // a tap: one point, dropped
  EXPECT_TRUE(app().signature_pad.strokes.empty());
  harness_->send(velyn_ui::PointerPress{pad.center()});
  harness_->send(velyn_ui::PointerMove{{pad.center().x + 0.1, pad.center().y}});  // 0.004 or less: no point
  harness_->send(velyn_ui::PointerMove{{pad.center().x + 20, pad.center().y + 5}});
  harness_->send(velyn_ui::PointerRelease{{pad.center().x + 20, pad.center().y + 5}});
  ASSERT_EQ(app().signature_pad.strokes.size(), 1u);
  EXPECT_EQ(app().signature_pad.strokes[0].size(), 2u);
  harness_->frame();
  ASSERT_TRUE(app().signature_pad.clear_rect.has_area());
  click(app().signature_pad.clear_rect.center());
  EXPECT_TRUE(app().signature_pad.strokes.empty());
  harness_->frame();
  EXPECT_FALSE(app().signature_pad.clear_rect.has_area());
}

TEST_F(InputTest, ANoteOpensItsEditorAndTheHeaderCountsOpenThreads) {
  EXPECT_EQ(pdf_app::threads_header(app().review.comments), "3 threads · 2 open");
  key(U'4');
  click(at(1, 500, 120));
  EXPECT_EQ(pdf_app::threads_header(app().review.comments), "4 threads · 3 open");
  ASSERT_TRUE(app().sidebar.editor);
  EXPECT_EQ(app().sidebar.tab, pdf_app::SidebarTab::Comments);
  harness_->send(velyn_ui::TextCommit{"Check this figure"});
  named(velyn_ui::Key::Enter);
  EXPECT_FALSE(app().sidebar.editor);
  EXPECT_EQ(app().review.comments.back().body, "Check this figure");
  EXPECT_EQ(pdf_app::threads_header({}), "No comments yet");
}

// Keys typed after the sidebar closed on an open editor must not vanish into it.
TEST_F(InputTest, ClosingTheSidebarEndsItsEditorAndKeysReachTheShortcutsAgain) {
  key(U'4');
  click(at(1, 500, 120));
  ASSERT_TRUE(app().sidebar.editor);
  EXPECT_TRUE(app().text_input_focused());
  harness_->send(velyn_ui::TextCommit{"half a thought"});
  const auto bar = pdf_app::compute_toolbar_layout(app().regions.toolbar, app().scale, app().tool);
  click(bar.sidebar.center());
  ASSERT_FALSE(app().panels.sidebar_open);
  EXPECT_FALSE(app().text_input_focused());
  key(U'2');
  EXPECT_EQ(app().tool, pdf_app::Tool::Highlight);
  EXPECT_FALSE(app().sidebar.editor);
  EXPECT_EQ(app().review.comments.back().body, "half a thought");  // the press took the focus: committed

  // Closed by other means (a window too narrow for it), the editor is dropped as Escape would.
  key(U'1');
  named(velyn_ui::Key::Escape);
  key(U'b');
  ASSERT_TRUE(app().panels.sidebar_open);
  pdf_app::open_comment_editor(app(), pdf_app::EditorKind::CommentBody, app().review.comments.back().id);
  harness_->send(velyn_ui::TextCommit{" more"});
  app().panels.sidebar_open = false;
  key(U'3');
  EXPECT_EQ(app().tool, pdf_app::Tool::Draw);
  EXPECT_FALSE(app().sidebar.editor);
  EXPECT_EQ(app().review.comments.back().body, "half a thought");
}

TEST_F(InputTest, TabMovesTheFocusRingAndEnterActsOnTheFocusedControl) {
  named(velyn_ui::Key::Tab);
  EXPECT_EQ(app().keyboard_focus, "toolbar.thumbnails");
  named(velyn_ui::Key::Tab, velyn_ui::kModShift);
  const auto order = pdf_app::focus_order(app());
  EXPECT_EQ(app().keyboard_focus, order[order.size() - 1].name);  // wrapped to the last control
  app().keyboard_focus = "toolbar.find";
  named(velyn_ui::Key::Enter);
  EXPECT_TRUE(app().panels.search_open);
  EXPECT_TRUE(app().text_input_focused());  // the opened search field takes the typing
  named(velyn_ui::Key::Tab);
  EXPECT_EQ(app().keyboard_focus, "search.chip.1");  // from the field to the Case chip
  EXPECT_FALSE(app().text_input_focused());
  named(velyn_ui::Key::Space);
  EXPECT_TRUE(app().search.case_sensitive);
  named(velyn_ui::Key::Escape);
  EXPECT_FALSE(app().keyboard_focus);
}

// The input method's candidate window goes where the focused field's caret is:
// the search field at the top, the page-number field in the bubble at the bottom.
TEST_F(InputTest, TheInputMethodIsToldTheFocusedFieldsCaret) {
  EXPECT_FALSE(app().ime_cursor_rect());
  key(U'f', velyn_ui::kModCtrl);
  harness_->send(velyn_ui::TextCommit{"velyn"});
  harness_->frame();
  const auto search = app().ime_cursor_rect();
  ASSERT_TRUE(search);
  EXPECT_LT(search->y1, 150);
  EXPECT_GT(search->height(), 4);
  named(velyn_ui::Key::Escape);

  key(U'g', velyn_ui::kModCtrl);
  harness_->send(velyn_ui::TextCommit{"2"});
  harness_->frame();
  const auto jump = app().ime_cursor_rect();
  ASSERT_TRUE(jump);
  EXPECT_GT(jump->y0, 800 - 80);  // in the bubble, near the window's bottom edge
  const auto bubble_field = app().page_jump.field->rect();
  EXPECT_TRUE(jump->x0 >= bubble_field.x0 && jump->x1 <= bubble_field.x1 + 1) << jump->x0 << " " << jump->x1;
  named(velyn_ui::Key::Escape);
  harness_->frame();
  EXPECT_FALSE(app().ime_cursor_rect());
}

// Pages shown from their blocks have text too: selection and copy work on the sample.
TEST_F(InputTest, TheSamplesPagesHaveTextToSelectAndCopy) {
  harness_->frame();
  ASSERT_TRUE(app().page_texts.contains(1));
  const auto layer = app().page_texts[1];
  ASSERT_TRUE(layer->text.starts_with("Velyn: A Collaborative"));
  const auto& first = layer->boxes[0];
  const auto& fifth = layer->boxes[4];
  EXPECT_NEAR(first.x, 64, 2);  // where the title is drawn: the block margin
  velyn_ui::text_selection::FakeClipboard clipboard;
  velyn_ui::text_selection::ScopedClipboard installed(clipboard);
  drag(at(1, first.x + first.width / 2, first.y + first.height / 2),
       at(1, fifth.x + fifth.width / 2, fifth.y + fifth.height / 2), 4);
  key(U'c', velyn_ui::kModCtrl);
  EXPECT_EQ(clipboard.text, "Velyn");
}

TEST_F(InputTest, SearchSteppingWrapsAndCountsAreShown) {
  key(U'f', velyn_ui::kModCtrl);
  ASSERT_TRUE(app().panels.search_open);
  EXPECT_EQ(pdf_app::search_count_text(app(), false), "");
  harness_->send(velyn_ui::TextCommit{"zzqx"});
  EXPECT_EQ(pdf_app::search_count_text(app(), false), "No matches");
  EXPECT_EQ(pdf_app::search_count_text(app(), true), "0");
  app().search.block_matches = {{1, 0, 0, 1}, {2, 0, 0, 1}, {3, 0, 0, 1}};
  app().search.current = 2;
  named(velyn_ui::Key::Enter);
  EXPECT_EQ(app().search.current, 0u);
  EXPECT_EQ(pdf_app::search_count_text(app(), false), "1 of 3 matches");
  EXPECT_EQ(pdf_app::search_count_text(app(), true), "1/3");
  named(velyn_ui::Key::Enter, velyn_ui::kModShift);
  EXPECT_EQ(app().search.current, 2u);
  EXPECT_EQ(app().current_page, 3u);
  // Typing in the field is not a shortcut.
  key(U'2');
  EXPECT_EQ(app().tool, pdf_app::Tool::Select);
  named(velyn_ui::Key::Escape);
  EXPECT_FALSE(app().panels.search_open);
  EXPECT_TRUE(app().search.field.text().empty());
}

TEST_F(InputTest, ShortcutKeysNavigateZoomAndTogglePanels) {
  const double fit = app().viewport.zoom();
  key(U'+');
  EXPECT_NEAR(app().viewport.zoom(), fit * 1.15, 1e-9);
  key(U'_');
  EXPECT_NEAR(app().viewport.zoom(), fit, 1e-9);
  key(U'=', velyn_ui::kModCtrl);
  EXPECT_NEAR(app().viewport.zoom(), fit * 1.15, 1e-9);
  key(U'0');
  EXPECT_EQ(app().fit, pdf_app::FitMode::Page);
  key(U'W');
  EXPECT_EQ(app().fit, pdf_app::FitMode::Width);
  key(U'0', velyn_ui::kModCtrl);
  EXPECT_EQ(app().fit, pdf_app::FitMode::Page);
  key(U']');
  EXPECT_EQ(app().current_page, 2u);
  named(velyn_ui::Key::Space);
  EXPECT_EQ(app().current_page, 3u);
  key(U'[');
  EXPECT_EQ(app().current_page, 2u);
  named(velyn_ui::Key::End);
  EXPECT_EQ(app().current_page, 6u);
  named(velyn_ui::Key::Home);
  key(U'[');
  EXPECT_EQ(app().current_page, 1u);
  const bool open = app().panels.sidebar_open;
  key(U'b');
  EXPECT_NE(app().panels.sidebar_open, open);
  app().status = "something";
  named(velyn_ui::Key::Escape);
  EXPECT_FALSE(app().status);
  EXPECT_TRUE(app().selected_annotations.empty());
}

TEST_F(InputTest, TheFrameUpdatePublishesMarkupToTheCatalogueWhenItChanges) {
  auto& pub = app().catalog;
  ASSERT_TRUE(pub.catalog) << app().status.value_or("");
  const std::string dk = app().record->id.to_string();
  EXPECT_TRUE(pub.catalog->find("pdf.document:" + dk).value_or(std::nullopt));
  const auto published = pub.published_key;
  harness_->frame();
  EXPECT_EQ(pub.published_key, published);  // nothing changed, nothing written
  key(U'3');
  drag(at(1, 100, 470), at(1, 160, 470), 6);
  harness_->frame();
  const std::string id = app().review.annotations.back().id;
  const auto entry = pub.catalog->find("pdf.annotation:" + id).value_or(std::nullopt);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->result.title, "ink annotation");
  // Deleted markup leaves the catalogue.
  app().selected_annotations = {id};
  named(velyn_ui::Key::Delete);
  harness_->frame();
  EXPECT_FALSE(pub.catalog->find("pdf.annotation:" + id).value_or(std::nullopt));
}

// The overlays' colours and alphas: each pixel drawn over the page must be
// the overlay colour at its alpha composited over what the page shows there
// without the overlay.
TEST_F(InputTest, OverlaysAreDrawnAtTheirColoursAndAlphas) {
  const auto& theme = velyn_ui::Theme::light().colors;
  const auto shown = [&](Point p) {
    harness_->frame();
    return harness_->pixel(static_cast<std::uint32_t>(p.x), static_cast<std::uint32_t>(p.y));
  };
  const auto expect_blend = [](velyn_ui::Color over, double alpha255, velyn_ui::Color under, velyn_ui::Color got,
                               const char* what) {
    const double a = alpha255 / 255;
    const auto near = [&](double o, double u, double g) { return std::abs((o * a + u * (1 - a)) - g) <= 2.5 / 255; };
    EXPECT_TRUE(near(over.r, under.r, got.r) && near(over.g, under.g, got.g) && near(over.b, under.b, got.b))
        << what << ": got " << got.r * 255 << "," << got.g * 255 << "," << got.b * 255;
  };

  // A highlight drag: the rect between its corners in the swatch at 80.
  const Point inside = at(1, 330, 735);
  const auto paper = shown(inside);
  app().input.markup = pdf_app::MarkupDrag{pdf_app::Tool::Highlight, 1, {}, {300, 720}, {360, 750}};
  expect_blend(theme.yellow, 80, paper, shown(inside), "highlight drag");
  app().input.markup.reset();

  // A region selection: accent at 40.
  app().input.region = {true, 1, {300, 720}, {360, 750}};
  expect_blend(theme.accent, 40, paper, shown(inside), "region selection");
  app().input.region = {};

  // Search hits: yellow at 70, the current one at 150.
  harness_->frame();
  const auto layer = app().page_texts.at(1);
  const auto& box = layer->boxes[1];  // the title's second character
  const Point glyph = at(1, box.x + box.width / 2, box.y + box.height / 2);  // clear of the corners and outline
  const auto under = shown(glyph);
  app().search_matches = {{1, 1, 1}, {1, 40, 1}};
  app().search.current = 1;
  expect_blend(theme.yellow, 70, under, shown(glyph), "search hit");
  app().search.current = 0;
  expect_blend(theme.yellow, 150, under, shown(glyph), "current search hit");
  app().search_matches.clear();
}

// On pages drawn from their blocks, a block holding a match is backed in
// accent at 26, the current match's block at 64 with an accent bar at its left.
TEST_F(InputTest, BlocksHoldingMatchesAreBackedInAccent) {
  const auto& theme = velyn_ui::Theme::light();
  key(U'f', velyn_ui::kModCtrl);
  harness_->send(velyn_ui::TextCommit{"velyn"});
  harness_->frame();
  const auto& found = app().search.block_matches;
  ASSERT_GE(found.size(), 2u);
  const auto other = std::ranges::find_if(found, [&](const auto& m) {
    return m.page == found[0].page && m.block != found[0].block;
  });
  ASSERT_NE(other, found.end()) << "the test needs two matched blocks on one page";
  const auto placed = pdf_app::place_blocks(app().doc->document.pages[found[0].page - 1], app().page_width,
                                            harness_->state().text(), theme);
  const auto& blocks = app().doc->document.pages[found[0].page - 1];
  // Page points left of a block's text, `dy` below its top.
  const auto block_point = [&](std::uint64_t block, double dx, double dy) {
    const auto b = std::ranges::find_if(placed, [&](const auto& p) { return p.block == &blocks[block]; });
    EXPECT_NE(b, placed.end());
    return at(found[0].page, b->x + dx, b->y + dy);
  };
  const auto pixel = [&](Point p) {
    harness_->frame();
    return harness_->pixel(static_cast<std::uint32_t>(p.x), static_cast<std::uint32_t>(p.y));
  };
  const auto near = [](velyn_ui::Color over, double alpha255, velyn_ui::Color under, velyn_ui::Color got) {
    const double a = alpha255 / 255;
    const auto c = [&](double o, double u, double g) { return std::abs(o * a + u * (1 - a) - g) <= 2.5 / 255; };
    return c(over.r, under.r, got.r) && c(over.g, under.g, got.g) && c(over.b, under.b, got.b);
  };
  const Point bar = block_point(found[0].block, -2.75, 6);  // mid-way across the 2.5-wide bar (the backing grows by 4)
  const Point margin = block_point(other->block, -1, 2);    // in the backing, left of its first line
  const auto with_bar = pixel(bar), with_margin = pixel(margin);
  const velyn_ui::Color paper = pdf_app::kPaper;  // the page's left margin is blank paper
  EXPECT_TRUE(near(theme.colors.accent, 255, paper, with_bar))
      << bar.x << "," << bar.y << ": " << with_bar.r * 255 << "," << with_bar.g * 255 << "," << with_bar.b * 255;
  EXPECT_TRUE(near(theme.colors.accent, 26, paper, with_margin))
      << margin.x << "," << margin.y << ": " << with_margin.r * 255 << "," << with_margin.g * 255 << ","
      << with_margin.b * 255 << " over " << paper.r * 255 << "," << paper.g * 255 << "," << paper.b * 255;
}

// A catalogue that cannot be opened is tried again a little later, and the
// document's entries are published once it can.
TEST_F(InputTest, AFailedCatalogueIsTriedAgainLater) {
  const std::string data = std::getenv("XDG_DATA_HOME");
  const std::filesystem::path blocker = std::filesystem::path(data).parent_path() / "not-a-folder";
  { std::ofstream(blocker) << "x"; }
  setenv("XDG_DATA_HOME", blocker.c_str(), 1);  // the catalogue's folder would be inside a file
  auto& pub = app().catalog;
  pub = pdf_app::CatalogPublisher{};
  app().last_now = 100;
  pdf_app::refresh_catalog(app());
  EXPECT_FALSE(pub.catalog);
  EXPECT_TRUE(app().status && app().status->starts_with("Search index unavailable: "));

  setenv("XDG_DATA_HOME", data.c_str(), 1);
  pdf_app::refresh_catalog(app());  // too soon: not tried on every frame
  EXPECT_FALSE(pub.catalog);
  app().last_now = 100 + pdf_app::kCatalogRetrySeconds;
  pdf_app::refresh_catalog(app());
  ASSERT_TRUE(pub.catalog);
  EXPECT_TRUE(pub.catalog->find("pdf.document:" + app().record->id.to_string()).value_or(std::nullopt));
}

}  // namespace
