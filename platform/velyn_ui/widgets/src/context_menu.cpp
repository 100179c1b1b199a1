#include "velyn_ui/widget/context_menu.h"

#include <algorithm>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace velyn_ui::widget {

namespace {
constexpr double kLabelInset = 14;
constexpr double kShadowOffset = 2;
}  // namespace

void ContextMenu::push(std::string label) { items_.push_back(std::move(label)); }

void ContextMenu::clear() {
  items_.clear();
  hovered_.reset();
}

void ContextMenu::open_at_clamped(Point at, const Rect& bounds, TextRenderer& renderer) {
  double width = kMinWidth;
  for (const auto& item : items_) width = std::max(width, renderer.measure(item, kLabelSize).width + 2 * kLabelInset);
  const double height = 2 * kPaddingY + kItemHeight * static_cast<double>(items_.size());
  double x = std::min(at.x, bounds.x1 - kMargin - width);
  double y = std::min(at.y, bounds.y1 - kMargin - height);
  x = std::max(x, bounds.x0 + kMargin);
  y = std::max(y, bounds.y0 + kMargin);
  frame_ = Rect::from_size(x, y, width, height);
  open_ = true;
  hovered_.reset();
}

void ContextMenu::close() {
  open_ = false;
  hovered_.reset();
}

Rect ContextMenu::item_rect(std::size_t index) const {
  const double top = frame_.y0 + kPaddingY + kItemHeight * static_cast<double>(index);
  return {frame_.x0, top, frame_.x1, top + kItemHeight};
}

std::optional<std::size_t> ContextMenu::item_at(Point p) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (item_rect(i).contains(p)) return i;
  }
  return std::nullopt;
}

ContextMenuEvent ContextMenu::handle_event(const Event& event) {
  if (!open_) return {};
  if (const auto* press = std::get_if<PointerPress>(&event)) {
    const auto item = press->button == PointerButton::Primary ? item_at(press->at) : std::nullopt;
    close();
    return {Handled::Yes, item};
  }
  if (const auto* move = std::get_if<PointerMove>(&event)) {
    hovered_ = item_at(move->at);
    return {Handled::No, std::nullopt};
  }
  if (const auto* key = std::get_if<KeyPress>(&event)) {
    const std::size_t n = items_.size();
    switch (key->key) {
      case Key::Escape: close(); break;
      case Key::Down:
        if (n) hovered_ = hovered_ ? (*hovered_ + 1) % n : 0;
        break;
      case Key::Up:
        if (n) hovered_ = hovered_ ? (*hovered_ + n - 1) % n : n - 1;
        break;
      case Key::Enter:
        if (hovered_) {
          const auto chosen = hovered_;
          close();
          return {Handled::Yes, chosen};
        }
        break;
      default: break;
    }
    return {Handled::Yes, std::nullopt};
  }
  if (std::holds_alternative<TextCommit>(event) || std::holds_alternative<TextPreedit>(event) ||
      std::holds_alternative<Wheel>(event) || std::holds_alternative<KeyRelease>(event)) {
    return {Handled::Yes, std::nullopt};
  }
  return {};
}

void ContextMenu::draw(Scene& scene, TextRenderer& renderer, const Theme& theme) const {
  if (!open_) return;
  scene.fill_rounded_rect(frame_.translated(0, kShadowOffset), theme.radius, theme.colors.text.with_alpha(0.12));
  scene.fill_rounded_rect(frame_, theme.radius, theme.colors.surface);
  scene.stroke_rounded_rect(frame_, theme.radius, 1, theme.colors.border);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Rect r = item_rect(i);
    if (hovered_ == i) scene.fill_rect(r.inset(4, 1), theme.colors.lift(0.72));
    const double h = renderer.measure(items_[i], kLabelSize).height;
    renderer.draw_text(scene, items_[i], {r.x0 + kLabelInset, r.y0 + (r.height() - h) / 2}, kLabelSize,
                       theme.colors.text);
  }
}

}  // namespace velyn_ui::widget
