#pragma once
// The theme: colours by role, radii, face and interface scale. Widgets never
// hard-code a colour; they ask the theme for a role.
#include <string>

#include "velyn_ui/color.h"

namespace velyn_ui {

struct Colors {
  Color background;             // window and canvas fill, input fields
  Color surface;                // toolbar, panels, cards
  Color search_bar_background;  // the find bar
  Color border;                 // rules, outlines, progress tracks
  Color input_border;           // outline of text fields
  Color text;                   // primary text and icons
  Color secondary_text;         // secondary text, inactive icons, placeholders
  Color accent;                 // active fills, selection, progress, primary buttons
  Color danger;                 // errors (shared with the pink marker)
  Color rail_label;             // page numbers in the page rail
  Color thumbnail_border;       // outline of thumbnails (drawn at 12 % of its alpha)
  Color yellow;                 // marker swatches
  Color green;
  Color pink;
  Color blue;
  Color purple;

  // Hover tint laid over a fill: the text colour, translucent; `strength` in
  // 0..1 (the chrome uses 0.72).
  Color lift(double strength) const;

  // A text colour for content on the accent fill reaching at least
  // `min_contrast` (the chrome asks for 4.5): white when it suffices, else the
  // darkest of text / black that does.
  Color on_accent(double min_contrast) const;
};

struct Theme {
  Colors colors;
  double scale = 1.0;         // interface scale factor (1.0 = 100 %)
  double radius = 8.0;        // buttons and fields
  double chip_radius = 12.0;  // pill-shaped chips
  std::string ui_face = "Inter";

  static Theme light();

  // Text colour on a surface fill.
  Color on_surface() const { return colors.text; }
};

}  // namespace velyn_ui
