#include "velyn_ui/widget/text_input.h"

#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"
#include "velyn_ui/widget/clipboard.h"
#include "velyn_ui/widget/text_selection.h"

namespace velyn_ui::widget {

namespace ts = text_selection;

namespace {

constexpr double kCaretWidth = 1.5;
constexpr double kMultiClickDistance = 4.0;
constexpr double kSelectionAlpha = 0.28;

// Valid UTF-8 without control characters; line breaks only where allowed.
std::string sanitise(std::string_view in, TextInputMode mode) {
  gchar* valid = g_utf8_make_valid(in.data(), static_cast<gssize>(in.size()));
  std::string out;
  out.reserve(in.size());
  for (const char* p = valid; *p;) {
    const gunichar c = g_utf8_get_char(p);
    const char* next = g_utf8_next_char(p);
    if (c == '\r' && *next == '\n') {  // CR LF is one break
      p = next;
      continue;
    }
    if (c == '\n' || c == '\r') {
      out += mode == TextInputMode::MultiLine ? '\n' : ' ';
    } else if (c == '\t') {
      out += ' ';
    } else if (c >= 0x20 && c != 0x7f && !(c >= 0x80 && c < 0xa0)) {
      out.append(p, next);
    }
    p = next;
  }
  g_free(valid);
  return out;
}

}  // namespace

// Pango layout of what the field shows (text with the composition spliced in
// at the caret), positioned at the last drawn rect.
struct TextInput::Layout {
  PangoContext* context = nullptr;
  PangoLayout* layout = nullptr;
  Point origin;     // window position of the layout's (0, 0) before scrolling
  double scroll_x = 0;
  double scroll_y = 0;

  // The renderer's set-up, so a field's text measures as the renderer's does.
  Layout() : context(create_text_context()), layout(pango_layout_new(context)) {}
  ~Layout() {
    g_object_unref(layout);
    g_object_unref(context);
  }
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  void set(const std::string& shown, const std::string& face, double px, std::optional<double> wrap) {
    set_layout_style(layout, face, px, kWeightRegular, wrap);
    pango_layout_set_text(layout, shown.data(), static_cast<int>(shown.size()));
  }
  Rect caret(std::size_t shown_index) const {
    PangoRectangle strong;
    pango_layout_get_cursor_pos(layout, static_cast<int>(shown_index), &strong, nullptr);
    const double x = strong.x / double(PANGO_SCALE);
    const double y = strong.y / double(PANGO_SCALE);
    return Rect::from_size(x, y, kCaretWidth, strong.height / double(PANGO_SCALE));
  }
  double height() const {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return logical.height / double(PANGO_SCALE);
  }
};

TextInput::TextInput(TextInputMode mode, std::size_t max_bytes) : mode_(mode), max_bytes_(max_bytes) {}
TextInput::~TextInput() = default;
TextInput::TextInput(TextInput&&) noexcept = default;
TextInput& TextInput::operator=(TextInput&&) noexcept = default;

void TextInput::set_text(std::string_view text) {
  text_ = sanitise(text, mode_);
  text_.resize(ts::floor_boundary(text_, std::min(text_.size(), max_bytes_)));
  cursor_ = text_.size();
  anchor_.reset();
  preedit_.clear();
}

void TextInput::set_cursor_pos(std::size_t byte_offset) {
  cursor_ = ts::floor_boundary(text_, byte_offset);
  anchor_.reset();
}

std::optional<ByteRange> TextInput::selection() const {
  if (!anchor_ || *anchor_ == cursor_) return std::nullopt;
  return ByteRange{std::min(*anchor_, cursor_), std::max(*anchor_, cursor_)};
}

std::string TextInput::selected_text() const {
  const auto sel = selection();
  return sel ? text_.substr(sel->start, sel->end - sel->start) : std::string();
}

void TextInput::select(ByteRange range) {
  const std::size_t a = ts::floor_boundary(text_, std::min(range.start, range.end));
  const std::size_t b = ts::floor_boundary(text_, std::max(range.start, range.end));
  anchor_ = a;
  cursor_ = b;
}

void TextInput::select_all() { select({0, text_.size()}); }

void TextInput::set_focused(bool focused) {
  focused_ = focused;
  if (!focused) {
    preedit_.clear();
    dragging_ = false;
  }
}

bool TextInput::take_dirty() { return std::exchange(dirty_, false); }

void TextInput::edited() { dirty_ = true; }

void TextInput::erase(ByteRange range) {
  text_.erase(range.start, range.end - range.start);
  cursor_ = range.start;
  anchor_.reset();
  edited();
}

bool TextInput::insert(std::string_view text) {
  std::string clean = sanitise(text, mode_);
  if (clean.empty()) return false;
  const auto sel = selection();
  const std::size_t kept = text_.size() - (sel ? sel->end - sel->start : 0);
  if (kept >= max_bytes_) return false;
  // Cut what does not fit at a character boundary, never inside one.
  clean.resize(ts::floor_boundary(clean, std::min(clean.size(), max_bytes_ - kept)));
  if (clean.empty()) return false;
  if (sel) erase(*sel);
  text_.insert(cursor_, clean);
  cursor_ += clean.size();
  anchor_.reset();
  edited();
  return true;
}

void TextInput::move_to(std::size_t pos, bool extend) {
  if (extend) {
    if (!anchor_) anchor_ = cursor_;
  } else {
    anchor_.reset();
  }
  cursor_ = ts::floor_boundary(text_, pos);
}

TextInputResponse TextInput::handle_event(const Event& event, double now) {
  if (const auto* press = std::get_if<PointerPress>(&event)) return handle_press(*press, now);
  if (const auto* move = std::get_if<PointerMove>(&event)) {
    if (!dragging_ || !drag_origin_) return TextInputResponse::Ignored;
    const std::size_t at = index_at(move->at);
    anchor_ = *drag_origin_;
    cursor_ = at;
    return TextInputResponse::Consumed;
  }
  if (std::holds_alternative<PointerRelease>(event)) {
    if (!dragging_) return TextInputResponse::Ignored;
    dragging_ = false;
    return TextInputResponse::Consumed;
  }
  if (!focused_) return TextInputResponse::Ignored;
  if (const auto* key = std::get_if<KeyPress>(&event)) return handle_key(*key);
  if (const auto* commit = std::get_if<TextCommit>(&event)) {
    preedit_.clear();
    insert(commit->text);
    return TextInputResponse::Consumed;
  }
  if (const auto* pre = std::get_if<TextPreedit>(&event)) {
    gchar* valid = g_utf8_make_valid(pre->text.data(), static_cast<gssize>(pre->text.size()));
    preedit_ = sanitise(valid, TextInputMode::SingleLine);
    g_free(valid);
    preedit_cursor_ = std::clamp(pre->cursor, 0, static_cast<int>(g_utf8_strlen(preedit_.c_str(), -1)));
    return TextInputResponse::Consumed;
  }
  if (const auto* focus = std::get_if<FocusChange>(&event)) {
    if (!focus->focused) preedit_.clear();
    return TextInputResponse::Ignored;
  }
  return TextInputResponse::Ignored;
}

TextInputResponse TextInput::handle_key(const KeyPress& key) {
  const bool shift = key.modifiers & kModShift;
  const bool ctrl = key.modifiers & kModCtrl;
  // While composing, the input method owns the keys.
  if (!preedit_.empty()) return TextInputResponse::Consumed;
  switch (key.key) {
    case Key::Escape: return TextInputResponse::Cancel;
    case Key::Enter:
      if (mode_ == TextInputMode::MultiLine && shift) {
        insert("\n");
        return TextInputResponse::Consumed;
      }
      return TextInputResponse::Submit;
    case Key::Left:
      if (!shift && selection() && !ctrl) {
        move_to(selection()->start, false);
      } else {
        move_to(ctrl ? ts::previous_word_start(text_, cursor_) : ts::previous_char(text_, cursor_), shift);
      }
      return TextInputResponse::Consumed;
    case Key::Right:
      if (!shift && selection() && !ctrl) {
        move_to(selection()->end, false);
      } else {
        move_to(ctrl ? ts::next_word_end(text_, cursor_) : ts::next_char(text_, cursor_), shift);
      }
      return TextInputResponse::Consumed;
    case Key::Home:
    case Key::End: {
      const bool home = key.key == Key::Home;
      std::size_t target = home ? 0 : text_.size();
      if (mode_ == TextInputMode::MultiLine && !ctrl) {
        if (home) {
          const auto nl = cursor_ == 0 ? std::string::npos : text_.rfind('\n', cursor_ - 1);
          target = nl == std::string::npos ? 0 : nl + 1;
        } else {
          const auto nl = text_.find('\n', cursor_);
          target = nl == std::string::npos ? text_.size() : nl;
        }
      }
      move_to(target, shift);
      return TextInputResponse::Consumed;
    }
    case Key::Up:
    case Key::Down: {
      if (mode_ == TextInputMode::SingleLine) return TextInputResponse::Ignored;
      const auto target = vertical_target(key.key == Key::Up ? -1 : 1);
      move_to(target.value_or(key.key == Key::Up ? 0 : text_.size()), shift);
      return TextInputResponse::Consumed;
    }
    case Key::Backspace:
    case Key::Delete: {
      if (const auto sel = selection()) {
        erase(*sel);
        return TextInputResponse::Consumed;
      }
      const bool back = key.key == Key::Backspace;
      const std::size_t other = back ? (ctrl ? ts::previous_word_start(text_, cursor_) : ts::previous_char(text_, cursor_))
                                     : (ctrl ? ts::next_word_end(text_, cursor_) : ts::next_char(text_, cursor_));
      if (other != cursor_) erase({std::min(other, cursor_), std::max(other, cursor_)});
      return TextInputResponse::Consumed;
    }
    case Key::Character:
      if (ctrl && key.character == U'a') {
        select_all();
        return TextInputResponse::Consumed;
      }
      // Copy and cut take the field's selection; without one the host's copy applies.
      if (ctrl && (key.character == U'c' || key.character == U'x') && selection()) {
        if (!text_selection::clipboard_copy(selected_text())) return TextInputResponse::Consumed;
        if (key.character == U'x') erase(*selection());
        return TextInputResponse::Consumed;
      }
      return TextInputResponse::Ignored;  // shortcuts belong to the host, text to the input method
    default: return TextInputResponse::Ignored;
  }
}

TextInputResponse TextInput::handle_press(const PointerPress& press, double now) {
  if (press.button != PointerButton::Primary || !rect_.contains(press.at)) return TextInputResponse::Ignored;
  focused_ = true;
  const bool again = last_press_time_ >= 0 && now - last_press_time_ <= kMultiClickSeconds &&
                     std::abs(press.at.x - last_press_at_.x) <= kMultiClickDistance &&
                     std::abs(press.at.y - last_press_at_.y) <= kMultiClickDistance;
  press_count_ = again ? std::min(press_count_ + 1, 3) : 1;
  press_count_ = std::max(press_count_, std::clamp(press.clicks, 1, 3));
  last_press_time_ = now;
  last_press_at_ = press.at;
  const std::size_t at = index_at(press.at);
  if (press_count_ == 3) {
    select_all();
    drag_origin_.reset();
  } else if (press_count_ == 2) {
    const auto word = ts::word_boundaries(text_, at);
    select({word.start, word.end});
    drag_origin_.reset();
  } else if (press.modifiers & kModShift) {
    move_to(at, true);
    drag_origin_ = anchor_;
  } else {
    move_to(at, false);
    drag_origin_ = at;
  }
  dragging_ = true;
  return TextInputResponse::Consumed;
}

std::size_t TextInput::index_at(Point window_point) {
  if (!layout_) return text_.size();
  const double lx = window_point.x - layout_->origin.x + layout_->scroll_x;
  const double ly = window_point.y - layout_->origin.y + layout_->scroll_y;
  int index = 0;
  int trailing = 0;
  pango_layout_xy_to_index(layout_->layout, static_cast<int>(lx * PANGO_SCALE), static_cast<int>(ly * PANGO_SCALE),
                           &index, &trailing);
  const char* shown = pango_layout_get_text(layout_->layout);
  const std::size_t shown_len = std::strlen(shown);
  std::size_t pos = static_cast<std::size_t>(std::max(index, 0));
  for (int i = 0; i < trailing && pos < shown_len; ++i) pos = ts::next_char(std::string_view(shown, shown_len), pos);
  // Map from the shown text (composition spliced in) back to the text.
  const std::size_t p = preedit_.size();
  if (p > 0 && pos > cursor_) pos = pos >= cursor_ + p ? pos - p : cursor_;
  return ts::floor_boundary(text_, pos);
}

std::optional<std::size_t> TextInput::vertical_target(int direction) {
  if (!layout_) return std::nullopt;
  const Rect caret = layout_->caret(cursor_);
  const double y = direction < 0 ? caret.y0 - 1 : caret.y1 + 1;
  if (y < 0 || y >= layout_->height()) return std::nullopt;
  int index = 0;
  int trailing = 0;
  pango_layout_xy_to_index(layout_->layout, static_cast<int>(caret.x0 * PANGO_SCALE), static_cast<int>(y * PANGO_SCALE),
                           &index, &trailing);
  std::size_t pos = static_cast<std::size_t>(std::max(index, 0));
  for (int i = 0; i < trailing; ++i) pos = ts::next_char(text_, pos);
  return pos;
}

double TextInput::content_height(TextRenderer& renderer, double width, double size) {
  // A layout of its own: the drawn one serves hit tests until the next draw.
  if (!measure_) measure_ = std::make_unique<Layout>();
  const std::string shown = text_.empty() ? std::string(" ") : text_;
  measure_->set(shown, renderer.face(), size * renderer.text_scale(),
                mode_ == TextInputMode::MultiLine ? std::optional<double>(width) : std::nullopt);
  return measure_->height();
}

void TextInput::draw(Scene& scene, TextRenderer& renderer, const Theme& theme, const Rect& rect,
                     const TextInputStyle& style, const PresenceContext& presence) {
  rect_ = rect;
  if (!layout_) layout_ = std::make_unique<Layout>();
  Layout& lay = *layout_;
  const Rect area = rect.inset(style.padding);
  const bool multi = mode_ == TextInputMode::MultiLine;
  std::string shown = text_;
  shown.insert(cursor_, preedit_);
  lay.set(shown, renderer.face(), style.size * renderer.text_scale(),
          multi ? std::optional<double>(std::max(1.0, area.width())) : std::nullopt);

  // Caret position in the shown text: inside the composition at its cursor.
  std::size_t caret_index = cursor_;
  if (!preedit_.empty()) {
    const char* at = g_utf8_offset_to_pointer(preedit_.c_str(), preedit_cursor_);
    caret_index += static_cast<std::size_t>(at - preedit_.c_str());
  }
  const Rect caret = lay.caret(caret_index);
  const double text_h = lay.height();

  // Keep the caret visible: horizontal scrolling for one line, vertical for many.
  if (!multi) {
    if (caret.x1 - lay.scroll_x > area.width()) lay.scroll_x = caret.x1 - area.width();
    if (caret.x0 - lay.scroll_x < 0) lay.scroll_x = caret.x0;
    lay.scroll_x = std::max(0.0, lay.scroll_x);
    lay.scroll_y = 0;
    lay.origin = {area.x0, area.y0 + std::max(0.0, (area.height() - text_h) / 2)};
  } else {
    if (caret.y1 - lay.scroll_y > area.height()) lay.scroll_y = caret.y1 - area.height();
    if (caret.y0 - lay.scroll_y < 0) lay.scroll_y = caret.y0;
    lay.scroll_y = std::clamp(lay.scroll_y, 0.0, std::max(0.0, text_h - area.height()));
    lay.scroll_x = 0;
    lay.origin = {area.x0, area.y0};
  }
  const double ox = lay.origin.x - lay.scroll_x;
  const double oy = lay.origin.y - lay.scroll_y;

  scene.push_clip(area.inset(-kCaretWidth, 0));
  const Color text_color = style.text_color.value_or(theme.colors.text);

  // Selection: one rect per line piece.
  if (const auto sel = selection()) {
    const auto to_shown = [&](std::size_t t) { return t > cursor_ ? t + preedit_.size() : t; };
    const int start = static_cast<int>(to_shown(sel->start));
    const int end = static_cast<int>(to_shown(sel->end));
    const int lines = pango_layout_get_line_count(lay.layout);
    for (int li = 0; li < lines; ++li) {
      PangoLayoutLine* line = pango_layout_get_line_readonly(lay.layout, li);
      const int ls = line->start_index;
      const int le = line->start_index + line->length;
      if (end <= ls || start > le) continue;
      int* ranges = nullptr;
      int n = 0;
      pango_layout_line_get_x_ranges(line, std::max(start, ls), std::min(end, le), &ranges, &n);
      PangoLayoutIter* iter = pango_layout_get_iter(lay.layout);
      for (int k = 0; k < li; ++k) pango_layout_iter_next_line(iter);
      int y0 = 0;
      int y1 = 0;
      pango_layout_iter_get_line_yrange(iter, &y0, &y1);
      pango_layout_iter_free(iter);
      for (int r = 0; r < n; ++r) {
        const double x0 = ranges[2 * r] / double(PANGO_SCALE);
        const double x1 = ranges[2 * r + 1] / double(PANGO_SCALE);
        scene.fill_rect({ox + x0, oy + y0 / double(PANGO_SCALE), ox + std::max(x1, x0 + 3),
                         oy + y1 / double(PANGO_SCALE)},
                        theme.colors.accent.with_alpha(kSelectionAlpha));
      }
      g_free(ranges);
    }
  }

  if (shown.empty() && !style.placeholder.empty()) {
    renderer.draw_text(scene, style.placeholder, {lay.origin.x, lay.origin.y}, style.size,
                       theme.colors.secondary_text);
  } else {
    cairo_t* cr = scene.native();
    cairo_save(cr);
    cairo_set_source_rgba(cr, text_color.r, text_color.g, text_color.b, text_color.a);
    cairo_move_to(cr, ox, oy);
    pango_cairo_show_layout(cr, lay.layout);
    cairo_restore(cr);
  }

  // The composition is underlined where it sits.
  if (!preedit_.empty()) {
    const Rect a = lay.caret(cursor_);
    const Rect b = lay.caret(cursor_ + preedit_.size());
    if (a.y0 == b.y0) scene.line({ox + a.x0, oy + a.y1 - 1}, {ox + b.x0, oy + b.y1 - 1}, 1.0, text_color);
  }

  for (const auto& other : presence.carets) {
    const std::size_t at = ts::floor_boundary(text_, std::min(other.position, text_.size()));
    const Rect c = lay.caret(at > cursor_ ? at + preedit_.size() : at);
    scene.fill_rect(c.translated(ox, oy), other.color);
  }
  if (focused_) scene.fill_rect(caret.translated(ox, oy), theme.colors.accent);
  scene.pop();
}

std::optional<Rect> TextInput::ime_cursor_rect() const {
  if (!focused_ || !layout_) return std::nullopt;
  const Rect caret = layout_->caret(cursor_);
  return caret.translated(layout_->origin.x - layout_->scroll_x, layout_->origin.y - layout_->scroll_y);
}

}  // namespace velyn_ui::widget
