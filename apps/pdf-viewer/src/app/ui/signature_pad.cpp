#include "app/ui/signature_pad.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "actions/action_ids.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "app/ui/chrome_style.h"
#include "app/ui/page_canvas.h"
#include "app/ui/review_sidebar.h"
#include "app/markup_geometry.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"
#include "velyn_ui/widget/text_input.h"
#include "velyn_ui/widget/toggle_group.h"

namespace pdf_app {

using velyn_ui::Point;
using velyn_ui::Rect;

namespace {
constexpr double kPadInset = 10;
constexpr double kContentInset = 14;
constexpr std::string_view kNoContent = "Draw your signature first, then click a page";

bool pad_shown(const PdfApp& app) {
  return app.panels.sidebar_open && app.sidebar.tab == SidebarTab::Signatures;
}
}  // namespace

bool has_signature_content(const SignaturePadState& pad) {
  return pad.mode == SignatureMode::Type || !pad.strokes.empty();
}

pdf_actions::Point normalise_in_pad(const Rect& box, Point p) {
  const double w = box.width() - 2 * kPadInset, h = box.height() - 2 * kPadInset;
  const double u = w > 0 ? std::clamp((p.x - (box.x0 + kPadInset)) / w, 0.0, 1.0) : 0.0;
  const double v = h > 0 ? std::clamp((p.y - (box.y0 + kPadInset)) / h, 0.0, 1.0) : 0.0;
  return {u, v};
}

bool pad_press(PdfApp& app, Point at) {
  auto& pad = app.signature_pad;
  if (!pad_shown(app) || pad.mode != SignatureMode::Draw || !pad.pad_rect.contains(at)) return false;
  if (pad.clear_rect.contains(at) && !pad.strokes.empty()) return false;  // the Clear hit entry answers
  pad.current = pdf_actions::Stroke{normalise_in_pad(pad.box, at)};
  app.redraw_requested = true;
  return true;
}

bool pad_move(PdfApp& app, Point at) {
  auto& pad = app.signature_pad;
  if (!pad.current) return false;
  const auto p = normalise_in_pad(pad.box, at);
  const auto& last = pad.current->back();
  if (std::abs(p.x - last.x) + std::abs(p.y - last.y) > kStrokeMinStep) pad.current->push_back(p);
  app.redraw_requested = true;
  return true;
}

bool pad_release(PdfApp& app) {
  auto& pad = app.signature_pad;
  if (!pad.current) return false;
  if (pad.current->size() >= 2) pad.strokes.push_back(std::move(*pad.current));
  pad.current.reset();
  app.redraw_requested = true;
  return true;
}

void set_signature_mode(PdfApp& app, SignatureMode mode) {
  app.signature_pad.mode = mode;
  app.signature_pad.current.reset();
  app.redraw_requested = true;
}

void clear_strokes(PdfApp& app) {
  app.signature_pad.strokes.clear();
  app.signature_pad.current.reset();
  app.redraw_requested = true;
}

void place_signature(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, std::uint64_t page,
                     double x, double y) {
  const auto& pad = app.signature_pad;
  if (!has_signature_content(pad)) {
    app.status = std::string(kNoContent);
    app.redraw_requested = true;
    return;
  }
  const PageRect box = signature_box(x, y, app.page_width, app.page_height);
  pdf_actions::PdfViewerAction::AddSignature add;
  add.id = pdf_actions::new_uuid();
  add.page = page;
  add.x = box.x;
  add.y = box.y;
  add.w = box.w;
  add.h = box.h;
  add.signer = pad.signer;
  add.date = pdf_actions::signing_date_today();
  if (pad.mode == SignatureMode::Draw) add.strokes = pad.strokes;
  const std::string id = add.id;
  if (!execute(app, document, ctx, add)) return;
  app.input.selected_signature = id;
  app.selected_annotations.clear();
  reveal_in_sidebar(app, SidebarTab::Signatures, id);
}

std::string_view place_button_label(const PdfApp& app) {
  if (app.tool == Tool::Sign) return "Click a page to place signature";
  return has_signature_content(app.signature_pad) ? "Place signature on a page" : "Draw a signature to place";
}

double draw_signature_pad(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx, double y) {
  auto& pad = app.signature_pad;
  auto& text = ctx.text;
  const auto& c = ctx.theme.colors;
  const Rect& sb = app.regions.sidebar;
  const double x0 = sb.x0 + kContentInset, x1 = sb.x1 - kContentInset;
  const bool draw_mode = pad.mode == SignatureMode::Draw;
  auto& hits = app.sidebar.hits;

  text.draw_text(scene, "YOUR SIGNATURE", {x0, y + 12}, 9.5, c.secondary_text);
  const Rect toggle{x0, y + 30, x1, y + 64};
  const std::string_view labels[] = {"Type", "Draw"};
  const auto segs = velyn_ui::widget::ToggleGroup::paint(scene, text, ctx.theme, toggle, labels,
                                                         draw_mode ? 1 : 0, app.pointer);
  for (std::size_t i = 0; i < segs.size(); ++i) hits.push_back({SidebarHitKind::SignatureMode, i, {}, segs[i]});

  const double p = y + kPadTop;
  pad.box = {x0, p, x1, p + (draw_mode ? kPadDrawHeight : kPadTypeHeight)};
  scene.fill_rounded_rect(pad.box, ctx.theme.radius, c.surface);
  pad.clear_rect = {};
  if (draw_mode) {
    scene.stroke_rounded_rect(pad.box, ctx.theme.radius, 1.2, c.input_border);
    pad.pad_rect = pad.box.inset(kPadInset, kPadInset);
    const Rect& a = pad.pad_rect;
    const double width = std::min(std::max(0.06 * a.height(), 1.4), 3.0);
    const auto draw_stroke = [&](const pdf_actions::Stroke& s) {
      for (std::size_t i = 1; i < s.size(); ++i) {
        scene.line({a.x0 + s[i - 1].x * a.width(), a.y0 + s[i - 1].y * a.height()},
                   {a.x0 + s[i].x * a.width(), a.y0 + s[i].y * a.height()}, width, c.text,
                   velyn_ui::LineCap::Round);
      }
    };
    for (const auto& s : pad.strokes) draw_stroke(s);
    if (pad.current) draw_stroke(*pad.current);
    if (!pad.strokes.empty()) {
      const double w = text.measure("Clear", 11).width;
      const double lx = pad.box.x1 - 14 - w;
      pad.clear_rect = {lx - 6, pad.box.y0 + 4, pad.box.x1 - 6, pad.box.y0 + 22};
      const bool hover = app.pointer && pad.clear_rect.contains(*app.pointer);
      text.draw_text(scene, "Clear", {lx, pad.box.y0 + 7}, 11, hover ? c.accent : c.secondary_text);
      hits.push_back({SidebarHitKind::ClearStrokes, 0, {}, pad.clear_rect});
    } else {
      const std::string_view hint = "Draw your signature here";
      const auto m = text.measure(hint, 12);
      text.draw_text(scene, hint, {pad.box.center().x - m.width / 2, pad.box.center().y - m.height / 2}, 12,
                     c.secondary_text);
    }
  } else {
    pad.pad_rect = {};
    scene.stroke_rounded_rect(pad.box, ctx.theme.radius, 1, c.border);
    text.draw_text(scene, "SIGNING AS", {pad.box.x0 + 12, p + 9}, 9, c.secondary_text);
    const Rect field{pad.box.x0 + 8, p + 19, pad.box.x1 - 100, pad.box.y1 - 6};
    auto& editor = app.sidebar.editor;
    if (editor && editor->kind == EditorKind::SignerName) {
      scene.stroke_rounded_rect(field, ctx.theme.radius, 1.5, c.input_border);
      editor->input.draw(scene, text, ctx.theme, field.inset(4, 2), {.size = 13, .placeholder = "Your name", .text_color = std::nullopt, .padding = 0});
    } else if (pad.signer.empty()) {
      text.draw_text(scene, "Your name", {field.x0 + 4, field.y0 + 4}, 13, c.secondary_text);
    } else {
      text.draw_text(scene, pad.signer, {field.x0 + 4, field.y0 + 4}, 13, c.text);
    }
    hits.push_back({SidebarHitKind::SignerName, 0, {}, field});
    const std::string_view preview = pad.signer.empty() ? std::string_view("Signature") : pad.signer;
    text.draw_text(scene, preview, {pad.box.x1 - 94, p + 20}, 16, kSignatureInk);
  }

  const double bt = p + (draw_mode ? 110 : 72);
  const Rect button{x0, bt, x1, bt + 38};
  const bool sign = app.tool == Tool::Sign;
  scene.fill_rounded_rect(button, ctx.theme.radius, sign ? c.accent : hover_tint(c));
  const std::string_view label = place_button_label(app);
  const auto m = text.measure(label, 12.5, velyn_ui::kWeightSemibold);
  text.draw_text_weighted(scene, label, {button.center().x - m.width / 2, button.center().y - m.height / 2}, 12.5,
                          velyn_ui::kWeightSemibold, sign ? on_accent(c) : c.text);
  hits.push_back({SidebarHitKind::PlaceSignature, 0, {}, button});

  text.draw_text(scene, fmt::format("PLACED  ·  {}", app.review.signatures.size()), {x0, bt + 54}, 9.5,
                 c.secondary_text);
  return bt + 54 + 20 + 20;
}

}  // namespace pdf_app
