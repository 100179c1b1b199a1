// The per-frame update of the viewer and its viewport operations.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "actions/document_upkeep.h"
#include "actions/page_plan.h"
#include "actions/review_store.h"
#include "app/file_operations.h"
#include "app/import_flow.h"
#include "app/pdf_app.h"
#include "app/sample_document.h"
#include "source/source_jobs.h"
#include "source/source_worker.h"
#include "velyn_ui/frame_services.h"
#include "velyn_ui/records/record_set.h"

namespace pdf_app {

namespace source = pdf::source;

namespace {

std::vector<source::PlanEntry> to_worker_plan(const std::vector<pdf_actions::PagePlanEntry>& plan) {
  std::vector<source::PlanEntry> out;
  out.reserve(plan.size());
  for (const auto& e : plan) {
    source::PlanEntry entry{e.id, e.source_page, std::nullopt};
    if (e.imported) {
      entry.imported = source::PlanImport{e.imported->hash, e.imported->kind, e.imported->page,
                                          e.imported->width_milli, e.imported->height_milli};
    }
    out.push_back(std::move(entry));
  }
  return out;
}

// Which imported contents of `plan` this device holds now (one look per hash).
ContentStates content_states(const std::vector<source::PlanEntry>& plan) {
  ContentStates states;
  std::optional<blobstore::BlobStore> store;
  for (const auto& e : plan) {
    if (!e.imported || states.contains(e.imported->hash)) continue;
    if (!store) store = source::local_content_store();
    states[e.imported->hash] = store->state(e.imported->hash) == blobstore::BlobState::Present;
  }
  return states;
}

bool same_sequence(const std::vector<pdf_actions::PagePlanEntry>& a, const std::vector<pdf_actions::PagePlanEntry>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const auto& x, const auto& y) { return x.id == y.id && x.source_page == y.source_page; });
}

}  // namespace

void PdfApp::update(docstore::Document& document, velyn_ui::FrameContext& ctx) {
  last_now = ctx.now;
  redraw_requested = false;

  // 1. Replies.
  if (client) {
    for (auto& reply : client->poll()) {
      if (const auto* imported = std::get_if<source::PagesImported>(&reply)) {
        on_pages_imported(*this, document, ctx, *imported);
      } else {
        handle_reply(std::move(reply));
      }
    }
  }

  // 2. Record binding: nothing below runs against another record's document.
  if (record) {
    std::optional<velyn_ui::record::RecordId> bound;
    if (ctx.services) bound = velyn_ui::record::identity(ctx.services->records(), document);
    if (!bound || *bound != record->id) {
      waiting_for_record = true;
      redraw_requested = true;
      return;
    }
    waiting_for_record = false;
  }

  // 3. Picker answers: a chosen path starts an open, a save or an import.
  consume_picker_answers(*this);

  // 4. Demo content, considered once per viewer.
  if (demo_mode && !demo_considered && doc) {
    const DemoContentAction demo(doc->document);
    const velyn_actions::TypedAction* one[] = {&demo};
    dispatch_typed(document, ctx, one);
    select_demo_note = demo.seeded();
    demo_considered = true;
  }

  // 5. Page plan, then 6. review model: read again only when the shared
  // document changed; what the worker is told follows every frame.
  reread(document, ctx);
  if (document_loaded && doc->raster_document) send_plan_to_worker();

  // 7. Search catalogue, when what it shows changed.
  refresh_catalog(*this);
}

void PdfApp::reread(docstore::Document& document, velyn_ui::FrameContext& ctx) {
  if (&document == read_document && document.change_count() == read_change_count) return;
  // Writes the document needs once (seeding, page ids) go out as a change of
  // their own; a read finds whether there are any, so most frames write nothing.
  if (document_loaded && pdf_actions::needs_upkeep(document)) {
    const pdf_actions::UpkeepAction upkeep(doc->source_page_count);
    const velyn_actions::TypedAction* one[] = {&upkeep};
    dispatch_typed(document, ctx, one);
  }
  read_document = &document;
  read_change_count = document.change_count();
  if (document_loaded) derive_plan(document);
  read_review(document);
}

void PdfApp::read_review(const docstore::Document& document) {
  review = pdf_actions::read_review_model(document);
  review_heads = document.heads();
  ++review_generation;
  if (select_demo_note) {
    for (const auto& a : review.annotations) {
      if (std::holds_alternative<pdf_actions::AnnoGeom::Note>(a.geom.value)) {
        selected_annotations = {a.id};
        break;
      }
    }
    select_demo_note = false;
  }
  redraw_requested = true;
}

void PdfApp::derive_plan(const docstore::Document& document) {
  auto derived = pdf_actions::derive_page_plan(document);
  if (derived.empty()) return;
  if (!same_sequence(derived, plan)) plan_changed = true;

  if (!doc->raster_document) {
    // Text only: positions show the file's own pages; imported pages cannot be shown.
    const bool has_import = std::ranges::any_of(derived, [](const auto& e) { return e.imported.has_value(); });
    std::vector<std::uint64_t> sources;
    if (has_import) {
      for (std::uint64_t n = 1; n <= derived.size(); ++n) sources.push_back(n);
      status = "Imported pages are unavailable until a PDF renderer is available";
    } else {
      for (const auto& e : derived) {
        if (e.source_page > doc->source_page_count) {
          status = "Shared page plan needs source pages unavailable on this device";
          return;
        }
        sources.push_back(e.source_page);
      }
    }
    page_sources = std::move(sources);
  } else {
    worker_plan = to_worker_plan(derived);
    worker_content = content_states(worker_plan);
    worker_plan_unsent = true;
  }
  if (!same_sequence(derived, plan)) {
    redraw_requested = true;
    keep_reading_position(derived);
    ++plan_generation;
  }
  plan = std::move(derived);
  current_page = std::clamp<std::uint64_t>(current_page, 1, std::max<std::uint64_t>(page_count(), 1));
}

void PdfApp::send_plan_to_worker() {
  // Content this device lacks is looked for now and then; when it has
  // arrived the plan goes again, so the worker loads it.
  const bool awaiting = std::ranges::any_of(sent_content_states, [](const auto& s) { return !s.second; });
  if (awaiting && last_now - last_content_check >= kContentCheckSeconds) {
    last_content_check = last_now;
    worker_content = content_states(worker_plan);
    if (worker_content != sent_content_states) worker_plan_unsent = true;
  }
  if (!worker_plan_unsent || worker_plan.empty()) return;
  const bool send = pending_plan ? worker_plan != *pending_plan
                                 : (!applied_plan || worker_plan != *applied_plan ||
                                    worker_content != sent_content_states);
  if (!send) {
    worker_plan_unsent = false;
    return;
  }
  // Unsent stays set on failure: the next frame tries again.
  if (!client || !client->apply_plan(*doc->raster_document, worker_plan)) {
    status = "PDF page-plan worker is unavailable";
    return;
  }
  worker_plan_unsent = false;
  pending_plan = worker_plan;
  const bool missing = std::ranges::any_of(worker_content, [](const auto& c) { return !c.second; });
  if (missing) {
    status = std::string(kAwaitingContentText);
  } else if (status == kAwaitingContentText) {
    status.reset();
  }
  sent_content_states = worker_content;
  last_content_check = last_now;
  // The worker dropped the renders it had queued for the old sequence.
  rasters.forget_requests();
}

void PdfApp::keep_reading_position(const std::vector<pdf_actions::PagePlanEntry>& next) {
  if (current_page == 0 || current_page > plan.size()) return;
  const std::string& reading = plan[current_page - 1].id;
  const auto it = std::ranges::find_if(next, [&](const auto& e) { return e.id == reading; });
  // A deleted page leaves the view where it was: the page after it slides in.
  if (it == next.end()) return;
  const auto now = static_cast<std::uint64_t>(it - next.begin()) + 1;
  if (now == current_page) return;
  const double pitch = viewport.zoom() * (page_height + kPageGap);
  const double shift = (double(now) - double(current_page)) * pitch;
  // The content grows or shrinks with the plan only at the next layout, so
  // the scroll is set without clamping to today's content size.
  viewport_scroll_after_plan = velyn_ui::Point{viewport.scroll().x, viewport.scroll().y + shift};
  current_page = now;
}

// ---- viewport ----------------------------------------------------------------

std::uint64_t PdfApp::page_count() const {
  if (!document_loaded) return 0;
  return doc && !doc->raster_document ? page_sources.size() : plan.size();
}

std::optional<double> fit_page_zoom(double canvas_width, double canvas_height, double w, double h) {
  const double vw = canvas_width - 2 * kViewportMargin;
  const double vh = canvas_height - 2 * kViewportMargin;
  if (w <= 0 || h <= 0 || vw <= 0 || vh <= 0) return std::nullopt;
  return std::clamp(std::min(vw / w, vh / h), kMinZoom, kMaxZoom);
}

std::uint64_t current_page_at(double content_y, double page_height, std::uint64_t page_count) {
  const double pitch = page_height + kPageGap;
  if (!(pitch > 0)) return 1;
  const double rounded = std::round(content_y / pitch);
  if (!(rounded >= 0)) return 1;
  const double last = double(std::max<std::uint64_t>(page_count, 1));
  return static_cast<std::uint64_t>(std::min(rounded + 1, last));
}

void PdfApp::apply_fit() {
  switch (fit) {
    case FitMode::Page:
      if (auto z = fit_page_zoom(regions.canvas.width(), regions.canvas.height(), page_width, page_height)) {
        viewport.set_zoom(*z);
      }
      break;
    case FitMode::Width: viewport.set_zoom(viewport.fit_width_zoom()); break;
    case FitMode::Free: viewport.set_zoom(std::clamp(free_zoom, kMinZoom, kMaxZoom)); break;
  }
}

void PdfApp::set_fit(FitMode mode) {
  fit = mode;
  apply_fit();
  viewport.clamp_scroll();
  update_current_page();
  redraw_requested = true;
}

void PdfApp::zoom_by(double factor) {
  viewport.zoom_by(factor);
  fit = FitMode::Free;
  free_zoom = viewport.zoom();
  update_current_page();
  redraw_requested = true;
}

void PdfApp::zoom_at(double factor, velyn_ui::Point at) {
  viewport.zoom_at(factor, at);
  fit = FitMode::Free;
  free_zoom = viewport.zoom();
  update_current_page();
  redraw_requested = true;
}

void PdfApp::pan_by(double dx, double dy) {
  viewport.pan_by(dx, dy);
  update_current_page();
  redraw_requested = true;
}

void PdfApp::go_to_page(std::uint64_t page) {
  page = std::clamp<std::uint64_t>(page, 1, std::max<std::uint64_t>(page_count(), 1));
  viewport.set_scroll({viewport.scroll().x, viewport.zoom() * (page_height + kPageGap) * double(page - 1)});
  current_page = page;
  redraw_requested = true;
}

void PdfApp::update_current_page() {
  const auto& r = viewport.rect();
  current_page = current_page_at(viewport.screen_to_content({r.x0, r.y0}).y, page_height, page_count());
}

std::optional<PdfApp::PageHit> PdfApp::hit_test(velyn_ui::Point screen) const {
  const auto c = viewport.screen_to_content(screen);
  const double pitch = page_height + kPageGap;
  if (c.x < 0 || c.x > page_width || c.y < 0 || pitch <= 0) return std::nullopt;
  const auto p = static_cast<std::uint64_t>(std::floor(c.y / pitch));
  if (p >= page_count()) return std::nullopt;
  const double y = c.y - double(p) * pitch;
  if (y > page_height) return std::nullopt;
  return PageHit{p + 1, c.x, y};
}

velyn_ui::Rect PdfApp::page_rect(std::uint64_t index) const {
  const auto origin = viewport.content_point_to_screen({0, double(index) * (page_height + kPageGap)});
  const double z = viewport.zoom();
  return {origin.x, origin.y, origin.x + z * page_width, origin.y + z * page_height};
}

std::vector<std::uint64_t> PdfApp::visible_pages() const {
  std::vector<std::uint64_t> out;
  const auto& canvas = viewport.rect();
  const std::uint64_t n = page_count();
  const double pitch = (page_height + kPageGap) * viewport.zoom();
  // Only slots near the view can be visible; start just before the first one.
  std::uint64_t first = 0;
  if (pitch > 0) {
    const double top = viewport.screen_to_content({canvas.x0, canvas.y0}).y * viewport.zoom();
    first = static_cast<std::uint64_t>(std::max(0.0, std::floor(top / pitch) - 1));
  }
  for (std::uint64_t i = first; i < n; ++i) {
    const auto r = page_rect(i);
    if (r.y0 > canvas.y1) break;
    if (r.y1 < canvas.y0) continue;
    out.push_back(i);
  }
  return out;
}

void PdfApp::request_rasters(const std::vector<velyn_ui::widget::page_sidebar::Thumb>& thumbnails) {
  rasters.begin_frame();
  missing_visible_raster = false;
  render_retry_at.reset();
  const auto note_failure = [&](const RasterKey& key) {
    const double at = *rasters.retry_at(key);
    render_retry_at = render_retry_at ? std::min(*render_retry_at, at) : at;
  };
  if (!doc || !doc->raster_document) return;
  const auto document = *doc->raster_document;
  const std::uint32_t target = page_target_width(viewport.zoom() * page_width);
  const std::uint32_t bucket = width_bucket(target);
  bool main_request_used = false;
  // Positions name the same pages here and in the worker only once it has
  // the plan shown: until then the cached rasters of the entries are shown
  // in their new places, and nothing is asked for.
  const bool worker_in_step = !pending_plan;
  const auto ask = [&](std::uint64_t index, const RasterKey& key, std::uint32_t width) {
    if (!worker_in_step) return;
    rasters.mark_requested(key);
    if (!client || !client->render(document, index, width)) {
      rasters.forget_request(key);
      status = "PDF render worker is unavailable";
    }
  };
  for (const std::uint64_t i : visible_pages()) {
    if (i >= plan.size()) break;
    const RasterKey key{plan[i].id, bucket};
    if (rasters.lookup(key)) continue;
    // A recent failure is not waited for (no frame loop); it is retried by a
    // later frame once its retry time has come.
    if (rasters.failed(key, last_now)) {
      note_failure(key);
      continue;
    }
    missing_visible_raster = true;
    if (main_request_used || rasters.requested(key)) continue;
    main_request_used = true;
    ask(i, key, target);
  }
  const std::uint64_t n = page_count();
  int thumbs = 0;
  for (const auto& thumb : thumbnails) {
    const auto& r = thumb.rect;
    if (thumb.index >= n || thumb.index >= plan.size() || r.y1 < regions.rail.y0 || r.y0 > regions.rail.y1) continue;
    const std::uint32_t t = thumbnail_target_width(r.width());
    const RasterKey key{plan[thumb.index].id, width_bucket(t)};
    if (rasters.lookup(key)) continue;
    if (rasters.failed(key, last_now)) {
      note_failure(key);
      continue;
    }
    // A thumbnail still to come keeps the frame busy, as a page does.
    missing_visible_raster = true;
    if (rasters.requested(key)) continue;
    if (thumbs == kThumbnailRequestsPerFrame) continue;
    ++thumbs;
    ask(thumb.index, key, t);
  }
}

bool PdfApp::needs_frame() const {
  // A put-off close watches its deadline frame by frame.
  return redraw_requested || page_bubble.animating(last_now) || tooltip.animating() || close_deadline.has_value();
}

std::optional<double> PdfApp::frame_due_in() const {
  std::optional<double> due;
  if (render_retry_at) due = std::max(*render_retry_at - last_now, 0.0);
  // Content that has not reached this device is looked for again now and then:
  // when it lands, the next frame sends the plan and the page is drawn.
  if (std::ranges::any_of(sent_content_states, [](const auto& s) { return !s.second; })) {
    due = due ? std::min(*due, kContentCheckSeconds) : kContentCheckSeconds;
  }
  return due;
}

bool PdfApp::has_unexported_changes() const {
  if (!document_loaded) return false;
  const bool reviewed =
      plan_changed || !review.annotations.empty() || !review.comments.empty() || !review.signatures.empty();
  return reviewed && (!files.exported_heads || files.exported_heads != review_heads);
}

const velyn_ui::widget::TextInput* PdfApp::focused_field() const {
  if (panels.sidebar_open && sidebar.editor && sidebar.editor->input.focused()) return &sidebar.editor->input;
  if (panels.search_open && search.field.focused()) return &search.field;
  if (page_jump.field && page_jump.field->focused()) return &*page_jump.field;
  return nullptr;
}

bool PdfApp::text_input_focused() const { return focused_field() != nullptr; }

std::optional<velyn_ui::Rect> PdfApp::ime_cursor_rect() const {
  const auto* field = focused_field();
  return field ? field->ime_cursor_rect() : std::nullopt;
}

bool PdfApp::close_ready() const {
  return close_deadline && (!files.save_under_way() || last_now >= *close_deadline);
}

bool PdfApp::busy() const { return pending_open.has_value() || waiting_for_record || missing_visible_raster; }

}  // namespace pdf_app
