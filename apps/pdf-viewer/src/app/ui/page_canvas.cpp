#include "app/ui/page_canvas.h"

#include <algorithm>
#include <cmath>

#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

using velyn_ui::Color;
using velyn_ui::Path;
using velyn_ui::Point;
using velyn_ui::Rect;

namespace {

constexpr double kPaperRadius = 3;
constexpr double kHighlightAlpha = 92.0 / 255;
constexpr double kHandle = 6;
constexpr double kInkFramePadding = 3;  // between a selected stroke and its frame
constexpr double kSameShapeTolerance = 0.01;  // raster and slot aspect ratios this close count as equal
constexpr double kBlockMargin = 64;

struct BlockStyle {
  double size;
  int weight;
  Color color;
  double space_after;
};

// Text styles of the block kinds; sizes and spaces in points.
BlockStyle block_style(pdf::source::BlockKind kind, const velyn_ui::Theme& theme) {
  using K = pdf::source::BlockKind;
  const Color ink = Color::rgb8(28, 33, 47);
  switch (kind) {
    case K::Title: return {24, velyn_ui::kWeightBold, ink, 6};
    case K::Heading: return {17, velyn_ui::kWeightSemibold, ink, 5};
    case K::Subheading: return {13.5, velyn_ui::kWeightSemibold, ink, 3};
    case K::Byline: return {9.5, velyn_ui::kWeightRegular, Color::rgb8(148, 163, 184), 4};
    case K::Quote: return {12, velyn_ui::kWeightRegular, theme.colors.accent, 8};
    default: return {10.5, velyn_ui::kWeightRegular, Color::rgb8(71, 85, 105), 6};
  }
}

constexpr double kCaptionSize = 9.5;
constexpr double kQuoteIndent = 14;
// A block holding a search match: accent behind it, stronger with a bar at
// its left for the current match. Alphas out of 255, lengths × zoom.
constexpr double kMatchBlockAlpha = 26.0 / 255;
constexpr double kCurrentBlockAlpha = 64.0 / 255;
constexpr double kMatchBlockGrow = 4;
constexpr double kMatchBlockMaxRadius = 2;
constexpr double kCurrentBlockBar = 2.5;

void draw_blocks(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme, const Rect& page,
                 double z, double page_width, const std::vector<pdf::source::Block>& blocks,
                 std::span<const MatchedBlock> matched) {
  using K = pdf::source::BlockKind;
  const double column = std::max(1.0, page_width - 2 * kBlockMargin);
  const double x = page.x0 + kBlockMargin * z;
  for (const auto& placed : place_blocks(blocks, page_width, text, theme)) {
    const auto& b = *placed.block;
    const double top = page.y0 + placed.y * z;
    if (top > page.y1) break;
    switch (b.kind) {
      case K::Spacer: break;
      case K::Rule: scene.line({x, top + 7 * z}, {x + column * z, top + 7 * z}, 1, kSignatureRule); break;
      case K::Figure: {
        const Rect panel{x, top, x + column * z, page.y0 + (placed.y + b.height) * z};
        scene.fill_rect(panel, Color::rgb8(241, 245, 249));
        scene.stroke_rect(panel, 1, kSignatureRule);
        if (z > 0.3) {
          text.draw_wrapped(scene, b.text, {x, panel.y1 + 4 * z}, column * z, kCaptionSize * z, velyn_ui::kWeightRegular,
                            theme.colors.secondary_text, velyn_ui::TextAlign::Center);
        }
        break;
      }
      default: {
        const auto index = static_cast<std::uint64_t>(placed.block - blocks.data());
        const auto hit = std::ranges::find_if(matched, [&](const MatchedBlock& m) { return m.block == index; });
        if (hit != matched.end()) {
          const Rect backing{page.x0 + (placed.x - kMatchBlockGrow) * z, top - kMatchBlockGrow * z,
                             page.x0 + (placed.x + placed.width + kMatchBlockGrow) * z,
                             page.y0 + (placed.y + placed.height + kMatchBlockGrow) * z};
          const double radius = std::min(kMatchBlockMaxRadius, std::min(backing.width(), backing.height()) / 2);
          scene.fill_rounded_rect(backing, radius,
                                  theme.colors.accent.with_alpha(hit->current ? kCurrentBlockAlpha : kMatchBlockAlpha));
          if (hit->current) {
            scene.fill_rect({backing.x0, backing.y0, backing.x0 + kCurrentBlockBar * z, backing.y1}, theme.colors.accent);
          }
        }
        if (b.kind == K::Quote) {
          scene.fill_rect({x, top, x + 3 * z, page.y0 + (placed.y + placed.height) * z}, theme.colors.accent);
        }
        if (placed.size * z >= 0.5) {
          text.draw_wrapped(scene, b.text, {page.x0 + placed.x * z, top}, placed.width * z, placed.size * z,
                            placed.weight, block_style(b.kind, theme).color, velyn_ui::TextAlign::Left);
        }
      }
    }
  }
}

// Skeleton bars: headings in the Part's slate, body lines lighter; a bar is
// this share of a line's height, body lines wrap at this share of the column.
constexpr Color kSkeletonHeading = Color::rgb8(100, 116, 139);
constexpr Color kSkeletonBody = Color::rgb8(203, 213, 225);
constexpr double kSkeletonBarShare = 0.55;
constexpr double kSkeletonLastLineShare = 0.6;
constexpr double kSkeletonLineSpacing = 1.35;

void append_ink(Path& path, std::span<const Point> pts) {
  path.move_to(pts.front());
  for (std::size_t i = 1; i + 1 < pts.size(); ++i) {
    const Point c = pts[i];
    const Point end{(pts[i].x + pts[i + 1].x) / 2, (pts[i].y + pts[i + 1].y) / 2};
    // A quadratic segment from the current point q0 as a cubic: q0 + 2/3 (c − q0), end + 2/3 (c − end).
    const Point q0 = i == 1 ? pts[0] : Point{(pts[i - 1].x + pts[i].x) / 2, (pts[i - 1].y + pts[i].y) / 2};
    path.curve_to({q0.x + 2.0 / 3 * (c.x - q0.x), q0.y + 2.0 / 3 * (c.y - q0.y)},
                  {end.x + 2.0 / 3 * (c.x - end.x), end.y + 2.0 / 3 * (c.y - end.y)}, end);
  }
  path.line_to(pts.back());
}

// The frame of selected markup: outlined in its colour, a handle at each corner.
void draw_selection_frame(velyn_ui::Scene& scene, const velyn_ui::Theme& theme, const Rect& r, Color c) {
  scene.stroke_rect(r, 1.5, c);
  for (const Point corner : {Point{r.x0, r.y0}, Point{r.x1, r.y0}, Point{r.x0, r.y1}, Point{r.x1, r.y1}}) {
    const Rect handle{corner.x - kHandle / 2, corner.y - kHandle / 2, corner.x + kHandle / 2, corner.y + kHandle / 2};
    scene.fill_rect(handle, kPaper);
    scene.stroke_rect(handle, 1, theme.colors.accent);
  }
}

void draw_annotation(velyn_ui::Scene& scene, const velyn_ui::Theme& theme, const Rect& page, double z,
                     const pdf_actions::Annotation& a, bool selected) {
  const Color c = swatch_color(theme, a.color);
  const auto to_screen = [&](double x, double y) { return Point{page.x0 + x * z, page.y0 + y * z}; };
  if (const auto* h = std::get_if<pdf_actions::AnnoGeom::Highlight>(&a.geom.value)) {
    const Point p = to_screen(h->x, h->y);
    const Rect r{p.x, p.y, p.x + h->w * z, p.y + h->h * z};
    scene.fill_rect(r, c.with_alpha(kHighlightAlpha));
    if (selected) draw_selection_frame(scene, theme, r, c);
  } else if (const auto* n = std::get_if<pdf_actions::AnnoGeom::Note>(&a.geom.value)) {
    const double u = std::max(22 * z, 16.0);
    const Point p = to_screen(n->x, n->y);
    const Rect r{p.x, p.y, p.x + u, p.y + u};
    scene.fill_rounded_rect(r, std::min(u / 2, 3.0), c);
    Path fold;
    fold.move_to({r.x1 - 0.36 * u, r.y1}).line_to({r.x1, r.y1 - 0.36 * u}).line_to({r.x1, r.y1}).close();
    scene.fill(fold, Color{0, 0, 0, 46.0 / 255});
    for (int k = 0; k < 3; ++k) {
      const double y = r.y0 + u * (0.32 + 0.18 * k);
      scene.line({r.x0 + 0.2 * u, y}, {r.x1 - 0.2 * u, y}, std::max(1.2 * z, 0.8), Color{1, 1, 1, 220.0 / 255});
    }
    if (selected) scene.stroke_rounded_rect(r.inset(-2.5), std::min(5.0, u / 2 + 2.5), 2, kPaper);
  } else if (const auto* ink = std::get_if<pdf_actions::AnnoGeom::Ink>(&a.geom.value)) {
    if (ink->points.size() < 2) return;
    std::vector<Point> pts;
    pts.reserve(ink->points.size());
    for (const auto& q : ink->points) pts.push_back(to_screen(q.x, q.y));
    Path path;
    append_ink(path, pts);
    const double width = std::max(2.4 * z, 1.5);
    scene.stroke(path, velyn_ui::StrokeStyle::solid(width, velyn_ui::LineCap::Round, velyn_ui::LineJoin::Round), c);
    if (selected) {
      // A stroke has no box of its own: its bounds, clear of the line, framed as a highlight's.
      Rect bounds{pts.front().x, pts.front().y, pts.front().x, pts.front().y};
      for (const Point q : pts) {
        bounds = {std::min(bounds.x0, q.x), std::min(bounds.y0, q.y), std::max(bounds.x1, q.x),
                  std::max(bounds.y1, q.y)};
      }
      draw_selection_frame(scene, theme, bounds.inset(-(width / 2 + kInkFramePadding)), c);
    }
  }
}

void draw_signature(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                    const Rect& page, double z, const pdf_actions::Signature& s) {
  const Rect r{page.x0 + s.x * z, page.y0 + s.y * z, page.x0 + (s.x + s.w) * z, page.y0 + (s.y + s.h) * z};
  const double w = r.width(), h = r.height();
  scene.fill_rounded_rect(r, std::min(std::min(w, h) / 2, 3.0), theme.colors.accent.with_alpha(16.0 / 255));
  scene.stroke_rounded_rect(r, std::min(std::min(w, h) / 2, 3.0), 1.2, theme.colors.accent.with_alpha(150.0 / 255));
  const Rect box{r.x0 + 0.06 * w, r.y0 + 0.1 * h, r.x1 - 0.06 * w, r.y0 + 0.56 * h};
  if (box.width() > 1 && box.height() > 1) {
    if (s.strokes) {
      const double width = std::min(std::max(0.06 * box.height(), 1.4), 3.0);
      for (const auto& stroke : *s.strokes) {
        if (stroke.size() < 2) continue;
        Path p;
        for (std::size_t i = 0; i < stroke.size(); ++i) {
          const Point q{box.x0 + std::clamp(stroke[i].x, 0.0, 1.0) * box.width(),
                        box.y0 + std::clamp(stroke[i].y, 0.0, 1.0) * box.height()};
          i == 0 ? p.move_to(q) : p.line_to(q);
        }
        scene.stroke(p, velyn_ui::StrokeStyle::solid(width, velyn_ui::LineCap::Round, velyn_ui::LineJoin::Round),
                     kSignatureInk);
      }
    } else {
      std::string_view name = s.signer;
      while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
      while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
      const std::string shown = name.empty() ? std::string("Signature") : std::string(name);
      double size = std::clamp(0.85 * box.height(), 9.0, 30.0);
      auto m = text.measure(shown, size);
      if (m.width > box.width() && m.width > 0) {
        size = std::max(7.0, size * box.width() / m.width);
        m = text.measure(shown, size);
      }
      scene.push_clip(box);
      text.draw_text(scene, shown, {box.center().x - m.width / 2, box.center().y - m.height / 2}, size, kSignatureInk);
      scene.pop();
    }
  }
  const double rule = r.y0 + 0.62 * h;
  scene.line({r.x0 + 8, rule}, {r.x1 - 8, rule}, 1, kSignatureRule);
  scene.push_clip({r.x0 + 8, rule, r.x0 + 8 + std::max(0.0, w - 16), r.y1 + 40});
  const auto name = text.draw_text_weighted(scene, s.signer, {r.x0 + 8, rule + 3}, std::max(8.5 * z, 8.0),
                                            velyn_ui::kWeightSemibold, kSignerName);
  text.draw_text(scene, "Signed " + s.date, {r.x0 + 8, rule + 3 + name.height + 2}, std::max(7.5 * z, 7.0),
                 kSignatureRule);
  scene.pop();
}

}  // namespace

Color swatch_color(const velyn_ui::Theme& theme, pdf_actions::Swatch swatch) {
  switch (swatch) {
    case pdf_actions::Swatch::Green: return theme.colors.green;
    case pdf_actions::Swatch::Pink: return theme.colors.pink;
    case pdf_actions::Swatch::Blue: return theme.colors.blue;
    case pdf_actions::Swatch::Purple: return theme.colors.purple;
    case pdf_actions::Swatch::Yellow: break;
  }
  return theme.colors.yellow;
}

Rect raster_rect(const Rect& slot, const velyn_ui::Image& raster) {
  if (raster.empty() || slot.width() <= 0 || slot.height() <= 0) return slot;
  const double aspect = double(raster.width()) / raster.height();
  const double slot_aspect = slot.width() / slot.height();
  if (std::abs(aspect / slot_aspect - 1) <= kSameShapeTolerance) return slot;
  const double w = std::min(slot.width(), slot.height() * aspect);
  const double h = w / aspect;
  const velyn_ui::Point c = slot.center();
  return {c.x - w / 2, c.y - h / 2, c.x + w / 2, c.y + h / 2};
}

std::vector<PlacedBlock> place_blocks(const std::vector<pdf::source::Block>& blocks, double page_width,
                                      velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme) {
  using K = pdf::source::BlockKind;
  const double column = std::max(1.0, page_width - 2 * kBlockMargin);
  std::vector<PlacedBlock> out;
  out.reserve(blocks.size());
  double y = 0;
  for (const auto& b : blocks) {
    PlacedBlock placed{&b, kBlockMargin, y, column, 0, 0, velyn_ui::kWeightRegular};
    switch (b.kind) {
      case K::Spacer: y += b.height; break;
      case K::Rule: y += 16; break;
      case K::Figure: {
        const auto m = text.measure(b.text, kCaptionSize, velyn_ui::kWeightRegular, column);
        y += b.height + 4 + m.height + 8;
        break;
      }
      default: {
        const BlockStyle style = block_style(b.kind, theme);
        const double indent = b.kind == K::Quote ? kQuoteIndent : 0;
        placed.x += indent;
        placed.width = std::max(1.0, column - indent);
        placed.size = style.size;
        placed.weight = style.weight;
        placed.height = text.measure(b.text, style.size, style.weight, placed.width).height;
        y += placed.height + style.space_after;
      }
    }
    out.push_back(placed);
  }
  return out;
}

void draw_block_skeleton(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                         const Rect& thumb, double page_width, const std::vector<pdf::source::Block>& blocks) {
  using K = pdf::source::BlockKind;
  if (page_width <= 0) return;
  const double z = thumb.width() / page_width;
  const double column = std::max(1.0, page_width - 2 * kBlockMargin);
  for (const auto& placed : place_blocks(blocks, page_width, text, theme)) {
    const auto& b = *placed.block;
    const double top = thumb.y0 + placed.y * z;
    if (top > thumb.y1) break;
    switch (b.kind) {
      case K::Spacer:
      case K::Rule: break;
      case K::Figure:
        scene.fill_rect({thumb.x0 + kBlockMargin * z, top, thumb.x0 + (kBlockMargin + column) * z,
                         thumb.y0 + (placed.y + b.height) * z},
                        Color::rgb8(241, 245, 249));
        break;
      default: {
        if (placed.size <= 0) break;
        const bool heading = b.kind == K::Title || b.kind == K::Heading || b.kind == K::Subheading;
        const double line = placed.size * kSkeletonLineSpacing;
        const int lines = std::max(1, static_cast<int>(std::lround(placed.height / line)));
        const double bar = std::max(1.0, placed.size * kSkeletonBarShare * z);
        for (int l = 0; l < lines; ++l) {
          const bool last = l + 1 == lines;
          const double width = placed.width * (last && lines > 1 ? kSkeletonLastLineShare : 1.0);
          const double y = top + (l * line + (line - placed.size * kSkeletonBarShare) / 2) * z;
          if (y > thumb.y1) break;
          scene.fill_rect({thumb.x0 + placed.x * z, y, thumb.x0 + (placed.x + width) * z, y + bar},
                          heading ? kSkeletonHeading : kSkeletonBody);
        }
      }
    }
  }
}

void draw_page_markup(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme,
                      const Rect& page, double zoom, const PageContent& content) {
  for (const auto* a : content.annotations) {
    const bool selected = std::ranges::find(content.selected, a->id) != content.selected.end();
    draw_annotation(scene, theme, page, zoom, *a, selected);
  }
  for (const auto* s : content.signatures) draw_signature(scene, text, theme, page, zoom, *s);
}

void draw_page(velyn_ui::Scene& scene, velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme, const Rect& page,
               double zoom, double page_width, const PageContent& content) {
  const double shadow_radius = std::min(std::min(page.width(), page.height()) / 2, kPaperRadius);
  scene.fill_rounded_rect(page.translated(0, 7), shadow_radius, Color{0, 0, 0, 22.0 / 255});
  scene.fill_rounded_rect(page.translated(0, 3), shadow_radius, Color{0, 0, 0, 30.0 / 255});
  scene.fill_rounded_rect(page, kPaperRadius, kPaper);
  // A plain rectangular clip: cairo clips it without a mask, and the paper
  // corners are rounded by only 3 pixels.
  scene.push_clip(page);
  if (content.raster && !content.raster->empty()) {
    // Rasters are at most about twice the drawn size: interpolation suffices.
    scene.draw_image(*content.raster, raster_rect(page, *content.raster), velyn_ui::ImageFilter::Fast);
  } else if (content.blocks) {
    draw_blocks(scene, text, theme, page, zoom, page_width, *content.blocks, content.matched_blocks);
  }
  draw_page_markup(scene, text, theme, page, zoom, content);
  scene.pop();
  scene.stroke_rounded_rect(page, kPaperRadius, 1, kPageBorder);
}

}  // namespace pdf_app
