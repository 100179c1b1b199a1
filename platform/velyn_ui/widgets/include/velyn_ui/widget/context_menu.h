#pragma once
// A popup menu of text items opened at a point. States: closed → open (at a
// position clamped into the window) → closed by a choice, Escape or a press
// outside. While open it takes every key, text and wheel event.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "velyn_ui/event.h"
#include "velyn_ui/geometry.h"

namespace velyn_ui {
class Scene;
class TextRenderer;
struct Theme;
}  // namespace velyn_ui

namespace velyn_ui::widget {

struct ContextMenuEvent {
  Handled handled = Handled::No;
  std::optional<std::size_t> chosen;  // index of the chosen item
};

class ContextMenu {
 public:
  static constexpr double kItemHeight = 30;
  static constexpr double kPaddingY = 6;
  static constexpr double kMinWidth = 140;
  static constexpr double kLabelSize = 13;
  static constexpr double kMargin = 4;  // kept from the window's edges

  // Items are added while closed (or to rebuild an open menu).
  void push(std::string label);
  void clear();
  [[nodiscard]] const std::vector<std::string>& items() const { return items_; }

  // Opens with its top-left at `at`, moved left/up as needed to stay inside `bounds`.
  void open_at_clamped(Point at, const Rect& bounds, TextRenderer& renderer);
  void close();
  [[nodiscard]] bool is_open() const { return open_; }
  [[nodiscard]] const Rect& frame() const { return frame_; }
  [[nodiscard]] std::optional<std::size_t> hovered() const { return hovered_; }
  [[nodiscard]] Rect item_rect(std::size_t index) const;

  // A press on an item chooses it (and closes the menu); Up/Down move the
  // highlight, Enter chooses it; Escape or a press outside closes.
  ContextMenuEvent handle_event(const Event& event);
  void draw(Scene& scene, TextRenderer& renderer, const Theme& theme) const;

 private:
  std::optional<std::size_t> item_at(Point p) const;
  std::vector<std::string> items_;
  bool open_ = false;
  Rect frame_;
  std::optional<std::size_t> hovered_;
};

}  // namespace velyn_ui::widget
