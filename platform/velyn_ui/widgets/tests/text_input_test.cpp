#include "velyn_ui/widget/text_input.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "canvas.h"
#include "velyn_ui/widget/clipboard.h"

namespace velyn_ui::widget {
namespace {

KeyPress key(Key k, Modifiers m = kModNone) { return KeyPress{k, 0, m, false}; }
TextCommit commit(std::string s) { return TextCommit{std::move(s)}; }

struct EditCase {
  const char* name;
  TextInputMode mode;
  std::string initial;
  std::vector<Event> events;
  std::string text;
  std::size_t cursor;
};

class TextInputEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(TextInputEdits, EventsProduceTextAndCaret) {
  const EditCase& c = GetParam();
  TextInput input(c.mode, 16);
  input.set_text(c.initial);
  input.set_focused(true);
  for (const auto& e : c.events) input.handle_event(e);
  EXPECT_EQ(input.text(), c.text);
  EXPECT_EQ(input.cursor_pos(), c.cursor);
}

const auto kSingle = TextInputMode::SingleLine;
const auto kMulti = TextInputMode::MultiLine;

INSTANTIATE_TEST_SUITE_P(
    Table, TextInputEdits,
    ::testing::Values(
        EditCase{"commit_appends", kSingle, "ab", {commit("cd")}, "abcd", 4},
        EditCase{"backspace_removes_whole_character", kSingle, "aé", {key(Key::Backspace)}, "a", 1},
        EditCase{"delete_at_start", kSingle, "éa", {key(Key::Home), key(Key::Delete)}, "a", 0},
        EditCase{"left_steps_over_multibyte", kSingle, "a€", {key(Key::Left), commit("x")}, "ax€", 2},
        EditCase{"ctrl_backspace_word", kSingle, "one two", {key(Key::Backspace, kModCtrl)}, "one ", 4},
        EditCase{"shift_selection_replaced", kSingle, "hello",
                 {key(Key::Left, kModShift), key(Key::Left, kModShift), commit("P")}, "helP", 4},
        EditCase{"select_all_then_type", kSingle, "hello", {KeyPress{Key::Character, U'a', kModCtrl}, commit("x")},
                 "x", 1},
        EditCase{"single_line_turns_breaks_into_spaces", kSingle, "", {commit("a\nb\r\nc")}, "a b c", 5},
        EditCase{"multi_line_keeps_breaks", kMulti, "", {commit("a\r\nb")}, "a\nb", 3},
        EditCase{"shift_enter_breaks_line", kMulti, "ab", {key(Key::Enter, kModShift)}, "ab\n", 3},
        EditCase{"controls_dropped", kSingle, "", {commit(std::string("a\x01" "b\x7f", 4))}, "ab", 2},
        EditCase{"invalid_utf8_replaced", kSingle, "", {commit("a\xff")}, "a\xEF\xBF\xBD", 4},
        EditCase{"cut_at_limit_on_character_boundary", kSingle, "0123456789abcd", {commit("€€")}, "0123456789abcd",
                 14},
        EditCase{"partial_fit_keeps_whole_characters", kSingle, "0123456789abc", {commit("é€")},
                 "0123456789abcé", 15},
        EditCase{"printable_key_left_for_input_method", kSingle, "ab", {KeyPress{Key::Character, U'z', kModNone}},
                 "ab", 2},
        EditCase{"home_end_in_multi_line_stay_on_line", kMulti, "ab\ncd",
                 {key(Key::Home), commit("x"), key(Key::End), commit("y")}, "ab\nxcdy", 7}),
    [](const ::testing::TestParamInfo<EditCase>& p) { return std::string(p.param.name); });

TEST(TextInput, ResponsesForSubmitCancelAndUnfocusedKeys) {
  TextInput input;
  EXPECT_EQ(input.handle_event(key(Key::Enter)), TextInputResponse::Ignored) << "unfocused";
  input.set_focused(true);
  EXPECT_EQ(input.handle_event(key(Key::Enter)), TextInputResponse::Submit);
  EXPECT_EQ(input.handle_event(key(Key::Escape)), TextInputResponse::Cancel);
  EXPECT_EQ(input.handle_event(KeyPress{Key::Character, U's', kModCtrl}), TextInputResponse::Ignored)
      << "shortcuts stay with the host";
  EXPECT_EQ(input.handle_event(key(Key::Up)), TextInputResponse::Ignored) << "single line";
}

TEST(TextInput, CopyAndCutTakeTheSelection) {
  text_selection::FakeClipboard clipboard;
  text_selection::ScopedClipboard scope(clipboard);
  TextInput input;
  input.set_text("lamp oil");
  input.set_focused(true);
  const KeyPress copy{Key::Character, U'c', kModCtrl};
  const KeyPress cut{Key::Character, U'x', kModCtrl};
  EXPECT_EQ(input.handle_event(copy), TextInputResponse::Ignored) << "nothing selected: the host copies";
  input.select({0, 4});
  EXPECT_EQ(input.handle_event(copy), TextInputResponse::Consumed);
  EXPECT_EQ(clipboard.text, "lamp");
  EXPECT_EQ(input.text(), "lamp oil");
  input.select({4, 8});
  EXPECT_EQ(input.handle_event(cut), TextInputResponse::Consumed);
  EXPECT_EQ(clipboard.text, " oil");
  EXPECT_EQ(input.text(), "lamp");
  EXPECT_TRUE(input.take_dirty());
  clipboard.refuse_text = true;
  input.select_all();
  input.handle_event(cut);
  EXPECT_EQ(input.text(), "lamp") << "a refused cut keeps the text";
}

TEST(TextInput, DirtyOnlyAfterEdits) {
  TextInput input;
  input.set_text("seed");
  EXPECT_FALSE(input.take_dirty());
  input.set_focused(true);
  input.handle_event(key(Key::Left));
  EXPECT_FALSE(input.take_dirty()) << "moving the caret is not an edit";
  input.handle_event(commit("x"));
  EXPECT_TRUE(input.take_dirty());
  EXPECT_FALSE(input.take_dirty());
  input.handle_event(key(Key::Backspace));
  EXPECT_TRUE(input.take_dirty());
}

TEST(TextInput, PreeditShownButNotCommitted) {
  TextInput input;
  input.set_focused(true);
  input.handle_event(TextPreedit{"ni", 2});
  EXPECT_EQ(input.preedit(), "ni");
  EXPECT_EQ(input.text(), "");
  EXPECT_EQ(input.handle_event(key(Key::Backspace)), TextInputResponse::Consumed);
  EXPECT_EQ(input.text(), "") << "keys belong to the composition";
  input.handle_event(commit("你"));
  EXPECT_EQ(input.text(), "你");
  EXPECT_TRUE(input.preedit().empty());
}

TEST(TextInput, PointerPlacesCaretAndSelectsWords) {
  testing::Canvas canvas;
  TextInput input;
  input.set_text("hello world");
  const Rect rect = Rect::from_size(10, 10, 400, 30);
  input.draw(canvas.scene, canvas.text, canvas.theme, rect, {});
  EXPECT_EQ(input.handle_event(PointerPress{{11, 25}}, 10.0), TextInputResponse::Consumed);
  EXPECT_TRUE(input.focused());
  EXPECT_EQ(input.cursor_pos(), 0u);
  input.handle_event(PointerMove{{405, 25}});
  ASSERT_TRUE(input.selection());
  EXPECT_EQ(*input.selection(), (ByteRange{0, 11})) << "dragging to the end selects everything";
  input.handle_event(PointerRelease{{405, 25}});
  EXPECT_FALSE(input.dragging());

  input.handle_event(PointerPress{{14, 25}}, 20.0);
  input.handle_event(PointerPress{{14, 25}}, 20.2);
  EXPECT_EQ(input.selected_text(), "hello") << "double press selects the word";
  input.handle_event(PointerPress{{14, 25}}, 20.3);
  EXPECT_EQ(input.selected_text(), "hello world") << "triple press selects all";

  EXPECT_EQ(input.handle_event(PointerPress{{500, 25}}, 30.0), TextInputResponse::Ignored) << "outside the rect";
  ASSERT_TRUE(input.ime_cursor_rect());
  EXPECT_GE(input.ime_cursor_rect()->x0, rect.x0);
  EXPECT_EQ(canvas.scene.depth(), 0u);
}

TEST(TextInput, MultiLineUpDownFollowsWrappedLines) {
  testing::Canvas canvas;
  TextInput input(TextInputMode::MultiLine);
  input.set_text("first\nsecond");
  input.set_focused(true);
  input.draw(canvas.scene, canvas.text, canvas.theme, Rect::from_size(0, 0, 300, 200), {});
  input.handle_event(key(Key::Up));
  EXPECT_LE(input.cursor_pos(), 5u) << "caret moved to the first line";
  input.handle_event(key(Key::Down));
  EXPECT_GT(input.cursor_pos(), 5u);
  EXPECT_GT(input.content_height(canvas.text, 300, 13), canvas.text.measure("x", 13).height * 1.5);
}

// A field's text and the renderer's text are laid out alike, so a field sized
// from the renderer's measure fits its own text exactly, wrapped or not and at
// any text zoom.
TEST(TextInput, MeasuresAsTheRendererDoes) {
  struct Case {
    TextInputMode mode;
    const char* text;
    double size;
    double scale;
  };
  const std::string long_text = "a field long enough to wrap over several lines at this width, twice over";
  for (const Case& c : {Case{TextInputMode::SingleLine, "Quarterly figures", 13, 1.0},
                        Case{TextInputMode::MultiLine, long_text.c_str(), 13, 1.0},
                        Case{TextInputMode::MultiLine, long_text.c_str(), 11, 1.75}}) {
    testing::Canvas canvas;
    canvas.text.set_text_scale(c.scale);
    TextInput input(c.mode);
    input.set_text(c.text);
    const double width = 120;
    const auto wrap = c.mode == TextInputMode::MultiLine ? std::optional<double>(width) : std::nullopt;
    EXPECT_DOUBLE_EQ(input.content_height(canvas.text, width, c.size),
                     canvas.text.measure(c.text, c.size, kWeightRegular, wrap).height)
        << c.text << " at " << c.size << " x" << c.scale;
  }
}

}  // namespace
}  // namespace velyn_ui::widget
