#pragma once
// An image surface with a scene and a text renderer, for drawing widgets in tests.
#include <cairo.h>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace velyn_ui::testing {

struct Canvas {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 800, 600);
  cairo_t* cr = cairo_create(surface);
  Scene scene{cr};
  TextRenderer text;
  Theme theme = Theme::light();

  Canvas() = default;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

}  // namespace velyn_ui::testing
