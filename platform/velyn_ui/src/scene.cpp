#include "velyn_ui/scene.h"

#include <cairo.h>

#include <algorithm>
#include <numbers>

namespace velyn_ui {

Image Image::from_rgba(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgba) {
  Image img;
  const std::size_t count = std::size_t{width} * height;
  if (width == 0 || height == 0 || rgba.size() != count * 4) return img;
  auto pixels = std::make_shared<std::vector<std::uint32_t>>(count);
  auto& out = *pixels;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t a = rgba[i * 4 + 3];
    // Premultiply with rounding: c * a / 255.
    auto pm = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    out[i] = (a << 24) | (pm(rgba[i * 4]) << 16) | (pm(rgba[i * 4 + 1]) << 8) | pm(rgba[i * 4 + 2]);
  }
  img.width_ = width;
  img.height_ = height;
  img.pixels_ = std::move(pixels);
  return img;
}

Path& Path::move_to(Point p) {
  ops_.push_back({Op::Move, p, {}, {}});
  return *this;
}
Path& Path::line_to(Point p) {
  ops_.push_back({Op::Line, p, {}, {}});
  return *this;
}
Path& Path::curve_to(Point c1, Point c2, Point end) {
  ops_.push_back({Op::Curve, c1, c2, end});
  return *this;
}
Path& Path::close() {
  ops_.push_back({Op::Close, {}, {}, {}});
  return *this;
}
Path& Path::rect(const Rect& r) {
  return move_to({r.x0, r.y0}).line_to({r.x1, r.y0}).line_to({r.x1, r.y1}).line_to({r.x0, r.y1}).close();
}
Path& Path::rounded_rect(const Rect& r, double radius) {
  const double rad = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
  if (rad <= 0) return rect(r);
  // Quarter circles as cubic Béziers (kappa = 0.5523).
  constexpr double k = 0.5522847498;
  const double c = rad * (1 - k);
  move_to({r.x0 + rad, r.y0});
  line_to({r.x1 - rad, r.y0});
  curve_to({r.x1 - c, r.y0}, {r.x1, r.y0 + c}, {r.x1, r.y0 + rad});
  line_to({r.x1, r.y1 - rad});
  curve_to({r.x1, r.y1 - c}, {r.x1 - c, r.y1}, {r.x1 - rad, r.y1});
  line_to({r.x0 + rad, r.y1});
  curve_to({r.x0 + c, r.y1}, {r.x0, r.y1 - c}, {r.x0, r.y1 - rad});
  line_to({r.x0, r.y0 + rad});
  curve_to({r.x0, r.y0 + c}, {r.x0 + c, r.y0}, {r.x0 + rad, r.y0});
  return close();
}
Path& Path::circle(Point center, double radius) {
  ops_.push_back({Op::Arc, center, {}, {}, radius});
  return *this;
}

void Scene::apply(const Path& path) {
  cairo_new_path(cr_);
  for (const auto& s : path.ops_) {
    switch (s.op) {
      case Path::Op::Move: cairo_move_to(cr_, s.a.x, s.a.y); break;
      case Path::Op::Line: cairo_line_to(cr_, s.a.x, s.a.y); break;
      case Path::Op::Curve: cairo_curve_to(cr_, s.a.x, s.a.y, s.b.x, s.b.y, s.c.x, s.c.y); break;
      case Path::Op::Close: cairo_close_path(cr_); break;
      case Path::Op::Arc:
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, s.a.x, s.a.y, s.radius, 0, 2 * std::numbers::pi);
        cairo_close_path(cr_);
        break;
    }
  }
}

static void set_color(cairo_t* cr, Color c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void Scene::fill(const Path& path, Color color) {
  apply(path);
  set_color(cr_, color);
  cairo_fill(cr_);
}

void Scene::stroke(const Path& path, const StrokeStyle& style, Color color) {
  apply(path);
  set_color(cr_, color);
  cairo_set_line_width(cr_, style.width);
  cairo_set_miter_limit(cr_, style.miter_limit);
  cairo_set_line_join(cr_, style.join == LineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                           : style.join == LineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                           : CAIRO_LINE_JOIN_MITER);
  cairo_set_line_cap(cr_, style.cap == LineCap::Round    ? CAIRO_LINE_CAP_ROUND
                          : style.cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                         : CAIRO_LINE_CAP_BUTT);
  cairo_set_dash(cr_, style.dashes.data(), static_cast<int>(style.dashes.size()), style.dash_offset);
  cairo_stroke(cr_);
  cairo_set_dash(cr_, nullptr, 0, 0);
}

void Scene::fill_rect(const Rect& r, Color color) { fill(Path().rect(r), color); }
void Scene::fill_rounded_rect(const Rect& r, double radius, Color color) {
  fill(Path().rounded_rect(r, radius), color);
}
void Scene::stroke_rect(const Rect& r, double width, Color color) {
  stroke(Path().rect(r), StrokeStyle::solid(width), color);
}
void Scene::stroke_rounded_rect(const Rect& r, double radius, double width, Color color) {
  stroke(Path().rounded_rect(r, radius), StrokeStyle::solid(width), color);
}
void Scene::fill_circle(Point center, double radius, Color color) { fill(Path().circle(center, radius), color); }
void Scene::stroke_circle(Point center, double radius, double width, Color color) {
  stroke(Path().circle(center, radius), StrokeStyle::solid(width), color);
}
void Scene::line(Point a, Point b, double width, Color color, LineCap cap) {
  stroke(Path().move_to(a).line_to(b), StrokeStyle::solid(width, cap), color);
}

void Scene::draw_image(const Image& image, const Rect& dest, ImageFilter filter) {
  if (image.empty() || !dest.has_area()) return;
  const auto px = image.argb();
  // cairo only reads the pixels; the surface borrows them for this call.
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(px.data())), CAIRO_FORMAT_ARGB32,
      static_cast<int>(image.width()), static_cast<int>(image.height()), static_cast<int>(image.width() * 4));
  cairo_save(cr_);
  cairo_rectangle(cr_, dest.x0, dest.y0, dest.width(), dest.height());
  cairo_clip(cr_);
  cairo_translate(cr_, dest.x0, dest.y0);
  cairo_scale(cr_, dest.width() / image.width(), dest.height() / image.height());
  cairo_set_source_surface(cr_, surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr_),
                           filter == ImageFilter::Nearest ? CAIRO_FILTER_NEAREST
                           : filter == ImageFilter::Fast  ? CAIRO_FILTER_BILINEAR
                                                          : CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
  cairo_paint(cr_);
  cairo_restore(cr_);
  cairo_surface_destroy(surface);
}

void Scene::push_clip(const Rect& r, double radius) {
  cairo_save(cr_);
  apply(Path().rounded_rect(r, radius));
  cairo_clip(cr_);
  stack_.emplace_back(Layer::Clip, 1.0);
}

void Scene::push_layer(double alpha, const Rect& clip, double radius) {
  cairo_save(cr_);
  apply(Path().rounded_rect(clip, radius));
  cairo_clip(cr_);
  cairo_push_group(cr_);
  stack_.emplace_back(Layer::Alpha, std::clamp(alpha, 0.0, 1.0));
}

void Scene::pop() {
  if (stack_.empty()) return;
  const auto [kind, alpha] = stack_.back();
  stack_.pop_back();
  if (kind == Layer::Alpha) {
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, alpha);
  }
  cairo_restore(cr_);
}

}  // namespace velyn_ui
