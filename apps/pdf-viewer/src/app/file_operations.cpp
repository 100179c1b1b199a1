#include "app/file_operations.h"

#include <fmt/format.h>

#include <utility>

#include "actions/action_json.h"
#include "actions/operation.h"
#include "app/ui/empty_screen.h"
#include "app/import_flow.h"
#include "app/executor.h"
#include "app/pdf_app.h"
#include "app/save_flow.h"
#include "app/ui/toolbar.h"
#include "source/source_worker.h"

namespace pdf_app {

namespace portal = velyn_ui::portal;
using velyn_ui::Handled;

namespace {

constexpr std::string_view kOpenInProgress = "another PDF open is already in progress";
constexpr std::string_view kSaveInProgress = "another PDF save is already in progress";
constexpr std::string_view kSelectionCancelled = "file selection cancelled";
constexpr std::string_view kOperationCancelled = "file operation cancelled";

portal::FileFilter pdf_filter() { return std::move(portal::FileFilter("PDF documents").mimetype("application/pdf")); }

bool has_pdfium_pages(const PdfApp& app) { return app.doc && app.doc->raster_document.has_value(); }

StartResult failed(std::string_view message) { return {StartResult::Kind::Failed, std::string(message)}; }

// What an answered picker request holds; nothing while it is still open. A
// request the portal dropped without answering is forgotten here and reads
// as dropped.
enum class Poll { Waiting, Answered, Dropped };
Poll take_answer(std::optional<portal::PickReceiver>& receiver, portal::PickAnswer& answer) {
  if (!receiver) return Poll::Waiting;
  switch (receiver->state()) {
    case portal::PickReceiver::State::Pending: return Poll::Waiting;
    case portal::PickReceiver::State::Dropped: receiver.reset(); return Poll::Dropped;
    case portal::PickReceiver::State::Ready: break;
  }
  auto taken = receiver->try_take();
  receiver.reset();
  if (!taken) return Poll::Dropped;
  answer = std::move(*taken);
  return Poll::Answered;
}

void on_open_answer(PdfApp& app, const portal::PickAnswer& answer) {
  switch (answer.kind) {
    case portal::PickAnswer::Kind::Chosen:
      app.start_open(answer.path.string());
      if (!app.pending_open) complete_host_operation(app, app.document_loaded, app.open_error);
      break;
    case portal::PickAnswer::Kind::Cancelled: complete_host_operation(app, false, std::nullopt); break;
    case portal::PickAnswer::Kind::Failed:
      // With a document shown the failure changes nothing on screen.
      if (!app.document_loaded) app.open_error = fmt::format("Couldn't open the file chooser: {}", answer.error);
      app.redraw_requested = true;
      complete_host_operation(app, false, answer.error);
      break;
  }
}

void on_save_answer(PdfApp& app, const portal::PickAnswer& answer) {
  switch (answer.kind) {
    case portal::PickAnswer::Kind::Chosen: {
      const bool started = start_save(app, ensure_pdf_extension(answer.path));
      if (!app.files.pending_save) {
        complete_host_operation(app, started,
                                started ? std::nullopt : std::optional<std::string>("PDF could not be saved"));
      }
      break;
    }
    case portal::PickAnswer::Kind::Cancelled: complete_host_operation(app, false, std::nullopt); break;
    case portal::PickAnswer::Kind::Failed:
      app.status = fmt::format("Couldn't open the save dialog: {}", answer.error);
      app.redraw_requested = true;
      complete_host_operation(app, false, answer.error);
      break;
  }
}

void on_import_answer(PdfApp& app, const portal::PickAnswer& answer) {
  switch (answer.kind) {
    case portal::PickAnswer::Kind::Chosen: start_import(app, answer.path.string()); break;
    case portal::PickAnswer::Kind::Cancelled: break;
    case portal::PickAnswer::Kind::Failed:
      app.status = fmt::format("Couldn't open the import dialog: {}", answer.error);
      app.redraw_requested = true;
      break;
  }
}

}  // namespace

// ---- picker requests ---------------------------------------------------------

portal::PickRequest open_pick_request() {
  auto request = portal::PickRequest::open("Open a PDF", "Open");
  request.thread_name("pdf-portal-open").filter(pdf_filter()).all_files();
  return request;
}

portal::PickRequest save_pick_request(std::string suggested_name) {
  auto request = portal::PickRequest::save("Save annotated PDF", "Save", std::move(suggested_name));
  request.thread_name("pdf-portal-save").filter(pdf_filter());
  return request;
}

portal::PickRequest import_pick_request() {
  auto request = portal::PickRequest::open("Import pages from a PDF or image", "Import");
  request.thread_name("pdf-portal-import")
      .filter(std::move(portal::FileFilter("PDF or image").mimetype("application/pdf").mimetype("image/png").mimetype(
          "image/jpeg")))
      .all_files();
  return request;
}

void request_open_picker(PdfApp& app) {
  app.redraw_requested = true;
  if (app.files.open_picker || app.pending_open) return;
  app.files.open_picker = open_pick_request().send();
}

void request_save_picker(PdfApp& app) {
  app.redraw_requested = true;
  if (!has_pdfium_pages(app)) {
    app.status = "Saving annotations needs the pdfium backend";
    return;
  }
  if (app.files.save_picker || app.files.pending_save) return;
  app.files.save_picker = save_pick_request(suggested_save_name(app.doc->path)).send();
}

void request_import_picker(PdfApp& app) {
  app.redraw_requested = true;
  if (!has_pdfium_pages(app)) {
    app.status = "Importing pages needs the pdfium backend";
    return;
  }
  if (app.files.import_picker || app.files.pending_import) return;
  app.files.import_picker = import_pick_request().send();
}

void consume_picker_answers(PdfApp& app) {
  portal::PickAnswer answer;
  // A dropped open or save request would otherwise leave a host operation
  // waiting forever: it ends as a cancelled choice.
  switch (take_answer(app.files.open_picker, answer)) {
    case Poll::Answered: on_open_answer(app, answer); break;
    case Poll::Dropped:
      if (app.files.host_operation && app.files.host_operation->kind == HostOperationKind::Open) {
        complete_host_operation(app, false, std::nullopt);
      }
      break;
    case Poll::Waiting: break;
  }
  switch (take_answer(app.files.save_picker, answer)) {
    case Poll::Answered: on_save_answer(app, answer); break;
    case Poll::Dropped:
      if (app.files.host_operation && app.files.host_operation->kind == HostOperationKind::Save) {
        complete_host_operation(app, false, std::nullopt);
      }
      break;
    case Poll::Waiting: break;
  }
  if (take_answer(app.files.import_picker, answer) == Poll::Answered) on_import_answer(app, answer);
}

Handled handle_file_event(PdfApp& app, const velyn_ui::Event& event) {
  if (const auto* key = std::get_if<velyn_ui::KeyPress>(&event)) {
    if (key->key != velyn_ui::Key::Character || !(key->modifiers & velyn_ui::kModCtrl)) return Handled::No;
    if (key->character == U'o') {
      request_open_picker(app);
      return Handled::Yes;
    }
    if (key->character == U's') {
      request_save_picker(app);
      return Handled::Yes;
    }
    return Handled::No;
  }
  const auto* press = std::get_if<velyn_ui::PointerPress>(&event);
  if (!press || press->button != velyn_ui::PointerButton::Primary) return Handled::No;
  const ToolbarLayout bar = compute_toolbar_layout(app.regions.toolbar, app.scale, app.tool);
  if (bar.open.contains(press->at)) {
    if (!app.pending_open) request_open_picker(app);  // ignored while a document opens
    return Handled::Yes;
  }
  if (bar.save.contains(press->at)) {
    if (app.document_loaded) request_save_picker(app);
    return Handled::Yes;
  }
  if (!app.document_loaded && !app.pending_open && open_button_rect(app.regions.canvas).contains(press->at)) {
    request_open_picker(app);
    return Handled::Yes;
  }
  return Handled::No;
}

// ---- operation host ----------------------------------------------------------

ApplyResult apply_operation(PdfApp& app, std::uint8_t mode, std::string_view action_kind, std::string_view payload) {
  if (mode == 0 || action_kind != pdf_actions::kOperationKind) return {};
  auto operation = pdf_actions::decode_operation(payload);
  if (!operation) return {ApplyResult::Kind::Failed, operation.error().message};
  if (std::holds_alternative<pdf_actions::PdfOperation::Open>(operation->value) ||
      std::holds_alternative<pdf_actions::PdfOperation::SaveAs>(operation->value)) {
    return {ApplyResult::Kind::Failed, "file operations require the lifecycle-capable operation host"};
  }
  execute(app, Command{*operation});
  return {ApplyResult::Kind::Handled, {}};
}

StartResult start_operation(PdfApp& app, OperationId id, std::uint8_t mode, std::string_view action_kind,
                            std::string_view payload) {
  if (action_kind != pdf_actions::kOperationKind) return {};
  auto operation = pdf_actions::decode_operation(payload);
  if (!operation) return failed(operation.error().message);
  auto& files = app.files;

  if (const auto* open = std::get_if<pdf_actions::PdfOperation::Open>(&operation->value)) {
    if (files.host_operation || app.pending_open) return failed(kOpenInProgress);
    files.host_operation = PendingHostOperation{id, HostOperationKind::Open};
    if (open->path) {
      app.start_open(*open->path);
      if (app.pending_open) return {StartResult::Kind::Pending, {}};
      // An open never finishes at once: this is a failure to start, even with
      // an earlier document still on screen (the failure went to its status).
      files.host_operation.reset();
      const auto& shown = app.document_loaded ? app.status : app.open_error;
      return failed(shown ? *shown : "PDF could not be opened");
    }
    request_open_picker(app);
    if (files.open_picker) return {StartResult::Kind::Pending, {}};
    files.host_operation.reset();
    return failed("PDF picker could not be started");
  }

  if (const auto* save = std::get_if<pdf_actions::PdfOperation::SaveAs>(&operation->value)) {
    if (files.host_operation || files.pending_save) return failed(kSaveInProgress);
    files.host_operation = PendingHostOperation{id, HostOperationKind::Save};
    if (save->path) {
      if (!start_save(app, ensure_pdf_extension(*save->path))) {
        files.host_operation.reset();
        return failed("PDF could not be saved");
      }
      if (files.pending_save) return {StartResult::Kind::Pending, {}};
      files.host_operation.reset();
      return {StartResult::Kind::Completed, {}};
    }
    request_save_picker(app);
    if (files.save_picker) return {StartResult::Kind::Pending, {}};
    files.host_operation.reset();
    return failed("PDF save picker could not be started");
  }

  const ApplyResult applied = apply_operation(app, mode, action_kind, payload);
  switch (applied.kind) {
    case ApplyResult::Kind::Handled: return {StartResult::Kind::Completed, {}};
    case ApplyResult::Kind::NotHandled: return {};
    case ApplyResult::Kind::Failed: return failed(applied.message);
  }
  return {};
}

std::optional<CollectResult> poll_operation(PdfApp& app, OperationId id, bool cancel) {
  auto& files = app.files;
  if (cancel && files.host_operation && files.host_operation->id == id) {
    const HostOperationKind kind = files.host_operation->kind;
    files.host_operation.reset();
    // Only the work this operation started is withdrawn: an open cancelled by
    // the host leaves an interactive save alone, and the other way round.
    if (kind == HostOperationKind::Open) {
      files.open_picker.reset();  // the dialog closes; its answer is ignored
      if (app.pending_open) {
        if (app.client) (void)app.client->release(app.pending_open->request_id);
        app.pending_open.reset();
        if (app.status == "Opening PDF…") app.status.reset();
      }
    } else {
      files.save_picker.reset();
      cancel_save(app);
      if (app.status == "Saving annotated PDF…") app.status.reset();
    }
    app.redraw_requested = true;
    return CollectResult{CollectResult::Kind::Cancelled, {}, std::string(kOperationCancelled)};
  }
  if (files.host_result && files.host_result->id == id) {
    return std::exchange(files.host_result, std::nullopt)->result;
  }
  return std::nullopt;
}

void complete_host_operation(PdfApp& app, bool success, std::optional<std::string> message) {
  auto& files = app.files;
  if (!files.host_operation) return;
  CollectResult result;
  if (success) {
    result.kind = CollectResult::Kind::Completed;
  } else if (message) {
    result = {CollectResult::Kind::Failed, std::string(kPortalFailedCode), std::move(*message)};
  } else {
    result = {CollectResult::Kind::Cancelled, {}, std::string(kSelectionCancelled)};
  }
  files.host_result = HostResult{files.host_operation->id, std::move(result)};
  files.host_operation.reset();
}

}  // namespace pdf_app
