#include "app/save_flow.h"

#include <fmt/format.h>

#include <memory>
#include <string_view>
#include <utility>

#include "app/file_operations.h"
#include "app/pdf_app.h"
#include "source/review_snapshot.h"
#include "source/source_worker.h"
#include "velyn/utf8.h"

namespace pdf_app {

namespace source = pdf::source;

namespace {

constexpr std::string_view kSaveWorkerUnavailable = "the PDF save worker is unavailable";

// Paths are bytes on Linux; names shown or compared as text must be UTF-8.
using velyn::is_valid_utf8;

bool ascii_iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool answers(const std::optional<source::SaveRequest>& pending, std::uint64_t save_id) {
  return pending && pending->save_id == save_id;
}

// Ends the pending save with a failure the user sees and the host collects.
void fail_save(PdfApp& app, const std::string& message) {
  app.files.pending_save.reset();
  app.status = fmt::format("Save failed: {}", message);
  app.redraw_requested = true;
  complete_host_operation(app, false, message);
}

}  // namespace

std::filesystem::path ensure_pdf_extension(const std::filesystem::path& path) {
  const std::string ext = path.extension().string();  // ".pdf", or empty when there is none
  if (ext.size() > 1 && is_valid_utf8(ext) && ascii_iequals(std::string_view(ext).substr(1), "pdf")) return path;
  std::filesystem::path out = path;
  out += ".pdf";
  return out;
}

std::string suggested_save_name(const std::optional<std::string>& document_path) {
  std::string stem;
  if (document_path) stem = std::filesystem::path(*document_path).stem().string();
  if (stem.empty() || !is_valid_utf8(stem)) stem = "document";
  return fmt::format("{}-annotated.pdf", stem);
}

std::string saved_file_label(const std::filesystem::path& destination) {
  const std::string name = destination.filename().string();
  return name.empty() || !is_valid_utf8(name) ? std::string("the file") : name;
}

bool start_save(PdfApp& app, const std::filesystem::path& destination) {
  const auto refuse = [&app](std::string text) {
    app.status = std::move(text);
    app.redraw_requested = true;
    return false;
  };
  // Until the viewer reads its own record, the review lists and the plan it
  // holds are not the document's: a save now would drop the markup.
  if (app.pending_plan || app.waiting_for_record) return refuse("Waiting for the shared page plan before saving");
  if (!app.doc || !app.doc->raster_document) return refuse("Saving annotations needs the PDF worker");
  auto save_id = source::allocate_request_id();
  if (!save_id) return refuse(fmt::format("Save failed: {}", save_id.error().message()));

  auto review = std::make_shared<source::ReviewSnapshot>();
  review->annotations = app.review.annotations;
  review->comments = app.review.comments;
  review->signatures = app.review.signatures;
  source::SaveRequest request{std::move(review), destination, *save_id, *app.doc->raster_document};

  if (!app.client) return refuse(fmt::format("Save failed: {}", kSaveWorkerUnavailable));
  if (auto sent = app.client->prepare_save(request); !sent) {
    return refuse(fmt::format("Save failed: {}", sent.error().message()));
  }
  app.files.pending_save = std::move(request);
  app.files.pending_save_heads = app.review_heads;
  app.status = "Saving annotated PDF…";
  app.redraw_requested = true;
  return true;
}

void cancel_save(PdfApp& app) {
  if (!app.files.pending_save) return;
  if (app.client) (void)app.client->cancel_save(*app.files.pending_save);  // a stopped worker keeps nothing
  app.files.pending_save.reset();
  app.redraw_requested = true;
}

void on_save_prepared(PdfApp& app, const source::SavePrepared& reply) {
  const auto& pending = app.files.pending_save;
  // The pending request names its document: a save started before another
  // document was opened still publishes what the user asked to save.
  if (!answers(pending, reply.save_id) || pending->document != reply.document ||
      pending->destination != reply.destination) {
    return;
  }
  if (!app.client) {
    fail_save(app, std::string(kSaveWorkerUnavailable));
    return;
  }
  if (auto sent = app.client->commit_save(*pending, reply.private_file); !sent) {
    fail_save(app, sent.error().message());
  }
}

void on_save_committed(PdfApp& app, const source::SaveCommitted& reply) {
  const auto& pending = app.files.pending_save;
  if (!answers(pending, reply.save_id) || pending->destination != reply.destination) return;
  const std::string label = saved_file_label(pending->destination);
  app.files.pending_save.reset();
  app.files.exported_heads = std::exchange(app.files.pending_save_heads, std::nullopt);
  app.status = fmt::format("Saved annotated PDF to {}", label);
  app.redraw_requested = true;
  complete_host_operation(app, true, std::nullopt);
}

void on_save_failed(PdfApp& app, const source::SaveFailed& reply) {
  if (!answers(app.files.pending_save, reply.save_id)) return;
  fail_save(app, reply.message);
}

}  // namespace pdf_app
