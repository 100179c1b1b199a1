#include "app/markup_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pdf_app {

namespace source = pdf::source;
using velyn_ui::Point;

namespace {

struct Line {
  std::uint64_t first = 0, end = 0;  // character indices, end exclusive
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

bool is_break(std::uint32_t c) { return c == '\n' || c == '\r'; }
bool is_space(std::uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0; }
bool has_box(const source::CharBox& b) { return b.width > 0 || b.height > 0; }

// Characters grouped into lines: a line break, or a box whose centre leaves
// the current line's band, starts the next line.
std::vector<Line> lines_of(const source::TextLayer& layer) {
  std::vector<Line> lines;
  std::optional<Line> cur;
  for (std::uint64_t i = 0; i < layer.boxes.size(); ++i) {
    const auto& b = layer.boxes[i];
    if (is_break(b.ch)) {
      if (cur) {
        cur->end = i + 1;
        lines.push_back(*cur);
        cur.reset();
      }
      continue;
    }
    if (!has_box(b)) {
      if (cur) cur->end = i + 1;
      continue;
    }
    const double cy = b.y + b.height / 2;
    if (cur && (cy < cur->y0 || cy > cur->y1 || b.x + b.width < cur->x0)) {
      lines.push_back(*cur);
      cur.reset();
    }
    if (!cur) {
      cur = Line{i, i + 1, b.x, b.y, b.x + b.width, b.y + b.height};
    } else {
      cur->end = i + 1;
      cur->x0 = std::min(cur->x0, b.x);
      cur->x1 = std::max(cur->x1, b.x + b.width);
      cur->y0 = std::min(cur->y0, b.y);
      cur->y1 = std::max(cur->y1, b.y + b.height);
    }
  }
  if (cur) lines.push_back(*cur);
  return lines;
}

bool contains(double x, double y, double w, double h, Point p) {
  return p.x >= x && p.x <= x + w && p.y >= y && p.y <= y + h;
}

double distance_to_segment(pdf_actions::Point a, pdf_actions::Point b, Point p) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

// The drawn stroke is a smoothing of the polyline through its points and
// never strays from it by more than a fraction of a segment, so the polyline
// stands for it.
bool near_polyline(const std::vector<pdf_actions::Point>& points, Point p, double reach) {
  if (points.size() < 2) return false;  // a one-point stroke is not drawn
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (distance_to_segment(points[i - 1], points[i], p) <= reach) return true;
  }
  return false;
}

}  // namespace

std::vector<PageRect> highlight_rects(const source::TextLayer* layer, Point a, Point b) {
  const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
  const double y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
  // Page points come back from screen pixels: allow for the round trip.
  constexpr double kSlack = 1e-6;
  if (x1 - x0 <= kHighlightMinWidth + kSlack && y1 - y0 <= kHighlightMinHeight + kSlack) return {};
  std::vector<PageRect> out;
  if (layer) {
    for (const auto& line : lines_of(*layer)) {
      // A line is covered when the drag starts or ends on it (anywhere in
      // its height: the pointer was on that line), or spans its middle.
      const auto on_line = [&line](double y) { return y >= line.y0 && y <= line.y1; };
      const double mid = (line.y0 + line.y1) / 2;
      if (!on_line(a.y) && !on_line(b.y) && (mid < y0 || mid > y1)) continue;
      const double l = std::max(x0, line.x0), r = std::min(x1, line.x1);
      if (r - l < kLineMinWidth) continue;
      out.push_back({l, line.y0, r - l, line.y1 - line.y0});
    }
  }
  if (out.empty()) out.push_back({x0, y0, x1 - x0, y1 - y0});
  return out;
}

void append_ink_point(std::vector<pdf_actions::Point>& points, Point p) {
  if (!points.empty() && std::hypot(p.x - points.back().x, p.y - points.back().y) <= kInkMinStep) return;
  points.push_back({p.x, p.y});
}

PageRect signature_box(double px, double py, double w, double h) {
  const auto place = [](double centre, double size, double extent) {
    const double lo = kSignatureMargin, hi = extent - kSignatureMargin - size;
    // Too small for the margins: centre the box on the page on this axis.
    if (hi < lo) return std::max(0.0, (extent - size) / 2);
    return std::clamp(centre - size / 2, lo, hi);
  };
  return {place(px, kSignatureWidth, w), place(py, kSignatureHeight, h), kSignatureWidth, kSignatureHeight};
}

const pdf_actions::Annotation* note_at(const pdf_actions::ReviewModel& review, std::uint64_t page, Point p) {
  for (auto it = review.annotations.rbegin(); it != review.annotations.rend(); ++it) {
    if (it->page != page) continue;
    if (const auto* n = std::get_if<pdf_actions::AnnoGeom::Note>(&it->geom.value)) {
      if (std::abs(p.x - n->x) <= kNoteReach && std::abs(p.y - n->y) <= kNoteReach) return &*it;
    }
  }
  return nullptr;
}

const pdf_actions::Annotation* annotation_at(const pdf_actions::ReviewModel& review, std::uint64_t page, Point p) {
  if (const auto* n = note_at(review, page, p)) return n;
  for (auto it = review.annotations.rbegin(); it != review.annotations.rend(); ++it) {
    if (it->page != page) continue;
    if (const auto* h = std::get_if<pdf_actions::AnnoGeom::Highlight>(&it->geom.value)) {
      if (contains(h->x, h->y, h->w, h->h, p)) return &*it;
    } else if (const auto* ink = std::get_if<pdf_actions::AnnoGeom::Ink>(&it->geom.value)) {
      if (near_polyline(ink->points, p, kInkReach)) return &*it;
    }
  }
  return nullptr;
}

const pdf_actions::Signature* signature_at(const pdf_actions::ReviewModel& review, std::uint64_t page, Point p) {
  for (auto it = review.signatures.rbegin(); it != review.signatures.rend(); ++it) {
    if (it->page == page && contains(it->x, it->y, it->w, it->h, p)) return &*it;
  }
  return nullptr;
}

std::optional<std::uint64_t> char_at(const source::TextLayer& layer, Point p, bool nearest) {
  std::optional<std::uint64_t> best;
  double best_d = std::numeric_limits<double>::infinity();
  for (std::uint64_t i = 0; i < layer.boxes.size(); ++i) {
    const auto& b = layer.boxes[i];
    if (!has_box(b)) continue;
    if (contains(b.x, b.y, b.width, b.height, p)) return i;
    if (!nearest) continue;
    const double dx = std::max({b.x - p.x, 0.0, p.x - (b.x + b.width)});
    const double dy = std::max({b.y - p.y, 0.0, p.y - (b.y + b.height)});
    // Distance across lines weighs more than along one.
    const double d = dx + 4 * dy;
    if (d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return best;
}

std::optional<std::uint64_t> char_on_line(const source::TextLayer& layer, Point p) {
  std::optional<std::uint64_t> best;
  double best_dx = std::numeric_limits<double>::infinity();
  for (std::uint64_t i = 0; i < layer.boxes.size(); ++i) {
    const auto& b = layer.boxes[i];
    if (!has_box(b) || p.y < b.y || p.y > b.y + b.height) continue;
    const double dx = std::max({b.x - p.x, 0.0, p.x - (b.x + b.width)});
    if (dx == 0) return i;
    if (dx <= b.height * kLineReach && dx < best_dx) {
      best_dx = dx;
      best = i;
    }
  }
  return best;
}

std::pair<std::uint64_t, std::uint64_t> word_range(const source::TextLayer& layer, std::uint64_t index) {
  const auto n = layer.boxes.size();
  if (index >= n) return {index, index};
  if (is_space(layer.boxes[index].ch)) return {index, index + 1};
  std::uint64_t a = index, b = index + 1;
  const auto word = [&](std::uint64_t i) {
    const auto c = layer.boxes[i].ch;
    return !is_space(c) && !(c < 128 && std::ispunct(int(c)) && c != '\'' && c != '-');
  };
  if (!word(index)) return {index, index + 1};
  while (a > 0 && word(a - 1)) --a;
  while (b < n && word(b)) ++b;
  return {a, b};
}

std::pair<std::uint64_t, std::uint64_t> line_range(const source::TextLayer& layer, std::uint64_t index) {
  for (const auto& line : lines_of(layer)) {
    if (index >= line.first && index < line.end) return {line.first, line.end};
  }
  return {index, std::min<std::uint64_t>(index + 1, layer.boxes.size())};
}

std::vector<PageRect> selection_rects(const source::TextLayer& layer, std::uint64_t first, std::uint64_t last) {
  std::vector<PageRect> out;
  for (const auto& line : lines_of(layer)) {
    if (line.end <= first || line.first > last) continue;
    double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
    for (std::uint64_t i = std::max(first, line.first); i < line.end && i <= last; ++i) {
      const auto& b = layer.boxes[i];
      if (!has_box(b)) continue;
      x0 = std::min(x0, b.x);
      x1 = std::max(x1, b.x + b.width);
      y0 = std::min(y0, b.y);
      y1 = std::max(y1, b.y + b.height);
    }
    if (x1 > x0) out.push_back({x0, y0, x1 - x0, y1 - y0});
  }
  return out;
}

std::string selection_text(const source::TextLayer& layer, std::uint64_t first, std::uint64_t last) {
  if (layer.boxes.empty() || first >= layer.boxes.size()) return {};
  last = std::min<std::uint64_t>(last, layer.boxes.size() - 1);
  const auto begin = layer.boxes[first].byte_offset;
  const auto end = last + 1 < layer.boxes.size() ? layer.boxes[last + 1].byte_offset : layer.text.size();
  if (begin >= end || end > layer.text.size()) return {};
  std::string_view s(layer.text.data() + begin, end - begin);
  const auto ws = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
  while (!s.empty() && ws(s.front())) s.remove_prefix(1);
  while (!s.empty() && ws(s.back())) s.remove_suffix(1);
  return std::string(s);
}

std::size_t count_characters(std::string_view utf8) {
  return std::size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace pdf_app
