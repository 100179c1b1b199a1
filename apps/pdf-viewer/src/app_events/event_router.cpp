#include "app_events/event_router.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "actions/action_ids.h"
#include "app/file_operations.h"
#include "app/keyboard_focus.h"
#include "app/page_jump.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "source/source_worker.h"
#include "app/search_run.h"
#include "app/ui/empty_screen.h"
#include "app/ui/review_sidebar.h"
#include "app/ui/signature_pad.h"
#include "app/ui/toolbar.h"
#include "app/markup_geometry.h"
#include "app_events/chrome_input.h"
#include "app_events/markup_input.h"
#include "velyn_ui/log.h"
#include "velyn_ui/widget/clipboard.h"

namespace pdf_app {

using velyn_ui::Handled;
using velyn_ui::Point;
namespace source = pdf::source;
namespace pa = pdf_actions;

bool copy_selection(PdfApp& app) {
  const auto& sel = app.input.selection;
  if (!sel) return false;
  const auto it = app.page_texts.find(sel->page);
  if (it == app.page_texts.end() || !it->second) return false;
  const std::string text =
      selection_text(*it->second, std::min(sel->start, sel->end), std::max(sel->start, sel->end));
  if (text.empty()) return false;
  // A clipboard that refuses text leaves the status as it was.
  if (!velyn_ui::text_selection::clipboard_copy(text)) return true;
  const std::size_t n = count_characters(text);
  app.status = fmt::format("Copied {} character{}", n, n == 1 ? "" : "s");
  app.redraw_requested = true;
  return true;
}

void delete_selection(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx) {
  if (!app.selected_annotations.empty()) {
    const std::string id = app.selected_annotations.front();
    app.selected_annotations.clear();
    execute(app, document, ctx, pa::PdfViewerAction::DeleteAnnotation{id});
  } else if (app.input.selected_signature) {
    const std::string id = *std::exchange(app.input.selected_signature, std::nullopt);
    execute(app, document, ctx, pa::PdfViewerAction::DeleteSignature{id});
  }
}

namespace {

using pa::PdfViewerAction;

Point page_point(const PdfApp::PageHit& hit) { return {hit.x, hit.y}; }

// ---- keys --------------------------------------------------------------------

Handled handle_key(PdfApp& app, const velyn_ui::KeyPress& key, docstore::Document& document,
                   velyn_ui::FrameContext& ctx) {
  using velyn_ui::Key;
  const bool ctrl = key.modifiers & velyn_ui::kModCtrl;
  app.input.shift_held = key.modifiers & velyn_ui::kModShift;
  const char32_t c = key.key == Key::Character ? key.character : 0;
  using Op = pa::PdfOperation;
  const auto run = [&app](Command command) {
    execute(app, command);
    return Handled::Yes;
  };
  // Zoom keys work with and without Ctrl: +/= in, -/_/− out, 0 resets.
  const auto zoom_key = [&](char32_t ch) -> std::optional<Command> {
    if (ch == U'+' || ch == U'=') return Op::ZoomIn{};
    if (ch == U'-' || ch == U'_' || ch == U'\u2212') return Op::ZoomOut{};
    if (ch == U'0') return command::ResetZoom{};
    return std::nullopt;
  };
  if (ctrl) {
    if (auto zoom = zoom_key(c)) return run(*zoom);
    switch (c) {
      case U'f': return run(Op::OpenSearch{});
      case U'c': return copy_selection(app) ? Handled::Yes : Handled::No;
      case U'q': app.request_close(ctx.now); return Handled::Yes;
      case U'g': return run(command::OpenPageJump{});
      default: return Handled::No;  // Ctrl+O and Ctrl+S belong to the file operations
    }
  }
  switch (key.key) {
    case Key::Character: break;
    case Key::Space: return run(Op::NextPage{});
    case Key::Down: app.pan_by(0, kArrowStep); return Handled::Yes;
    case Key::Up: app.pan_by(0, -kArrowStep); return Handled::Yes;
    case Key::Right: app.pan_by(kArrowStep, 0); return Handled::Yes;
    case Key::Left: app.pan_by(-kArrowStep, 0); return Handled::Yes;
    case Key::PageDown:
    case Key::PageUp: {
      const double step = std::max(0.9 * app.regions.canvas.height(), kArrowStep);
      app.pan_by(0, key.key == Key::PageDown ? step : -step);
      return Handled::Yes;
    }
    case Key::Home: return run(command::GoToFirstPage{});
    case Key::End: return run(command::GoToLastPage{});
    case Key::Delete:
    case Key::Backspace: delete_selection(app, document, ctx); return Handled::Yes;
    case Key::Escape:
      clear_canvas_selection(app);
      app.input.menu.close();
      app.input.menu_target.reset();
      app.rail.on_escape();
      set_interaction_mode(app, InteractionMode::Idle);
      app.status.reset();
      return Handled::Yes;
    default: return Handled::No;
  }
  if (auto zoom = zoom_key(c)) return run(*zoom);
  switch (c) {
    case U'1': return run(command::SetTool{Tool::Select});
    case U'2': return run(command::SetTool{Tool::Highlight});
    case U'3': return run(command::SetTool{Tool::Draw});
    case U'4': return run(command::SetTool{Tool::Note});
    case U'5': return run(command::SetTool{Tool::Sign});
    case U'w':
    case U'W': return run(Op::FitWidth{});
    case U'b':
    case U'B': return run(Op::ToggleSidebar{});
    case U'[': return run(Op::PreviousPage{});
    case U']': return run(Op::NextPage{});
    default: return Handled::No;
  }
}

// ---- wheel -------------------------------------------------------------------

Handled handle_wheel(PdfApp& app, const velyn_ui::Wheel& wheel) {
  const bool lines = wheel.unit == velyn_ui::WheelUnit::Lines;
  // Pixel deltas arrive in logical pixels already: the backend divides by the scale.
  const double dx = lines ? wheel.dx * kWheelLine : wheel.dx;
  const double dy = lines ? wheel.dy * kWheelLine : wheel.dy;
  const bool ctrl = wheel.modifiers & velyn_ui::kModCtrl;
  const bool shift = wheel.modifiers & velyn_ui::kModShift;
  velyn_ui::log::debug("pdf MouseWheel kind={} dx={} dy={} ctrl={} shift={}", lines ? "line" : "pixel", dx, dy, ctrl,
                       shift);
  if (app.panels.sidebar_open && app.regions.sidebar.contains(wheel.at)) {
    scroll_sidebar(app, dy);
    return Handled::Yes;
  }
  if (!app.document_loaded) return Handled::No;
  if (ctrl) {
    if (dy != 0) app.zoom_at(dy > 0 ? 1 + dy / 240 : 1 / (1 - dy / 240), wheel.at);
    return Handled::Yes;
  }
  const double wider = app.viewport.content_size().width * app.viewport.zoom() - app.regions.canvas.width();
  if (shift && wider > 1) {
    app.pan_by(-dy, 0);
  } else {
    app.pan_by(-dx, -dy);
  }
  return Handled::Yes;
}

// ---- pointer -----------------------------------------------------------------

void update_text_selection(PdfApp& app, Point screen) {
  auto& sel = *app.input.selection;
  const auto* layer = layer_of(app, sel.page);
  if (!layer) return;
  const auto c = app.viewport.screen_to_content(screen);
  const Point p{c.x, c.y - double(sel.page - 1) * (app.page_height + kPageGap)};
  const auto hit = char_at(*layer, p, true);
  if (!hit) return;
  std::uint64_t first = *hit, end = *hit + 1;
  if (sel.granularity == Granularity::Word) std::tie(first, end) = word_range(*layer, *hit);
  if (sel.granularity == Granularity::Line) std::tie(first, end) = line_range(*layer, *hit);
  if (sel.granularity == Granularity::Character) {
    sel.start = sel.anchor_first;
    sel.end = *hit;
  } else {
    sel.start = std::min(sel.anchor_first, first);
    sel.end = std::max(sel.anchor_end, end) - 1;
  }
}

Handled handle_move(PdfApp& app, const velyn_ui::PointerMove& move, docstore::Document& document,
                    velyn_ui::FrameContext& ctx) {
  app.pointer = move.at;
  app.input.shift_held = move.modifiers & velyn_ui::kModShift;
  app.redraw_requested = true;
  handle_search_event(app, velyn_ui::Event(move), ctx.now);
  auto& in = app.input;
  if (pad_move(app, move.at)) return Handled::Yes;
  if (app.sidebar.editor && app.sidebar.editor->input.dragging()) {
    app.sidebar.editor->input.handle_event(velyn_ui::Event(move), ctx.now);
    return Handled::Yes;
  }
  if (in.marker.active()) {
    const auto c = app.viewport.screen_to_content(move.at);
    for (auto& a : app.review.annotations) {
      if (a.id != in.marker.id()) continue;
      const Point p{c.x, c.y - double(a.page - 1) * (app.page_height + kPageGap)};
      if (const auto anchor = in.marker.update(p)) {
        if (auto* n = std::get_if<pa::AnnoGeom::Note>(&a.geom.value)) *n = {anchor->x, anchor->y};
      }
    }
    return Handled::Yes;
  }
  if (app.rail_resizing || app.rail.gesture_active()) {
    rail_event(app, velyn_ui::Event(move), document, ctx);
    return Handled::Yes;
  }
  if (in.scrollbar) {
    const bool vertical = in.scrollbar->axis == velyn_ui::ScrollAxis::Vertical;
    app.viewport.drag_thumb(in.scrollbar->axis, in.scrollbar->scroll_at_press,
                            (vertical ? move.at.y : move.at.x) - in.scrollbar->press);
    app.update_current_page();
    return Handled::Yes;
  }
  if (in.region.active) {
    const auto c = app.viewport.screen_to_content(move.at);
    in.region.moving = {c.x, c.y - double(in.region.page - 1) * (app.page_height + kPageGap)};
    return Handled::Yes;
  }
  if (in.mode == InteractionMode::Selecting && in.selection) {
    update_text_selection(app, move.at);
    return Handled::Yes;
  }
  if (in.pan.phase != PanGesture::Phase::None) {
    const double dx = move.at.x - in.pan.press.x, dy = move.at.y - in.pan.press.y;
    if (in.pan.phase == PanGesture::Phase::Pressed && std::hypot(dx, dy) > kPanSlop) {
      in.pan.phase = PanGesture::Phase::Panning;
    }
    if (in.pan.phase == PanGesture::Phase::Panning) {
      app.viewport.set_scroll({in.pan.scroll_at_press.x - dx, in.pan.scroll_at_press.y - dy});
      app.viewport.clamp_scroll();
      app.update_current_page();
    }
    return Handled::Yes;
  }
  if (in.markup) {
    const auto c = app.viewport.screen_to_content(move.at);
    const Point p{c.x, c.y - double(in.markup->page - 1) * (app.page_height + kPageGap)};
    in.markup->moving = p;
    if (in.markup->kind == Tool::Draw) append_ink_point(in.markup->points, p);
    return Handled::Yes;
  }
  rail_event(app, velyn_ui::Event(move), document, ctx);  // hover
  return Handled::Yes;
}

void start_text_selection(PdfApp& app, const PdfApp::PageHit& hit, const velyn_ui::PointerPress& press,
                          double now, bool& started) {
  const auto* layer = layer_of(app, hit.page);
  if (!layer) {
    app.request_text(hit.page - 1);
    return;
  }
  const auto c = char_on_line(*layer, page_point(hit));
  if (!c) return;
  const auto kind = app.input.clicks.press(press.at, now, press.clicks);
  TextSelection sel;
  sel.page = hit.page;
  std::uint64_t first = *c, end = *c + 1;
  if (kind == velyn_ui::widget::PressKind::Double) {
    sel.granularity = Granularity::Word;
    std::tie(first, end) = word_range(*layer, *c);
  } else if (kind == velyn_ui::widget::PressKind::Triple) {
    sel.granularity = Granularity::Line;
    std::tie(first, end) = line_range(*layer, *c);
  }
  sel.anchor_first = first;
  sel.anchor_end = end;
  sel.start = first;
  sel.end = sel.granularity == Granularity::Character ? first : end - 1;
  app.input.selection = sel;
  set_interaction_mode(app, InteractionMode::Selecting);
  started = true;
}

void press_canvas(PdfApp& app, const velyn_ui::PointerPress& press, docstore::Document& document,
                  velyn_ui::FrameContext& ctx) {
  auto& in = app.input;
  if (app.regions.panels_overlay && (app.panels.thumbnails_open || app.panels.sidebar_open)) {
    execute(app, command::HidePanels{});
    return;
  }
  const auto press_pan = [&] {
    in.pan = {PanGesture::Phase::Pressed, press.at, app.viewport.scroll()};
  };
  const auto hit = app.hit_test(press.at);
  if (!hit) {
    set_interaction_mode(app, InteractionMode::Idle);
    if (app.tool == Tool::Select) {
      press_pan();
    } else {
      clear_canvas_selection(app);
    }
    return;
  }
  const Point p = page_point(*hit);
  switch (app.tool) {
    case Tool::Select: {
      if (const auto* note = note_at(app.review, hit->page, p)) {
        const auto& n = std::get<pa::AnnoGeom::Note>(note->geom.value);
        in.marker.begin(note->id, {n.x, n.y}, p);
        select_annotation(app, note->id);
        return;
      }
      if (in.shift_held && app.doc && app.doc->raster_document) {
        in.region = {true, hit->page, p, p};
        return;
      }
      bool started = false;
      start_text_selection(app, *hit, press, ctx.now, started);
      if (started) return;
      set_interaction_mode(app, InteractionMode::Idle);
      press_pan();
      return;
    }
    case Tool::Highlight:
    case Tool::Draw:
      in.markup = MarkupDrag{app.tool, hit->page, {{p.x, p.y}}, p, p};
      return;
    case Tool::Note: create_note(app, document, ctx, hit->page, p); return;
    case Tool::Sign: place_signature(app, document, ctx, hit->page, p.x, p.y); return;
  }
}

void click_canvas(PdfApp& app, Point screen) {
  const auto hit = app.hit_test(screen);
  if (!hit) {
    clear_canvas_selection(app);
    return;
  }
  const Point p = page_point(*hit);
  if (const auto* a = annotation_at(app.review, hit->page, p)) {
    select_annotation(app, a->id);
    reveal_annotation(app, a->id);
  } else if (const auto* s = signature_at(app.review, hit->page, p)) {
    app.selected_annotations.clear();
    app.input.selected_signature = s->id;
    reveal_in_sidebar(app, SidebarTab::Signatures, s->id);
  } else {
    clear_canvas_selection(app);
  }
}

Handled handle_release(PdfApp& app, const velyn_ui::PointerRelease& release, docstore::Document& document,
                       velyn_ui::FrameContext& ctx) {
  auto& in = app.input;
  if (pad_release(app)) return Handled::Yes;
  if (app.sidebar.editor && app.sidebar.editor->input.dragging()) {
    app.sidebar.editor->input.handle_event(velyn_ui::Event(release), ctx.now);
    return Handled::Yes;
  }
  if (in.marker.active()) {
    if (auto done = in.marker.finish()) {
      if (done->moved) {
        execute(app, document, ctx, PdfViewerAction::SetAnnotationPosition{done->id, done->anchor.x, done->anchor.y});
      } else {
        reveal_annotation(app, done->id);
      }
    }
    return Handled::Yes;
  }
  if (in.scrollbar) {
    in.scrollbar.reset();
    return Handled::Yes;
  }
  if (in.region.active) {
    copy_region(app);
    in.region.active = false;
    return Handled::Yes;
  }
  if (app.rail_resizing || app.rail.gesture_active()) {
    rail_event(app, velyn_ui::Event(release), document, ctx);
    return Handled::Yes;
  }
  if (in.mode == InteractionMode::Selecting) {
    const bool dragged = in.selection && (in.selection->start != in.selection->end ||
                                          in.selection->granularity != Granularity::Character);
    set_interaction_mode(app, dragged ? InteractionMode::SelectionShown : InteractionMode::Idle);
    return Handled::Yes;
  }
  if (in.pan.phase != PanGesture::Phase::None) {
    const bool click = in.pan.phase == PanGesture::Phase::Pressed;
    in.pan.phase = PanGesture::Phase::None;
    if (click) click_canvas(app, release.at);
    return Handled::Yes;
  }
  if (in.markup) {
    commit_markup(app, document, ctx);
    return Handled::Yes;
  }
  return Handled::No;
}

// The selection HUD: copy, a swatch (highlights of the selection), comment.
bool press_hud(PdfApp& app, Point at, docstore::Document& document, velyn_ui::FrameContext& ctx) {
  auto& in = app.input;
  if (in.mode != InteractionMode::SelectionShown || !in.selection || !in.hud.frame.contains(at)) return false;
  const auto hit = velyn_ui::widget::SelectionHud::hit(in.hud, at);
  if (!hit) return true;
  const auto* layer = layer_of(app, in.selection->page);
  using Kind = velyn_ui::widget::SelectionHudHit::Kind;
  if (hit->kind == Kind::Copy) {
    copy_selection(app);
  } else if (hit->kind == Kind::Swatch && layer) {
    const auto s = std::min(in.selection->start, in.selection->end), e = std::max(in.selection->start, in.selection->end);
    const auto swatch = static_cast<pa::Swatch>(std::min<std::size_t>(hit->swatch, 4));
    app.swatch = swatch;
    add_highlights(app, document, ctx, in.selection->page, selection_rects(*layer, s, e), swatch);
    set_interaction_mode(app, InteractionMode::Idle);
  } else if (hit->kind == Kind::Comment && layer) {
    const auto s = std::min(in.selection->start, in.selection->end), e = std::max(in.selection->start, in.selection->end);
    const auto rects = selection_rects(*layer, s, e);
    const std::uint64_t page = in.selection->page;
    set_interaction_mode(app, InteractionMode::Idle);
    if (!rects.empty()) create_note(app, document, ctx, page, {rects.front().x, rects.front().y});
  }
  return true;
}

void secondary_press(PdfApp& app, Point at, velyn_ui::FrameContext& ctx) {
  auto& in = app.input;
  const auto hit = app.hit_test(at);
  std::optional<MenuTarget> target;
  if (hit && app.regions.canvas.contains(at)) {
    const Point p = page_point(*hit);
    if (const auto* s = signature_at(app.review, hit->page, p)) {
      target = MenuTarget{MenuTarget::Kind::Signature, s->id};
    } else if (const auto* a = annotation_at(app.review, hit->page, p)) {
      target = MenuTarget{MenuTarget::Kind::Annotation, a->id};
    }
  }
  if (!target) {
    in.menu.close();
    in.menu_target.reset();
    return;
  }
  in.menu.clear();
  in.menu.push("Delete");
  in.menu.open_at_clamped(at, app.window, ctx.text);
  in.menu_target = std::move(target);
}

Handled handle_press(PdfApp& app, const velyn_ui::PointerPress& press, docstore::Document& document,
                     velyn_ui::FrameContext& ctx) {
  app.input.shift_held = press.modifiers & velyn_ui::kModShift;
  if (press.button == velyn_ui::PointerButton::Secondary) {
    if (rail_event(app, velyn_ui::Event(press), document, ctx) == Handled::Yes) return Handled::Yes;
    if (app.document_loaded) secondary_press(app, press.at, ctx);
    return Handled::Yes;
  }
  if (press.button != velyn_ui::PointerButton::Primary) return Handled::No;
  const Point at = press.at;
  // A press outside the sidebar takes the focus from its editor, which
  // commits it (the sidebar decides for presses inside it).
  const bool in_sidebar = app.panels.sidebar_open && app.regions.sidebar.contains(at);
  if (app.sidebar.editor && !in_sidebar) commit_editor(app, document, ctx);
  if (handle_search_event(app, velyn_ui::Event(press), ctx.now) == Handled::Yes) return Handled::Yes;
  if (const auto handled = press_toolbar(app, at, document, ctx)) return *handled;
  if (press_bubble(app, at, ctx.now)) return Handled::Yes;
  if (rail_event(app, velyn_ui::Event(press), document, ctx) == Handled::Yes) return Handled::Yes;
  if (in_sidebar) {
    app.search.field.set_focused(false);
    if (!pad_press(app, at)) press_sidebar(app, document, ctx, at);
    return Handled::Yes;
  }
  if (!app.document_loaded) {
    if (!app.pending_open && open_button_rect(app.regions.canvas).contains(at)) return Handled::No;  // file operations
    return Handled::Yes;
  }
  if (press_hud(app, at, document, ctx)) return Handled::Yes;
  if (press_scrollbar(app, at)) return Handled::Yes;
  if (app.regions.canvas.contains(at)) press_canvas(app, press, document, ctx);
  app.redraw_requested = true;
  return Handled::Yes;
}

// Tab and Shift+Tab move the focus ring; Enter and Space act on the focused
// control as a click on it would; Escape drops the ring.
Handled keyboard_focus_key(PdfApp& app, const velyn_ui::KeyPress& key, docstore::Document& document,
                           velyn_ui::FrameContext& ctx) {
  using velyn_ui::Key;
  if (key.key == Key::Tab && !(key.modifiers & (velyn_ui::kModCtrl | velyn_ui::kModAlt))) {
    if (app.sidebar.editor) commit_editor(app, document, ctx);  // the focus leaves it
    close_page_jump(app);
    move_keyboard_focus(app, (key.modifiers & velyn_ui::kModShift) ? -1 : 1);
    return Handled::Yes;
  }
  if (!app.keyboard_focus || app.text_input_focused()) return Handled::No;
  if (key.key == Key::Escape) {
    app.keyboard_focus.reset();
    app.redraw_requested = true;
    return Handled::Yes;
  }
  if (key.key != Key::Enter && key.key != Key::Space) return Handled::No;
  const auto target = focused_control(app);
  if (!target) return Handled::No;
  const std::string name = target->name;
  const Point at = target->rect.center();
  route_event(app, velyn_ui::PointerPress{at}, document, ctx);
  route_event(app, velyn_ui::PointerRelease{at}, document, ctx);
  // The click was the keyboard's: the ring stays on its control if it is still there.
  app.keyboard_focus = name;
  app.redraw_requested = true;
  return Handled::Yes;
}

}  // namespace

Handled route_event(PdfApp& app, const velyn_ui::Event& event, docstore::Document& document,
                    velyn_ui::FrameContext& ctx) {
  if (app.input.input_blocked) return Handled::No;
  if (std::holds_alternative<velyn_ui::PointerLeave>(event)) {
    app.pointer.reset();
    app.redraw_requested = true;
    return Handled::Yes;
  }
  if (app.waiting_for_record) {
    if (const auto* move = std::get_if<velyn_ui::PointerMove>(&event)) {
      app.pointer = move->at;
      app.redraw_requested = true;
      return Handled::Yes;
    }
    return Handled::No;
  }
  auto& in = app.input;
  if (in.menu.is_open()) {
    const auto r = in.menu.handle_event(event);
    if (r.chosen) {
      if (in.menu_target) {
        const auto target = std::move(*in.menu_target);
        in.menu_target.reset();
        if (target.kind == MenuTarget::Kind::Signature) {
          execute(app, document, ctx, PdfViewerAction::DeleteSignature{target.id});
          if (in.selected_signature == target.id) in.selected_signature.reset();
        } else {
          execute(app, document, ctx, PdfViewerAction::DeleteAnnotation{target.id});
          std::erase(app.selected_annotations, target.id);
        }
      }
      in.menu.close();
      app.redraw_requested = true;
      return Handled::Yes;
    }
    if (in.menu.is_open()) {
      if (const auto* move = std::get_if<velyn_ui::PointerMove>(&event)) app.pointer = move->at;
      if (std::holds_alternative<velyn_ui::PointerPress>(event)) {
        in.menu.close();
        in.menu_target.reset();
      }
      app.redraw_requested = true;
      return Handled::Yes;
    }
    in.menu_target.reset();
    if (std::holds_alternative<velyn_ui::PointerPress>(event)) return Handled::Yes;
  }
  if (const auto* key = std::get_if<velyn_ui::KeyPress>(&event)) {
    if (keyboard_focus_key(app, *key, document, ctx) == Handled::Yes) return Handled::Yes;
  }
  // The pointer takes over from the keyboard: a press drops the focus ring.
  if (std::holds_alternative<velyn_ui::PointerPress>(event)) app.keyboard_focus.reset();
  if (page_jump_event(app, event, ctx.now) == Handled::Yes) return Handled::Yes;
  // An editor whose sidebar was closed cannot be seen: it is dropped as
  // Escape would drop it, instead of taking keys the user cannot see going in.
  if (app.sidebar.editor && !app.panels.sidebar_open) app.sidebar.editor.reset();
  if (editor_event(app, document, ctx, event) == Handled::Yes) return Handled::Yes;
  if (const auto* move = std::get_if<velyn_ui::PointerMove>(&event)) return handle_move(app, *move, document, ctx);
  if (const auto* key = std::get_if<velyn_ui::KeyPress>(&event)) {
    if (handle_search_event(app, event, ctx.now) == Handled::Yes) return Handled::Yes;
    if (key->key == velyn_ui::Key::Escape && app.rail.on_escape()) {
      app.redraw_requested = true;
    }
    Handled h = handle_key(app, *key, document, ctx);
    if (h == Handled::No) h = handle_file_event(app, event);  // Ctrl+O, Ctrl+S
    app.redraw_requested = true;
    return h;
  }
  if (std::holds_alternative<velyn_ui::TextCommit>(event) || std::holds_alternative<velyn_ui::TextPreedit>(event)) {
    return handle_search_event(app, event, ctx.now);
  }
  if (const auto* wheel = std::get_if<velyn_ui::Wheel>(&event)) {
    if (rail_event(app, event, document, ctx) == Handled::Yes) return Handled::Yes;
    return handle_wheel(app, *wheel);
  }
  if (const auto* mag = std::get_if<velyn_ui::Magnify>(&event)) {
    // The toolkit reports the factor relative to the previous event: d = scale − 1.
    const double d = mag->scale - 1;
    if (app.document_loaded && std::isfinite(d) && d != 0) app.zoom_at(1 + d, mag->at);
    return Handled::Yes;
  }
  if (const auto* press = std::get_if<velyn_ui::PointerPress>(&event)) {
    // Open, Save and the empty screen's button are the file operations'.
    if (handle_press(app, *press, document, ctx) == Handled::Yes) return Handled::Yes;
    return handle_file_event(app, event);
  }
  if (const auto* release = std::get_if<velyn_ui::PointerRelease>(&event)) {
    handle_search_event(app, event, ctx.now);
    const Handled h = handle_release(app, *release, document, ctx);
    app.redraw_requested = true;
    return h;
  }
  return Handled::No;
}

}  // namespace pdf_app
