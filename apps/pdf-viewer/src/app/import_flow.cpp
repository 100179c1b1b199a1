#include "app/import_flow.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>

#include "actions/action_ids.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "source/source_worker.h"
#include "velyn_actions/executor.h"

namespace pdf_app {

namespace source = pdf::source;

namespace {

std::uint32_t to_milli(double points) {
  const double milli = std::round(points * 1000.0);  // halves away from zero
  if (!(milli > 0)) return 0;
  if (milli >= double(std::numeric_limits<std::uint32_t>::max())) return std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(milli);
}

void set_status(PdfApp& app, std::string text) {
  app.status = std::move(text);
  app.redraw_requested = true;
}

}  // namespace

bool start_import(PdfApp& app, const std::string& path) {
  if (app.files.pending_import) {
    set_status(app, "Another page import is already in progress");
    return false;
  }
  if (!app.doc || !app.doc->raster_document) {
    set_status(app, "Importing pages needs the PDF worker");
    return false;
  }
  const std::uint64_t current = app.page_count() == 0 ? 0 : app.current_page;
  const std::size_t index = current == 0 ? 0 : current - 1;
  std::optional<std::string> anchor;
  if (index < app.plan.size()) anchor = app.plan[index].id;

  if (!app.client) {
    set_status(app, "Import failed: the PDF import worker is unavailable");
    return false;
  }
  auto submitted = app.client->import_file(*app.doc->raster_document, path, current, anchor);
  if (!submitted) {
    set_status(app, fmt::format("Import failed: {}", submitted.error().message()));
    return false;
  }
  app.files.pending_import = PendingImport{*submitted, path, *app.doc->raster_document, current, std::move(anchor)};
  set_status(app, "Preparing pages for shared import…");
  return true;
}

std::vector<pdf_actions::PagePlanEntry> imported_entries(const source::PagesImported& reply) {
  std::vector<pdf_actions::PagePlanEntry> entries;
  entries.reserve(reply.page_sizes.size());
  std::uint64_t page = 1;
  for (const auto& size : reply.page_sizes) {
    entries.push_back({pdf_actions::new_import_entry_id(), page,
                       pdf_actions::ImportedPage{reply.hash, reply.kind, page, to_milli(size.width),
                                                 to_milli(size.height)}});
    ++page;
  }
  return entries;
}

void on_pages_imported(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx,
                       const source::PagesImported& reply) {
  const auto& pending = app.files.pending_import;
  if (!pending || pending->request_id != reply.request_id) return;
  if (!app.doc || !app.doc->raster_document || *app.doc->raster_document != pending->document) {
    app.files.pending_import.reset();  // the document it was meant for is gone
    return;
  }
  const PendingImport done = *pending;
  app.files.pending_import.reset();
  pdf_actions::PdfViewerAction action{pdf_actions::PdfViewerAction::ImportPages{done.anchor_id, imported_entries(reply)}};
  // The executor reads the plan back from the shared document at once.
  if (!execute(app, document, ctx, action)) {
    set_status(app, fmt::format("Import failed: {}", velyn_actions::kDispatchFailedMessage));
    return;
  }
  app.go_to_page(done.current_page + 1);
  set_status(app, "Imported pages are shared with collaborators; Save exports a flattened PDF");
}

void on_import_failed(PdfApp& app, const source::ImportFailed& reply) {
  const auto& pending = app.files.pending_import;
  if (!pending || pending->request_id != reply.request_id) return;
  app.files.pending_import.reset();
  set_status(app, fmt::format("Import failed: {}", reply.message));
}

}  // namespace pdf_app
