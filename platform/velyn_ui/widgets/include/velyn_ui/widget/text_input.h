#pragma once
// An editable text field, single- or multi-line: text, caret, selection and
// the input method's composition, drawn into a rect each frame.
//
// Invariants: the text is valid UTF-8 of at most max_bytes() bytes (a single
// line field holds no line breaks); the caret and the selection anchor are
// byte offsets on character boundaries within the text. The preedit string is
// shown at the caret but is not part of the text until the input method
// commits it. `take_dirty` reports edits since its last call; set_text is not
// an edit.
//
// Typing arrives as TextCommit from the input method: a printable KeyPress
// without Ctrl/Alt is left unhandled so that the window hands it to the input
// method. Ctrl+C and Ctrl+X copy (and cut) the selection to the clipboard;
// without a selection they are left to the host. UI thread only.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "velyn_ui/color.h"
#include "velyn_ui/event.h"
#include "velyn_ui/geometry.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace velyn_ui::widget {

enum class TextInputMode { SingleLine, MultiLine };

// What an event did to the field.
enum class TextInputResponse {
  Ignored,   // not for the field (or left for the input method)
  Consumed,  // handled: caret, selection, text or composition changed
  Submit,    // Enter (Shift+Enter inserts a line break in a multi-line field)
  Cancel,    // Escape
};

struct ByteRange {
  std::size_t start = 0;  // end exclusive, start <= end
  std::size_t end = 0;
  friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// Another participant's caret shown in the same field (collaborative editing).
struct PresenceCaret {
  std::string name;
  Color color;
  std::size_t position = 0;  // byte offset; clamped to the text
};
struct PresenceContext {
  std::vector<PresenceCaret> carets;
};

struct TextInputStyle {
  double size = 13;                     // px before the text scale
  std::string_view placeholder;         // shown while the text and the composition are empty
  std::optional<Color> text_color;      // default: theme text
  double padding = 0;                   // inside the rect on every side
};

// What a host answers for a keyboard event its focused field had: every key
// and text is the field's (plain keys are typing, their text arrives as a
// commit), except a Ctrl or Alt shortcut the field ignored (Ctrl+S, Ctrl+O…),
// which goes on to the host's own shortcuts.
inline Handled focused_field_answer(TextInputResponse response, const Event& event) {
  const auto* key = std::get_if<KeyPress>(&event);
  const bool shortcut = key && (key->modifiers & (kModCtrl | kModAlt));
  return response == TextInputResponse::Ignored && shortcut ? Handled::No : Handled::Yes;
}

class TextInput {
 public:
  static constexpr std::size_t kDefaultMaxBytes = 16 * 1024;
  // Presses within this many seconds and pixels count as a double/triple click.
  static constexpr double kMultiClickSeconds = 0.4;

  explicit TextInput(TextInputMode mode = TextInputMode::SingleLine, std::size_t max_bytes = kDefaultMaxBytes);
  ~TextInput();
  TextInput(TextInput&&) noexcept;
  TextInput& operator=(TextInput&&) noexcept;
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;

  [[nodiscard]] const std::string& text() const { return text_; }
  // Replaces the text (sanitised like typed text), caret at the end, no
  // selection, composition dropped. Not reported by take_dirty.
  void set_text(std::string_view text);
  [[nodiscard]] std::size_t cursor_pos() const { return cursor_; }
  // Moves the caret (snapped back to a character boundary) and clears the selection.
  void set_cursor_pos(std::size_t byte_offset);
  [[nodiscard]] std::optional<ByteRange> selection() const;
  [[nodiscard]] std::string selected_text() const;
  void select(ByteRange range);  // caret at range.end
  void select_all();
  // Inserts at the caret, replacing the selection. Returns false (and changes
  // nothing) when nothing of `text` fits or it is empty after sanitising.
  bool insert(std::string_view text);

  [[nodiscard]] bool focused() const { return focused_; }
  void set_focused(bool focused);
  [[nodiscard]] bool take_dirty();
  [[nodiscard]] const std::string& preedit() const { return preedit_; }
  [[nodiscard]] TextInputMode mode() const { return mode_; }
  [[nodiscard]] std::size_t max_bytes() const { return max_bytes_; }

  // Keys and text apply only while focused; a press inside the last drawn
  // rect focuses the field and places the caret (double press: word, triple:
  // everything), moves while the button is held extend the selection.
  TextInputResponse handle_event(const Event& event, double now = 0);
  [[nodiscard]] bool dragging() const { return dragging_; }

  void draw(Scene& scene, TextRenderer& renderer, const Theme& theme, const Rect& rect, const TextInputStyle& style,
            const PresenceContext& presence = {});
  // Height the text takes when wrapped to `width` (one line when empty).
  double content_height(TextRenderer& renderer, double width, double size);

  // The caret in window coordinates from the last draw, for the input method.
  [[nodiscard]] std::optional<Rect> ime_cursor_rect() const;
  [[nodiscard]] const Rect& rect() const { return rect_; }

 private:
  struct Layout;
  TextInputResponse handle_key(const KeyPress& key);
  TextInputResponse handle_press(const PointerPress& press, double now);
  std::size_t index_at(Point window_point);
  std::optional<std::size_t> vertical_target(int direction);
  void move_to(std::size_t pos, bool extend);
  void erase(ByteRange range);
  void edited();

  TextInputMode mode_;
  std::size_t max_bytes_;
  std::string text_;
  std::size_t cursor_ = 0;
  std::optional<std::size_t> anchor_;
  std::string preedit_;
  int preedit_cursor_ = 0;
  bool focused_ = false;
  bool dirty_ = false;
  bool dragging_ = false;
  std::optional<std::size_t> drag_origin_;
  double last_press_time_ = -1;
  Point last_press_at_;
  int press_count_ = 0;
  Rect rect_;
  std::unique_ptr<Layout> layout_;   // as last drawn
  std::unique_ptr<Layout> measure_;  // for content_height
};

}  // namespace velyn_ui::widget
