#include "app/ui/review_sidebar.h"

#include <fmt/format.h>

#include <algorithm>

#include "actions/action_ids.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "app/ui/chrome_style.h"
#include "app/ui/signature_pad.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/text_renderer.h"
#include "velyn_ui/theme.h"
#include "velyn_ui/widget/avatar.h"
#include "velyn_ui/widget/toggle_group.h"

namespace pdf_app {

using velyn_ui::Point;
using velyn_ui::Rect;
namespace pa = pdf_actions;

namespace {

constexpr double kShortLabelsAbove = 1.25;
constexpr double kSignatureRowHeight = 46;
constexpr double kSignatureRowPitch = 56;
constexpr double kOutlineRowHeight = 30;
constexpr double kOutlinePitch = 32;
constexpr double kNarrowCard = 240;  // cards narrower than this use the compact chip labels

double text_scale_of(const velyn_ui::TextRenderer& text) { return std::clamp(text.text_scale(), 1.0, 2.0); }

const pa::Comment* find_comment(const PdfApp& app, std::string_view id) {
  for (const auto& c : app.review.comments)
    if (c.id == id) return &c;
  return nullptr;
}

// The list top of the current tab below the tab bar's bottom `y`.
double list_top(const PdfApp& app, double y, double x) {
  switch (app.sidebar.tab) {
    case SidebarTab::Comments: return y + 34 * x;
    case SidebarTab::Contents: return y + 38 * x;
    case SidebarTab::Signatures:
      return y + 12 + 18 + 44 + (app.signature_pad.mode == SignatureMode::Draw ? 110 : 72) + 54 + 20 + 20;
  }
  return y;
}

// Applies the scroll limits and a pending reveal of row [top, bottom) (content coordinates).
void reveal_rows(PdfApp& app, const std::vector<std::pair<std::string, std::pair<double, double>>>& rows,
                 double content, double visible) {
  auto& s = app.sidebar;
  if (s.pending_reveal) {
    for (const auto& [id, span] : rows) {
      if (id != *s.pending_reveal) continue;
      if (span.first < s.scroll) {
        s.scroll = span.first;
      } else if (span.second > s.scroll + visible) {
        s.scroll = span.second - visible;
      }
      s.pending_reveal.reset();
      break;
    }
  }
  s.scroll = std::clamp(s.scroll, 0.0, std::max(content - visible, 0.0));
}

}  // namespace

std::string threads_header(const std::vector<pa::Comment>& comments) {
  if (comments.empty()) return "No comments yet";
  const auto open = std::count_if(comments.begin(), comments.end(), [](const auto& c) { return !c.resolved; });
  return fmt::format("{} threads · {} open", comments.size(), open);
}

std::vector<std::string_view> tab_labels(double interface_scale) {
  if (interface_scale > kShortLabelsAbove) return {"Notes", "TOC", "Sign"};
  return {"Comments", "Contents", "Signatures"};
}

void switch_tab(PdfApp& app, SidebarTab tab) {
  if (app.sidebar.tab != tab) {
    app.sidebar.tab = tab;
    app.sidebar.scroll = 0;
    app.sidebar.pending_reveal.reset();
  }
  app.redraw_requested = true;
}

void reveal_in_sidebar(PdfApp& app, SidebarTab tab, std::string id) {
  switch_tab(app, tab);
  execute(app, command::ShowSidebar{});
  app.sidebar.pending_reveal = std::move(id);
}

void scroll_sidebar(PdfApp& app, double dy) {
  app.sidebar.scroll = std::max(app.sidebar.scroll - dy, 0.0);
  app.redraw_requested = true;
}

void open_comment_editor(PdfApp& app, EditorKind kind, const std::string& comment_id) {
  SidebarEditor editor;
  editor.kind = kind;
  editor.target = comment_id;
  if (kind == EditorKind::SignerName) {
    editor.input = velyn_ui::widget::TextInput(velyn_ui::widget::TextInputMode::SingleLine);
    editor.input.set_text(app.signature_pad.signer);
  } else if (kind == EditorKind::CommentBody) {
    if (const auto* c = find_comment(app, comment_id)) editor.input.set_text(c->body);
  }
  editor.input.set_cursor_pos(editor.input.text().size());
  editor.input.set_focused(true);
  (void)editor.input.take_dirty();
  app.sidebar.editor = std::move(editor);
  app.search.field.set_focused(false);  // one field has the keyboard
  app.redraw_requested = true;
}

void commit_editor(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx) {
  if (!app.sidebar.editor) return;
  SidebarEditor editor = std::move(*app.sidebar.editor);
  app.sidebar.editor.reset();
  const std::string text = editor.input.text();
  switch (editor.kind) {
    case EditorKind::SignerName: app.signature_pad.signer = text; break;
    case EditorKind::CommentBody:
      if (const auto* c = find_comment(app, editor.target); c && c->body != text) {
        execute(app, document, ctx, pa::PdfViewerAction::SetCommentBody{editor.target, text});
      }
      break;
    case EditorKind::Reply:
      if (!text.empty()) {
        execute(app, document, ctx,
                pa::PdfViewerAction::AddReply{editor.target, pa::new_uuid(), app.local_author, text});
      }
      break;
  }
  app.redraw_requested = true;
}

velyn_ui::Handled editor_event(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx,
                               const velyn_ui::Event& event) {
  using velyn_ui::Handled;
  auto& editor = app.sidebar.editor;
  if (!editor) return Handled::No;
  if (const auto* press = std::get_if<velyn_ui::PointerPress>(&event)) {
    if (!editor->input.rect().contains(press->at)) return Handled::No;
    editor->input.handle_event(event, ctx.now);
    app.redraw_requested = true;
    return Handled::Yes;
  }
  if (!std::holds_alternative<velyn_ui::KeyPress>(event) && !std::holds_alternative<velyn_ui::TextCommit>(event) &&
      !std::holds_alternative<velyn_ui::TextPreedit>(event)) {
    return Handled::No;
  }
  const auto r = editor->input.handle_event(event, ctx.now);
  if (r == velyn_ui::widget::TextInputResponse::Submit) commit_editor(app, document, ctx);
  if (r == velyn_ui::widget::TextInputResponse::Cancel) editor.reset();
  app.redraw_requested = true;
  return Handled::Yes;  // every key goes to the open editor
}

void press_sidebar(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, Point at) {
  const SidebarHit* best = nullptr;
  for (const auto& h : app.sidebar.hits) {
    if (!h.rect.contains(at)) continue;
    if (!best || h.rect.width() * h.rect.height() < best->rect.width() * best->rect.height()) best = &h;
  }
  if (app.sidebar.editor && (!best || best->kind != SidebarHitKind::SignerName)) commit_editor(app, document, ctx);
  if (!best) return;
  const SidebarHit hit = *best;
  const auto* thread = find_comment(app, hit.id);
  switch (hit.kind) {
    case SidebarHitKind::Tab: switch_tab(app, static_cast<SidebarTab>(hit.number)); break;
    case SidebarHitKind::GoToPage: execute(app, pa::PdfOperation::GoToPage{hit.number}); break;
    case SidebarHitKind::ThreadHeader:
      if (thread) {
        if (thread->anno) app.selected_annotations = {*thread->anno};
        app.input.selected_signature.reset();
        execute(app, pa::PdfOperation::GoToPage{thread->page});
      }
      break;
    case SidebarHitKind::ThreadBody:
      if (thread) {
        if (thread->anno) app.selected_annotations = {*thread->anno};
        open_comment_editor(app, EditorKind::CommentBody, thread->id);
      }
      break;
    case SidebarHitKind::ReplyLink: open_comment_editor(app, EditorKind::Reply, hit.id); break;
    case SidebarHitKind::ResolveChip:
      if (thread) {
        execute(app, document, ctx, pa::PdfViewerAction::SetCommentResolved{thread->id, !thread->resolved});
      }
      break;
    case SidebarHitKind::DeleteThread:
      execute(app, document, ctx, pa::PdfViewerAction::DeleteComment{hit.id});
      break;
    case SidebarHitKind::PlaceSignature: execute(app, command::SetTool{Tool::Sign}); break;
    case SidebarHitKind::SignerName:
      if (!app.sidebar.editor || app.sidebar.editor->kind != EditorKind::SignerName) {
        open_comment_editor(app, EditorKind::SignerName, {});
      }
      break;
    case SidebarHitKind::SignatureRow:
      for (const auto& s : app.review.signatures) {
        if (s.id != hit.id) continue;
        app.input.selected_signature = s.id;
        app.selected_annotations.clear();
        execute(app, pa::PdfOperation::GoToPage{s.page});
      }
      break;
    case SidebarHitKind::DeleteSignature:
      execute(app, document, ctx, pa::PdfViewerAction::DeleteSignature{hit.id});
      break;
    case SidebarHitKind::SignatureMode:
      set_signature_mode(app, hit.number == 1 ? SignatureMode::Draw : SignatureMode::Type);
      break;
    case SidebarHitKind::ClearStrokes: clear_strokes(app); break;
  }
  app.redraw_requested = true;
}

namespace {

void draw_comments(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx, double y, double top,
                   double visible) {
  auto& text = ctx.text;
  const auto& c = ctx.theme.colors;
  const Rect& sb = app.regions.sidebar;
  const double x = text_scale_of(text);
  const double card_w = sb.width() - 28 * x;
  const double cx0 = sb.x0 + 14 * x;
  text.draw_text(scene, threads_header(app.review.comments), {sb.x0 + 12 * x, y + 12 * x}, 11, c.secondary_text);
  std::vector<std::pair<std::string, std::pair<double, double>>> rows;
  double cy = 0;  // content offset below the list top
  struct Card {
    const pa::Comment* comment;
    double offset, height;
  };
  std::vector<Card> cards;
  for (const auto& cm : app.review.comments) {
    const bool editing_body =
        app.sidebar.editor && app.sidebar.editor->kind == EditorKind::CommentBody && app.sidebar.editor->target == cm.id;
    const std::string& body = editing_body ? app.sidebar.editor->input.text() : cm.body;
    double h = 24 * x + 6 * x;
    h += body.empty() ? text.measure("Ag", 12).height : text.measure(body, 12, 0, card_w - 16).height;
    h += 12 * x;
    for (const auto& r : cm.replies) h += text.measure(r.body.empty() ? "Ag" : r.body, 11, 0, card_w - 36).height + 16 * x + 8 * x;
    const bool replying =
        app.sidebar.editor && app.sidebar.editor->kind == EditorKind::Reply && app.sidebar.editor->target == cm.id;
    if (replying) {
      const auto& t = app.sidebar.editor->input.text();
      h += 16 * x + 8 * x + std::max(t.empty() ? 0.0 : text.measure(t, 11.5, 0, card_w - 40).height, 15 * x);
    } else {
      h += 8 * x + 24 * x;
    }
    cards.push_back({&cm, cy, h});
    rows.push_back({cm.id, {cy, cy + h}});
    cy += h + kCardGap * x;
  }
  reveal_rows(app, rows, cy, visible);
  for (const auto& card : cards) {
    const auto& cm = *card.comment;
    const double t = top + card.offset - app.sidebar.scroll;
    const Rect r{cx0, t, cx0 + card_w, t + card.height};
    if (r.y1 < top || r.y0 > sb.y1) continue;
    const bool selected = cm.anno && std::ranges::find(app.selected_annotations, *cm.anno) != app.selected_annotations.end();
    scene.fill_rounded_rect(r, ctx.theme.radius, selected ? c.accent.with_alpha(28.0 / 255) : c.background);
    scene.stroke_rounded_rect(r, ctx.theme.radius, 1, c.border);
    // Author row.
    const Rect header{r.x0, r.y0, r.x1, r.y0 + 24 * x + 6 * x};
    const auto initials = velyn_ui::widget::Avatar::initials(cm.author);
    velyn_ui::widget::Avatar::draw_at(scene, text, {r.x0 + 8 + 10 * x, r.y0 + 6 + 10 * x}, 20 * x, cm.author,
                                      velyn_ui::widget::Avatar::color_for_initials(initials));
    text.draw_text_weighted(scene, cm.author, {r.x0 + 14 + 20 * x, r.y0 + 8}, 12, velyn_ui::kWeightSemibold, c.text);
    const bool narrow = card_w < kNarrowCard;
    const std::string_view chip = cm.resolved ? (narrow ? "Done" : "Resolved") : (narrow ? "Fix" : "Resolve");
    const double chip_w = text.measure(chip, 10.5).width + 16;
    const Rect del{r.x1 - 26, r.y0 + 6, r.x1 - 6, r.y0 + 26};
    const Rect chip_r{del.x0 - 6 - chip_w, r.y0 + 6, del.x0 - 6, r.y0 + 26};
    scene.fill_rounded_rect(chip_r, ctx.theme.chip_radius, cm.resolved ? c.accent : c.lift(0.12));
    text.draw_text(scene, chip, {chip_r.x0 + 8, chip_r.y0 + 3}, 10.5, cm.resolved ? on_accent(c) : c.secondary_text);
    text.draw_text(scene, "×", {del.x0 + 5, del.y0 + 1}, 13, c.secondary_text);
    // Body.
    const double by = header.y1;
    const bool editing_body =
        app.sidebar.editor && app.sidebar.editor->kind == EditorKind::CommentBody && app.sidebar.editor->target == cm.id;
    const double body_h = cm.body.empty() && !editing_body ? text.measure("Ag", 12).height
                          : text.measure(editing_body ? app.sidebar.editor->input.text() : cm.body, 12, 0, card_w - 16).height;
    const Rect body_r{r.x0 + 8, by, r.x1 - 8, by + std::max(body_h, 15 * x)};
    if (editing_body) {
      app.sidebar.editor->input.draw(scene, text, ctx.theme, body_r, {.size = 12, .placeholder = "Write a comment…", .text_color = std::nullopt, .padding = 0});
    } else {
      text.draw_wrapped(scene, cm.body, {body_r.x0, body_r.y0}, card_w - 16, 12, 0, c.text, velyn_ui::TextAlign::Left);
    }
    double ry = by + body_h + 12 * x;
    for (const auto& reply : cm.replies) {
      text.draw_text_weighted(scene, reply.author, {r.x0 + 28, ry}, 10.5, velyn_ui::kWeightSemibold, c.secondary_text);
      const auto m = text.draw_wrapped(scene, reply.body, {r.x0 + 28, ry + 16 * x}, card_w - 36, 11, 0, c.text,
                                       velyn_ui::TextAlign::Left);
      ry += 16 * x + std::max(m.height, text.measure("Ag", 11).height) + 8 * x;
    }
    const bool replying =
        app.sidebar.editor && app.sidebar.editor->kind == EditorKind::Reply && app.sidebar.editor->target == cm.id;
    Rect reply_r{r.x0 + 8, ry + 8 * x, r.x1 - 8, r.y1 - 4};
    if (replying) {
      reply_r = {r.x0 + 20, ry + 16 * x, r.x1 - 20, r.y1 - 4};
      app.sidebar.editor->input.draw(scene, text, ctx.theme, reply_r, {.size = 11.5, .placeholder = "Write a reply…", .text_color = std::nullopt, .padding = 0});
    } else {
      text.draw_text(scene, "+ Reply", {reply_r.x0, reply_r.y0 + 4}, 11.5, c.accent);
    }
    auto& hits = app.sidebar.hits;
    hits.push_back({SidebarHitKind::ThreadHeader, cm.page, cm.id, header});
    hits.push_back({SidebarHitKind::ThreadBody, cm.page, cm.id, body_r});
    if (!replying) hits.push_back({SidebarHitKind::ReplyLink, cm.page, cm.id, reply_r});
    hits.push_back({SidebarHitKind::ResolveChip, cm.page, cm.id, chip_r});
    hits.push_back({SidebarHitKind::DeleteThread, cm.page, cm.id, del});
  }
}

void draw_contents(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx, double y, double top,
                   double visible) {
  auto& text = ctx.text;
  const auto& c = ctx.theme.colors;
  const Rect& sb = app.regions.sidebar;
  const double x = text_scale_of(text);
  const auto& outline = app.doc ? app.doc->document.outline : decltype(app.doc->document.outline){};
  text.draw_text(scene, outline.empty() ? std::string("No contents available") : fmt::format("{} sections", outline.size()),
                 {sb.x0 + 12 * x, y + 12 * x}, 11, c.secondary_text);
  std::vector<std::pair<std::string, std::pair<double, double>>> rows;
  reveal_rows(app, rows, double(outline.size()) * kOutlinePitch * x, visible);
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const auto& item = outline[i];
    const double t = top + double(i) * kOutlinePitch * x - app.sidebar.scroll;
    const Rect row{sb.x0 + 6 * x, t, sb.x1 - 6 * x, t + kOutlineRowHeight * x};
    if (row.y1 < top || row.y0 > sb.y1) continue;
    // The entry points at a page of the file; the plan decides where it shows now.
    const auto position = app.position_of_source_page(item.page);
    const bool current = position == app.current_page;
    if (current) {
      scene.fill_rounded_rect(row, ctx.theme.radius, c.accent.with_alpha(30.0 / 255));
      scene.fill_rect({row.x0, row.y0 + 4, row.x0 + 2.5, row.y1 - 4}, c.accent);
    } else if (app.pointer && row.contains(*app.pointer)) {
      scene.fill_rounded_rect(row, ctx.theme.radius, c.lift(0.35));
    }
    const double indent = 12 * x + 16 * x * double(item.level);
    scene.push_clip({row.x0 + indent, row.y0, row.x1 - 40 * x, row.y1});
    text.draw_text_weighted(scene, item.title, {row.x0 + indent, row.y0 + 7 * x}, 12, item.level == 0 ? 2 : 0,
                            item.level == 0 || current ? c.text : c.secondary_text);
    scene.pop();
    const std::string page = position ? fmt::format("{}", *position) : std::string("–");  // its page was deleted
    const double w = text.measure(page, 11).width;
    text.draw_text(scene, page, {row.x1 - 10 * x - w, row.y0 + 8 * x}, 11, c.secondary_text);
    if (position) app.sidebar.hits.push_back({SidebarHitKind::GoToPage, *position, {}, row});
  }
}

void draw_signatures(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx, double y, double visible) {
  auto& text = ctx.text;
  const auto& c = ctx.theme.colors;
  const Rect& sb = app.regions.sidebar;
  // The pad scrolls with the list.
  const double top = draw_signature_pad(app, scene, ctx, y - app.sidebar.scroll) + app.sidebar.scroll;
  std::vector<std::pair<std::string, std::pair<double, double>>> rows;
  const double base = top - y;
  for (std::size_t i = 0; i < app.review.signatures.size(); ++i) {
    const double t = base + double(i) * kSignatureRowPitch;
    rows.push_back({app.review.signatures[i].id, {t, t + kSignatureRowHeight}});
  }
  reveal_rows(app, rows, base + double(app.review.signatures.size()) * kSignatureRowPitch, visible);
  for (std::size_t i = 0; i < app.review.signatures.size(); ++i) {
    const auto& s = app.review.signatures[i];
    const double t = top + double(i) * kSignatureRowPitch - app.sidebar.scroll;
    const Rect row{sb.x0 + 14, t, sb.x1 - 14, t + kSignatureRowHeight};
    if (row.y1 < y || row.y0 > sb.y1) continue;
    const bool selected = app.input.selected_signature == s.id;
    scene.fill_rounded_rect(row, ctx.theme.radius, selected ? c.accent.with_alpha(28.0 / 255) : c.background);
    scene.stroke_rounded_rect(row, ctx.theme.radius, 1, c.border);
    text.draw_text(scene, fmt::format("Signature by {} · p.{}", s.signer, s.page), {row.x0 + 10, row.y0 + 7}, 12, c.text);
    text.draw_text(scene, s.date, {row.x0 + 10, row.y0 + 25}, 10.5, c.secondary_text);
    const Rect del{row.x1 - 28, row.y0 + 13, row.x1 - 8, row.y0 + 33};
    text.draw_text(scene, "×", {del.x0 + 5, del.y0 + 1}, 13, c.secondary_text);
    app.sidebar.hits.push_back({SidebarHitKind::SignatureRow, s.page, s.id, row});
    app.sidebar.hits.push_back({SidebarHitKind::DeleteSignature, s.page, s.id, del});
  }
}

}  // namespace

void draw_review_sidebar(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) {
  const Rect& sb = app.regions.sidebar;
  const auto& c = ctx.theme.colors;
  auto& hits = app.sidebar.hits;
  hits.clear();
  scene.fill_rect(sb, c.surface);
  scene.fill_rect({sb.x0, sb.y0, sb.x0 + 1, sb.y1}, c.border);
  const Rect bar{sb.x0 + 1, sb.y0, sb.x1, sb.y0 + kTabBarHeight * app.scale};
  const auto labels = tab_labels(app.scale);
  const auto segs = velyn_ui::widget::ToggleGroup::paint(scene, ctx.text, ctx.theme, bar.inset(6, 4), labels,
                                                         std::size_t(app.sidebar.tab), app.pointer);
  for (std::size_t i = 0; i < segs.size(); ++i) hits.push_back({SidebarHitKind::Tab, i, {}, segs[i]});
  scene.fill_rect({sb.x0, bar.y1 - 1, sb.x1, bar.y1}, c.border);
  const double y = bar.y1;
  const double x = text_scale_of(ctx.text);
  const double top = list_top(app, y, x);
  scene.push_clip({sb.x0 + 1, y, sb.x1, sb.y1});
  switch (app.sidebar.tab) {
    case SidebarTab::Comments: draw_comments(app, scene, ctx, y, top, sb.y1 - top); break;
    case SidebarTab::Contents: draw_contents(app, scene, ctx, y, top, sb.y1 - top); break;
    case SidebarTab::Signatures: draw_signatures(app, scene, ctx, y, sb.y1 - top); break;
  }
  scene.pop();
}

}  // namespace pdf_app
