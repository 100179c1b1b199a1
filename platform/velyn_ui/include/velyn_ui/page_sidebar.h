#pragma once
// The page rail: a scrolling column of page thumbnails under a header, with an
// "add pages" button at the bottom, a per-page menu and drag reordering.
//
// The rail lays out and hit-tests; the application paints each thumbnail's
// content (it owns the rasters) and applies what the rail queued: the rail only
// reports outcomes (select, move, duplicate, delete, add pages), it never
// changes the page sequence itself.
//
// States: idle → pressed (on a thumbnail or the add button) → dragging (the
// pointer moved more than kDragThreshold from a thumbnail press) → idle on
// release or escape; a secondary press on a thumbnail opens the menu, which the
// next press closes (choosing an entry when it lands on one).
// Invariants: 0 <= scroll <= max scroll after begin_frame and every scroll; a
// move outcome always changes the order (dropping a page beside itself is no move).
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "velyn_ui/geometry.h"

namespace velyn_ui {

class Scene;
class TextRenderer;
struct Theme;

namespace widget::page_sidebar {

// The rail's own texts by key: "title" → "Pages", "duplicate" → "Duplicate
// page", "delete" → "Delete page", "add" → "Add pages"; an unknown key is
// returned as given.
std::string_view translated(std::string_view key);

enum class OutcomeKind { Select, Move, Duplicate, Delete, AddPages };

struct Outcome {
  OutcomeKind kind = OutcomeKind::Select;
  std::size_t index = 0;       // the page acted on, 0-based
  std::size_t drop_index = 0;  // Move: the slot the page goes to, 0..count, in the order before the move
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

// A thumbnail the rail lays out this frame.
struct Thumb {
  std::size_t index = 0;
  Rect rect;
};

}  // namespace widget::page_sidebar

class PageSidebar {
 public:
  static constexpr double kHeaderHeight = 34;
  static constexpr double kGutter = 30;  // page numbers, left of the thumbnails
  static constexpr double kPadding = 12;
  static constexpr double kThumbGap = 14;
  static constexpr double kAddButtonArea = 48;
  static constexpr double kDragThreshold = 4;
  static constexpr double kWheelStep = 48;  // pixels per wheel line
  static constexpr double kMenuWidth = 150;
  static constexpr double kMenuItemHeight = 30;
  static constexpr double kMinAspect = 0.05;

  explicit PageSidebar(double scale = 1.0) : scale_(scale) {}

  // Lays the rail out for this frame. `aspect` is page height / width (at
  // least kMinAspect); when `current` changed since the last frame the rail
  // scrolls to show it.
  void begin_frame(const Rect& rail, std::size_t page_count, std::size_t current, double aspect);

  // The thumbnails that lie in the list area, in page order.
  [[nodiscard]] std::vector<widget::page_sidebar::Thumb> thumb_rects() const;
  // The rect of page `index` whether or not it is in view.
  [[nodiscard]] Rect thumb_rect(std::size_t index) const;
  [[nodiscard]] const Rect& rect() const { return rail_; }
  [[nodiscard]] Rect header_rect() const;
  [[nodiscard]] Rect list_rect() const;
  [[nodiscard]] Rect add_button_rect() const;
  [[nodiscard]] double scroll() const { return scroll_; }
  [[nodiscard]] double max_scroll() const;

  // Input. Each returns true when the rail took the event (and may need a redraw).
  bool on_press(Point at);
  bool on_motion(Point at);
  bool on_release(Point at);
  bool on_right_press(Point at);
  // `delta` in wheel lines; positive scrolls toward the last page.
  bool on_wheel(double delta);
  bool on_escape();

  // Whether a press began on the rail and has not been released.
  [[nodiscard]] bool gesture_active() const { return gesture_ != Gesture::Idle; }
  [[nodiscard]] bool dragging() const { return gesture_ == Gesture::Dragging; }
  [[nodiscard]] bool menu_open() const { return menu_.has_value(); }
  // Entry `item` of the open menu (0 "duplicate", 1 "delete"); empty when closed.
  [[nodiscard]] Rect menu_entry_rect(std::size_t item) const;
  // The drop slot of the drag in progress and the line that shows it.
  [[nodiscard]] std::optional<std::size_t> drop_index() const;
  [[nodiscard]] std::optional<Rect> drop_indicator() const;

  // What the gestures decided, oldest first; taking them empties the queue.
  [[nodiscard]] std::vector<widget::page_sidebar::Outcome> take_outcomes();

  void draw_scrollbar(Scene& scene, const Theme& theme) const;
  void draw_add_button(Scene& scene, TextRenderer& text, const Theme& theme, std::optional<Point> pointer) const;
  void draw_menu(Scene& scene, TextRenderer& text, const Theme& theme, std::optional<Point> pointer) const;

 private:
  enum class Gesture { Idle, PressedThumb, Dragging, PressedAdd };
  struct Menu {
    std::size_t index = 0;
    Point at;
  };
  [[nodiscard]] double thumb_height() const;
  [[nodiscard]] double pitch() const { return thumb_height() + kThumbGap * scale_; }
  [[nodiscard]] double content_height() const;
  [[nodiscard]] std::optional<std::size_t> thumb_at(Point at) const;
  [[nodiscard]] Rect menu_rect() const;
  void set_scroll(double scroll);

  double scale_ = 1.0;
  Rect rail_;
  std::size_t count_ = 0;
  std::optional<std::size_t> last_current_;
  double aspect_ = 1.0;
  double scroll_ = 0;
  Gesture gesture_ = Gesture::Idle;
  std::size_t pressed_index_ = 0;
  Point press_at_;
  Point pointer_;
  std::optional<Menu> menu_;
  std::vector<widget::page_sidebar::Outcome> outcomes_;
};

}  // namespace velyn_ui
