#pragma once
// The toolkit's own input events. Window-system events are translated into
// these by the backend; widgets never see a window-system type.
#include <cstdint>
#include <string>
#include <variant>

#include "velyn_ui/geometry.h"

namespace velyn_ui {

enum Modifier : std::uint8_t {
  kModNone = 0,
  kModShift = 1 << 0,
  kModCtrl = 1 << 1,
  kModAlt = 1 << 2,
  kModSuper = 1 << 3,
};
using Modifiers = std::uint8_t;

enum class PointerButton : std::uint8_t { None, Primary, Middle, Secondary };

struct PointerPress {
  Point at;
  PointerButton button = PointerButton::Primary;
  int clicks = 1;  // 1 single, 2 double, 3 triple
  Modifiers modifiers = kModNone;
};
struct PointerRelease {
  Point at;
  PointerButton button = PointerButton::Primary;
  Modifiers modifiers = kModNone;
};
struct PointerMove {
  Point at;
  Modifiers modifiers = kModNone;
};
struct PointerLeave {};

enum class WheelUnit : std::uint8_t { Lines, Pixels };
// The wheel's turn, signed like the content's travel towards its start: a
// wheel turned up (or a touchpad swiped down) gives dy > 0, left gives dx > 0,
// so a view follows the wheel by panning its scroll offset by (−dx, −dy).
struct Wheel {
  Point at;
  double dx = 0;  // positive = left
  double dy = 0;  // positive = up
  WheelUnit unit = WheelUnit::Lines;
  Modifiers modifiers = kModNone;
};

// A pinch: `scale` is the factor relative to the previous magnify event.
struct Magnify {
  Point at;
  double scale = 1.0;
};

enum class Key : std::uint8_t {
  Character,  // a printable key; see KeyPress::character
  Escape,
  Enter,
  Tab,
  Backspace,
  Delete,
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  PageUp,
  PageDown,
  Insert,
  Space,
  F1,
  Other,
};

struct KeyPress {
  Key key = Key::Other;
  // For Key::Character: the key's character as typed without Ctrl/Alt, lower
  // case for letters (so Ctrl+S and Ctrl+Shift+S both carry 's').
  char32_t character = 0;
  Modifiers modifiers = kModNone;
  bool repeat = false;
};
struct KeyRelease {
  Key key = Key::Other;
  char32_t character = 0;
  Modifiers modifiers = kModNone;
};

// Text committed by the input method (typing, compose sequences, IME).
struct TextCommit {
  std::string text;  // UTF-8
};
// The input method's composition in progress (empty when it ends).
struct TextPreedit {
  std::string text;
  int cursor = 0;
};

struct FocusChange {
  bool focused = false;
};

// Asks the widget to close (window close button, automation). The widget may
// only veto by returning Handled::Yes from handle_event; the frame loop quits
// otherwise.
struct CloseRequest {};

using Event = std::variant<PointerPress, PointerRelease, PointerMove, PointerLeave, Wheel, Magnify, KeyPress,
                           KeyRelease, TextCommit, TextPreedit, FocusChange, CloseRequest>;

enum class Handled : std::uint8_t { No, Yes };

}  // namespace velyn_ui
