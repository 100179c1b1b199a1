#pragma once
// What the pointer and the keyboard are doing right now. Plain state owned by
// PdfApp; UI thread only.
//
// Invariants: at most one gesture (signature stroke, marker drag, region
// selection, text selecting, pan, markup drag) is active at a time; every
// gesture starts on a press and ends on the matching release; Escape and tool
// changes bring the mode back to Idle. Selections are local and never stored.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "actions/action_ids.h"
#include "actions/viewer_action.h"
#include "app/tool.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/viewport_state.h"
#include "velyn_ui/widget/context_menu.h"
#include "velyn_ui/widget/drag_select.h"
#include "velyn_ui/widget/marker_drag.h"
#include "velyn_ui/widget/selection_hud.h"

namespace pdf_app {

enum class InteractionMode : std::uint8_t { SelectionShown = 0, Selecting = 1, Idle = 2 };
enum class Granularity : std::uint8_t { Character = 0, Word = 1, Line = 2 };

// Character indices into the page's text layer; `end` fields are exclusive.
struct TextSelection {
  std::uint64_t page = 1;
  std::uint64_t anchor_first = 0, anchor_end = 0;
  std::uint64_t start = 0, end = 0;  // the shown range: start inclusive, end inclusive
  Granularity granularity = Granularity::Character;
};

struct PanGesture {
  enum class Phase : std::uint8_t { None, Pressed, Panning };
  Phase phase = Phase::None;
  velyn_ui::Point press;
  velyn_ui::Point scroll_at_press;
};

struct RegionSelection {
  bool active = false;
  std::uint64_t page = 1;
  velyn_ui::Point first, moving;  // page points
};

struct MarkupDrag {
  Tool kind = Tool::Highlight;  // Highlight or Draw
  std::uint64_t page = 1;
  std::vector<pdf_actions::Point> points;
  velyn_ui::Point first, moving;  // page points
};

// A scrollbar thumb held by the pointer.
struct ScrollbarDrag {
  velyn_ui::ScrollAxis axis = velyn_ui::ScrollAxis::Vertical;
  double press = 0;            // the pointer's coordinate along the axis at the press
  double scroll_at_press = 0;  // the scroll offset along the axis then
};

struct MenuTarget {
  enum class Kind : std::uint8_t { Annotation, Signature };
  Kind kind = Kind::Annotation;
  std::string id;
};

struct InteractionState {
  InteractionMode mode = InteractionMode::Idle;
  bool shift_held = false;
  std::optional<TextSelection> selection;
  velyn_ui::widget::DragSelect clicks;
  PanGesture pan;
  std::optional<ScrollbarDrag> scrollbar;
  RegionSelection region;
  std::optional<MarkupDrag> markup;
  velyn_ui::widget::MarkerDrag marker;
  std::optional<std::string> selected_signature;
  velyn_ui::widget::ContextMenu menu;
  std::optional<MenuTarget> menu_target;
  bool input_blocked = false;  // a modal operation runs
  velyn_ui::widget::SelectionHudHits hud;  // as last drawn; empty frame when hidden
  pdf_actions::NoteSequence notes;          // creation numbers of notes made here
};

}  // namespace pdf_app
