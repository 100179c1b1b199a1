#pragma once
// Immediate-mode vector drawing for one frame. A thin layer over a cairo
// context: callers never see cairo. Every push_* must be matched by pop().
#include <span>
#include <vector>

#include "velyn_ui/color.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/image.h"

typedef struct _cairo cairo_t;

namespace velyn_ui {

enum class LineJoin { Miter, Round, Bevel };
enum class LineCap { Butt, Round, Square };

struct StrokeStyle {
  double width = 1.0;
  LineJoin join = LineJoin::Miter;
  LineCap cap = LineCap::Butt;
  double miter_limit = 10.0;
  std::vector<double> dashes;  // on/off lengths; empty = solid
  double dash_offset = 0.0;

  static StrokeStyle solid(double width, LineCap cap = LineCap::Butt, LineJoin join = LineJoin::Miter) {
    StrokeStyle s;
    s.width = width;
    s.cap = cap;
    s.join = join;
    return s;
  }
};

// A path in logical pixels, built once and filled or stroked.
class Path {
 public:
  Path& move_to(Point p);
  Path& line_to(Point p);
  Path& curve_to(Point c1, Point c2, Point end);
  Path& close();
  Path& rect(const Rect& r);
  Path& rounded_rect(const Rect& r, double radius);
  Path& circle(Point center, double radius);
  bool empty() const { return ops_.empty(); }

 private:
  friend class Scene;
  enum class Op { Move, Line, Curve, Close, Arc };
  struct Segment {
    Op op;
    Point a, b, c;
    double radius = 0;
  };
  std::vector<Segment> ops_;
};

// Smooth filters every source pixel (best for strong down-scaling); Fast
// interpolates between neighbours (cheap, fine up to 2:1, e.g. page rasters
// rendered at twice their logical width); Nearest keeps pixels square.
enum class ImageFilter { Smooth, Fast, Nearest };

class Scene {
 public:
  explicit Scene(cairo_t* cr) : cr_(cr) {}
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  void fill(const Path& path, Color color);
  void stroke(const Path& path, const StrokeStyle& style, Color color);

  void fill_rect(const Rect& r, Color color);
  void fill_rounded_rect(const Rect& r, double radius, Color color);
  void stroke_rect(const Rect& r, double width, Color color);
  void stroke_rounded_rect(const Rect& r, double radius, double width, Color color);
  void fill_circle(Point center, double radius, Color color);
  void stroke_circle(Point center, double radius, double width, Color color);
  void line(Point a, Point b, double width, Color color, LineCap cap = LineCap::Butt);

  // Draws `image` scaled into `dest`.
  void draw_image(const Image& image, const Rect& dest, ImageFilter filter = ImageFilter::Smooth);

  // Clip (optionally rounded) until the matching pop().
  void push_clip(const Rect& r, double radius = 0);
  // Group drawn at `alpha` opacity, clipped to `clip`, composited on pop().
  void push_layer(double alpha, const Rect& clip, double radius = 0);
  void pop();

  std::size_t depth() const { return stack_.size(); }

  // For the text renderer, which draws Pango layouts into the same context.
  cairo_t* native() const { return cr_; }

 private:
  enum class Layer { Clip, Alpha };
  void apply(const Path& path);
  cairo_t* cr_;
  std::vector<std::pair<Layer, double>> stack_;
};

}  // namespace velyn_ui
