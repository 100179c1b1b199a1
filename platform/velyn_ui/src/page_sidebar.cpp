#include "velyn_ui/page_sidebar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace velyn_ui {

namespace widget::page_sidebar {

std::string_view translated(std::string_view key) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kTexts = {{
      {"title", "Pages"},
      {"duplicate", "Duplicate page"},
      {"delete", "Delete page"},
      {"add", "Add pages"},
  }};
  for (const auto& [k, text] : kTexts) {
    if (k == key) return text;
  }
  return key;
}

}  // namespace widget::page_sidebar

using widget::page_sidebar::Outcome;
using widget::page_sidebar::OutcomeKind;
using widget::page_sidebar::Thumb;

namespace {
constexpr std::array<std::pair<std::string_view, OutcomeKind>, 2> kMenuItems = {{
    {"duplicate", OutcomeKind::Duplicate},
    {"delete", OutcomeKind::Delete},
}};
constexpr double kLabelSize = 12;
constexpr double kMenuTextSize = 12.5;
}  // namespace

void PageSidebar::begin_frame(const Rect& rail, std::size_t page_count, std::size_t current, double aspect) {
  rail_ = rail;
  count_ = page_count;
  aspect_ = std::isfinite(aspect) ? std::max(aspect, kMinAspect) : 1.0;
  if (gesture_ == Gesture::PressedThumb || gesture_ == Gesture::Dragging) {
    if (pressed_index_ >= count_) gesture_ = Gesture::Idle;  // the page went away under the press
  }
  if (menu_ && menu_->index >= count_) menu_.reset();
  if (count_ > 0 && current < count_ && last_current_ != current) {
    // Keep the current page in view when it changes (scrolling the canvas, the bubble, a go-to).
    const Rect t = thumb_rect(current);
    const Rect list = list_rect();
    if (t.y0 < list.y0) set_scroll(scroll_ - (list.y0 - t.y0) - kThumbGap * scale_ / 2);
    if (t.y1 > list.y1) set_scroll(scroll_ + (t.y1 - list.y1) + kThumbGap * scale_ / 2);
  }
  last_current_ = current;
  set_scroll(scroll_);
}

Rect PageSidebar::header_rect() const { return {rail_.x0, rail_.y0, rail_.x1, rail_.y0 + kHeaderHeight * scale_}; }

Rect PageSidebar::list_rect() const {
  const double top = rail_.y0 + kHeaderHeight * scale_;
  return {rail_.x0, top, rail_.x1, std::max(top, rail_.y1 - kAddButtonArea * scale_)};
}

Rect PageSidebar::add_button_rect() const {
  const double pad = kPadding * scale_;
  const double bottom = rail_.y1 - 8 * scale_;
  return {rail_.x0 + pad, bottom - 32 * scale_, rail_.x1 - pad, bottom};
}

double PageSidebar::thumb_height() const {
  const double w = (rail_.x1 - kPadding * scale_) - (rail_.x0 + kGutter * scale_);
  return std::max(w, 0.0) * aspect_;
}

double PageSidebar::content_height() const {
  if (count_ == 0) return 0;
  return double(count_) * pitch();  // half a gap above the first and below the last
}

double PageSidebar::max_scroll() const { return std::max(0.0, content_height() - list_rect().height()); }

void PageSidebar::set_scroll(double scroll) { scroll_ = std::clamp(scroll, 0.0, max_scroll()); }

Rect PageSidebar::thumb_rect(std::size_t index) const {
  const double x0 = rail_.x0 + kGutter * scale_;
  const double x1 = rail_.x1 - kPadding * scale_;
  const double y = list_rect().y0 + kThumbGap * scale_ / 2 + double(index) * pitch() - scroll_;
  return {x0, y, std::max(x0, x1), y + thumb_height()};
}

std::vector<Thumb> PageSidebar::thumb_rects() const {
  std::vector<Thumb> out;
  const Rect list = list_rect();
  if (count_ == 0 || thumb_height() <= 0 || !list.has_area()) return out;
  const double p = pitch();
  // Only the pages whose slot meets the list area.
  const double first = std::floor((scroll_ - kThumbGap * scale_) / p);
  for (std::size_t i = first > 0 ? std::size_t(first) : 0; i < count_; ++i) {
    const Rect t = thumb_rect(i);
    if (t.y0 > list.y1) break;
    if (t.y1 < list.y0) continue;
    out.push_back({i, t});
  }
  return out;
}

std::optional<std::size_t> PageSidebar::thumb_at(Point at) const {
  if (!list_rect().contains(at)) return std::nullopt;
  for (const auto& t : thumb_rects()) {
    if (t.rect.contains(at)) return t.index;
  }
  return std::nullopt;
}

Rect PageSidebar::menu_rect() const {
  if (!menu_) return {};
  const double w = kMenuWidth * scale_;
  const double h = double(kMenuItems.size()) * kMenuItemHeight * scale_ + 8 * scale_;
  // Opens right and below the pointer, pulled back inside the rail's height.
  double x = std::max(menu_->at.x, rail_.x0 + 2);
  double y = menu_->at.y;
  if (y + h > rail_.y1) y = std::max(rail_.y0, rail_.y1 - h);
  return {x, y, x + w, y + h};
}

Rect PageSidebar::menu_entry_rect(std::size_t item) const {
  if (!menu_ || item >= kMenuItems.size()) return {};
  const Rect m = menu_rect();
  const double top = m.y0 + 4 * scale_ + double(item) * kMenuItemHeight * scale_;
  return {m.x0 + 4 * scale_, top, m.x1 - 4 * scale_, top + kMenuItemHeight * scale_};
}

bool PageSidebar::on_press(Point at) {
  pointer_ = at;
  if (menu_) {
    const Rect m = menu_rect();
    if (m.contains(at)) {
      for (std::size_t i = 0; i < kMenuItems.size(); ++i) {
        if (menu_entry_rect(i).contains(at)) outcomes_.push_back({kMenuItems[i].second, menu_->index, 0});
      }
    }
    menu_.reset();
    return true;  // a press that closes the menu does nothing else
  }
  if (!rail_.contains(at)) return false;
  if (add_button_rect().contains(at)) {
    gesture_ = Gesture::PressedAdd;
    return true;
  }
  if (auto index = thumb_at(at)) {
    gesture_ = Gesture::PressedThumb;
    pressed_index_ = *index;
    press_at_ = at;
    return true;
  }
  return true;  // header, gutter, gaps: the rail's, but nothing happens
}

bool PageSidebar::on_motion(Point at) {
  const bool moved = !(pointer_ == at);
  pointer_ = at;
  if (gesture_ == Gesture::PressedThumb &&
      std::hypot(at.x - press_at_.x, at.y - press_at_.y) > kDragThreshold) {
    gesture_ = Gesture::Dragging;
  }
  if (gesture_ == Gesture::Dragging) {
    // Dragging near the list's ends scrolls it, so any slot can be reached.
    const Rect list = list_rect();
    const double edge = 24 * scale_;
    if (at.y < list.y0 + edge) set_scroll(scroll_ - (list.y0 + edge - at.y) / 2);
    if (at.y > list.y1 - edge) set_scroll(scroll_ + (at.y - (list.y1 - edge)) / 2);
    return true;
  }
  return moved && (menu_ || rail_.contains(at));
}

std::optional<std::size_t> PageSidebar::drop_index() const {
  if (gesture_ != Gesture::Dragging || count_ == 0) return std::nullopt;
  // The slot before the first thumbnail whose middle lies below the pointer.
  const double first_mid = thumb_rect(0).center().y;
  const double k = std::floor((pointer_.y - first_mid) / pitch()) + 1;
  return std::size_t(std::clamp(k, 0.0, double(count_)));
}

std::optional<Rect> PageSidebar::drop_indicator() const {
  const auto drop = drop_index();
  if (!drop) return std::nullopt;
  const double gap = kThumbGap * scale_;
  const double y = *drop < count_ ? thumb_rect(*drop).y0 - gap / 2 : thumb_rect(count_ - 1).y1 + gap / 2;
  const Rect t = thumb_rect(0);
  return Rect{t.x0 - 4 * scale_, y - 1.5 * scale_, t.x1 + 4 * scale_, y + 1.5 * scale_};
}

bool PageSidebar::on_release(Point at) {
  pointer_ = at;
  const Gesture gesture = std::exchange(gesture_, Gesture::Idle);
  switch (gesture) {
    case Gesture::Idle: return false;
    case Gesture::PressedAdd:
      if (add_button_rect().contains(at)) outcomes_.push_back({OutcomeKind::AddPages, 0, 0});
      return true;
    case Gesture::PressedThumb:
      if (thumb_at(at) == pressed_index_) outcomes_.push_back({OutcomeKind::Select, pressed_index_, 0});
      return true;
    case Gesture::Dragging: {
      gesture_ = Gesture::Dragging;  // drop_index reads the drag state
      const auto drop = drop_index();
      gesture_ = Gesture::Idle;
      // Slots right before and after the page leave the order as it is.
      if (drop && *drop != pressed_index_ && *drop != pressed_index_ + 1) {
        outcomes_.push_back({OutcomeKind::Move, pressed_index_, *drop});
      }
      return true;
    }
  }
  return false;
}

bool PageSidebar::on_right_press(Point at) {
  pointer_ = at;
  if (!rail_.contains(at)) {
    const bool was_open = menu_.has_value();
    menu_.reset();
    return was_open;
  }
  gesture_ = Gesture::Idle;
  if (auto index = thumb_at(at)) {
    menu_ = Menu{*index, at};
  } else {
    menu_.reset();
  }
  return true;
}

bool PageSidebar::on_wheel(double delta) {
  const double before = scroll_;
  set_scroll(scroll_ + delta * kWheelStep * scale_);
  menu_.reset();
  return scroll_ != before;
}

bool PageSidebar::on_escape() {
  const bool active = gesture_ != Gesture::Idle || menu_;
  gesture_ = Gesture::Idle;
  menu_.reset();
  return active;
}

std::vector<Outcome> PageSidebar::take_outcomes() { return std::exchange(outcomes_, {}); }

void PageSidebar::draw_scrollbar(Scene& scene, const Theme& theme) const {
  const Rect list = list_rect();
  const double content = content_height();
  if (content <= list.height() || !list.has_area()) return;
  const double track = list.height() - 8 * scale_;
  const double length = std::max(24 * scale_, track * list.height() / content);
  const double top = list.y0 + 4 * scale_ + (track - length) * (scroll_ / max_scroll());
  const double w = 4 * scale_;
  const Rect bar{rail_.x1 - w - 3 * scale_, top, rail_.x1 - 3 * scale_, top + length};
  scene.fill_rounded_rect(bar, w / 2, theme.colors.secondary_text.with_alpha(0.45));
}

void PageSidebar::draw_add_button(Scene& scene, TextRenderer& text, const Theme& theme,
                                  std::optional<Point> pointer) const {
  const Rect b = add_button_rect();
  if (!b.has_area() || b.y0 < list_rect().y0) return;
  const bool hovered = pointer && b.contains(*pointer);
  if (hovered) scene.fill_rounded_rect(b, theme.radius, theme.colors.lift(0.72));
  scene.stroke_rounded_rect(b.inset(0.5), theme.radius, 1, theme.colors.border);
  const std::string_view label = widget::page_sidebar::translated("add");
  const auto m = text.measure(label, kLabelSize, kWeightMedium);
  const double icon = 10 * scale_;
  const double block = icon + 6 * scale_ + m.width;
  const bool room = block + 8 * scale_ <= b.width();
  const double x = room ? b.center().x - block / 2 : b.center().x - icon / 2;
  const Point c{x + icon / 2, b.center().y};
  scene.line({c.x - icon / 2, c.y}, {c.x + icon / 2, c.y}, 1.6, theme.colors.text, LineCap::Round);
  scene.line({c.x, c.y - icon / 2}, {c.x, c.y + icon / 2}, 1.6, theme.colors.text, LineCap::Round);
  if (room) {
    text.draw_text_weighted(scene, label, {x + icon + 6 * scale_, b.center().y - m.height / 2}, kLabelSize,
                            kWeightMedium, theme.colors.text);
  }
}

void PageSidebar::draw_menu(Scene& scene, TextRenderer& text, const Theme& theme, std::optional<Point> pointer) const {
  if (!menu_) return;
  const Rect m = menu_rect();
  scene.fill_rounded_rect(m.translated(0, 2), theme.radius, Color{0, 0, 0, 0.12});
  scene.fill_rounded_rect(m, theme.radius, theme.colors.surface);
  scene.stroke_rounded_rect(m.inset(0.5), theme.radius, 1, theme.colors.border);
  for (std::size_t i = 0; i < kMenuItems.size(); ++i) {
    const Rect item = menu_entry_rect(i);
    if (pointer && item.contains(*pointer)) scene.fill_rounded_rect(item, theme.radius / 2, theme.colors.lift(0.72));
    const std::string_view label = widget::page_sidebar::translated(kMenuItems[i].first);
    const auto tm = text.measure(label, kMenuTextSize);
    const Color color = kMenuItems[i].second == OutcomeKind::Delete ? theme.colors.danger : theme.colors.text;
    text.draw_text(scene, label, {item.x0 + 10 * scale_, item.center().y - tm.height / 2}, kMenuTextSize, color);
  }
}

}  // namespace velyn_ui
