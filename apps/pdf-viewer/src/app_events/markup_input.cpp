#include "app_events/markup_input.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "actions/action_ids.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "app/ui/review_sidebar.h"
#include "app_events/event_router.h"
#include "source/source_worker.h"
#include "velyn_ui/widget/clipboard.h"

namespace pdf_app {

namespace source = pdf::source;
namespace pa = pdf_actions;
using pa::PdfViewerAction;
using velyn_ui::Point;

void select_annotation(PdfApp& app, const std::string& id) {
  app.selected_annotations = {id};
  app.input.selected_signature.reset();
}

void clear_canvas_selection(PdfApp& app) {
  app.selected_annotations.clear();
  app.input.selected_signature.reset();
}

// The comment thread of an annotation, if any.
const pa::Comment* thread_of(const PdfApp& app, const std::string& anno_id) {
  for (const auto& c : app.review.comments)
    if (c.anno && *c.anno == anno_id) return &c;
  return nullptr;
}

void reveal_annotation(PdfApp& app, const std::string& anno_id) {
  if (const auto* c = thread_of(app, anno_id)) reveal_in_sidebar(app, SidebarTab::Comments, c->id);
}

void create_note(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, std::uint64_t page,
                 Point at) {
  PdfViewerAction::CreateNote note;
  note.anno_id = pa::new_uuid();
  note.comment_id = pa::new_uuid();
  note.page = page;
  note.x = at.x;
  note.y = at.y;
  note.color = std::string(pa::swatch_name(app.swatch));
  note.author = app.local_author;
  note.created = app.input.notes.next();
  const std::string anno = note.anno_id, comment = note.comment_id;
  if (!execute(app, document, ctx, note)) return;
  select_annotation(app, anno);
  reveal_in_sidebar(app, SidebarTab::Comments, comment);
  open_comment_editor(app, EditorKind::CommentBody, comment);
}

void add_highlights(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, std::uint64_t page,
                    const std::vector<PageRect>& rects, pa::Swatch swatch) {
  // One annotation per line, all of them one gesture: one change.
  std::vector<PdfViewerAction> adds;
  for (const auto& r : rects) {
    PdfViewerAction::AddAnnotation add;
    add.id = pa::new_uuid();
    add.page = page;
    add.geom = pa::AnnoGeom::Highlight{r.x, r.y, r.w, r.h};
    add.color = std::string(pa::swatch_name(swatch));
    add.author = app.local_author;
    adds.emplace_back(std::move(add));
  }
  if (adds.empty()) return;
  const std::string last = std::get<PdfViewerAction::AddAnnotation>(adds.back().value).id;
  if (execute(app, document, ctx, adds)) select_annotation(app, last);
}

const source::TextLayer* layer_of(const PdfApp& app, std::uint64_t page) {
  const auto it = app.page_texts.find(page);
  return it == app.page_texts.end() ? nullptr : it->second.get();
}

void copy_region(PdfApp& app) {
  auto& r = app.input.region;
  const double x0 = std::min(r.first.x, r.moving.x), x1 = std::max(r.first.x, r.moving.x);
  const double y0 = std::min(r.first.y, r.moving.y), y1 = std::max(r.first.y, r.moving.y);
  if (x1 - x0 < kMinRegion || y1 - y0 < kMinRegion) return;
  if (r.page == 0 || r.page > app.plan.size()) return;
  const auto target = static_cast<std::uint32_t>(std::lround(app.page_width * 2));
  const std::uint64_t index = r.page - 1;
  const RasterKey key{app.plan[index].id, width_bucket(target)};
  const velyn_ui::Image* image = app.rasters.lookup(key);
  if (!image || image->empty()) {
    // Positions agree with the worker's only while no plan is on its way.
    if (!app.rasters.requested(key) && !app.pending_plan && app.client && app.doc && app.doc->raster_document) {
      app.rasters.mark_requested(key);
      if (!app.client->render(*app.doc->raster_document, index, target)) app.rasters.forget_request(key);
    }
    app.status = "Rendering selected region…";
    return;
  }
  const double k = double(image->width()) / app.page_width;
  const auto clampi = [](double v, std::uint32_t hi) {
    return static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, long(hi)));
  };
  const std::uint32_t px0 = clampi(x0 * k, image->width()), px1 = clampi(x1 * k, image->width());
  const std::uint32_t py0 = clampi(y0 * k, image->height()), py1 = clampi(y1 * k, image->height());
  const std::uint32_t w = px1 - px0, h = py1 - py0;
  if (w == 0 || h == 0) return;
  std::vector<std::uint8_t> rgba(std::size_t(w) * h * 4);
  const auto argb = image->argb();
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint32_t v = argb[std::size_t(py0 + y) * image->width() + px0 + x];
      const std::uint32_t a = v >> 24;
      const auto un = [a](std::uint32_t c) { return std::uint8_t(a ? std::min<std::uint32_t>(255, c * 255 / a) : 0); };
      auto* o = &rgba[(std::size_t(y) * w + x) * 4];
      o[0] = un((v >> 16) & 255);
      o[1] = un((v >> 8) & 255);
      o[2] = un(v & 255);
      o[3] = std::uint8_t(a);
    }
  }
  if (velyn_ui::text_selection::clipboard_copy_image(w, h, rgba)) {
    app.status = fmt::format("Copied a {}×{} image region", w, h);
  } else {
    app.status = "Selected a region (clipboard unavailable)";
  }
}

void commit_markup(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx) {
  auto drag = std::move(*app.input.markup);
  app.input.markup.reset();
  if (drag.kind == Tool::Highlight) {
    const auto rects = highlight_rects(layer_of(app, drag.page), drag.first, drag.moving);
    add_highlights(app, document, ctx, drag.page, rects, app.swatch);
  } else if (drag.points.size() >= 2) {
    PdfViewerAction::AddAnnotation add;
    add.id = pa::new_uuid();
    add.page = drag.page;
    add.geom = pa::AnnoGeom::Ink{std::move(drag.points)};
    add.color = std::string(pa::swatch_name(app.swatch));
    add.author = app.local_author;
    execute(app, document, ctx, add);
  }
}

}  // namespace pdf_app
