#include "app/executor.h"
#include "app/pdf_app.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "actions/page_plan.h"
#include "app/block_text.h"
#include "app/sample_document.h"
#include "actions/review_store.h"
#include "app/file_operations.h"
#include "app/import_flow.h"
#include "app/launch.h"
#include "app/save_flow.h"
#include "app/search_run.h"
#include "actions/viewer_dispatch.h"
#include "source/source_worker.h"
#include "actions/rail_outcomes.h"
#include "velyn_actions/log.h"
#include "velyn_ui/action_host.h"
#include "velyn_ui/frame_services.h"
#include "velyn_ui/records/record_set.h"
#include "velyn_ui/wake.h"

namespace pdf_app {

namespace source = pdf::source;

std::string local_author_from_environment() {
  const char* id = std::getenv("TAVEN_APP_ID");
  return id && *id ? std::string(id) : std::string("You");
}

velyn_ui::record::Record record_for_path(const std::string& path) {
  std::filesystem::path p(path);
  if (p.is_relative()) {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    if (!ec) p = cwd / p;
  }
  const std::string normalised = velyn_ui::record::normalise(p.string());
  return {velyn_ui::record::RecordId::derived(kRecordNamespace, normalised), std::string(kRecordKind),
          {{std::string(kRecordRelation), normalised}}};
}

namespace {
std::shared_ptr<source::SourceClient> open_process_client() {
  auto client = source::SourceClient::open();
  return client ? *client : nullptr;
}
}  // namespace

PdfApp::PdfApp() : PdfApp(open_process_client()) {}

PdfApp::PdfApp(std::shared_ptr<source::SourceClient> worker_client)
    : client(std::move(worker_client)), local_author(local_author_from_environment()) {
  viewport.set_margin(kViewportMargin);
  // Replies wake the window's main loop: a finished save or import shows at
  // once, not when the pointer next moves.
  if (client) client->set_reply_notifier(velyn_ui::wake::request_frame);
}

PdfApp::~PdfApp() = default;

velyn_ui::WidgetNames PdfApp::names() const { return {"PdfApp", "pdf_app", "pdf_viewer.operation"}; }

void PdfApp::start_open(const std::string& path) {
  if (!client) {
    record_open_failure(path, "the PDF worker could not be started");
    return;
  }
  auto submitted = client->open_document(path);
  if (!submitted) {
    record_open_failure(path, submitted.error().message());
    return;
  }
  pending_open = PendingOpen{*submitted, path, std::filesystem::path(path).filename().string()};
  status = "Opening PDF…";
  redraw_requested = true;
}

void PdfApp::open_sample() {
  OpenDocumentState state;
  state.document = sample_document();
  state.file_name = std::string(kSampleFileName);
  state.source_page_count = state.document.pages.size();
  const double width = state.document.page_width, height = state.document.page_height;
  install_document(std::move(state), width, height);
  demo_mode = true;
}

void PdfApp::record_open_failure(const std::string& path, const std::string& error) {
  const std::string message = fmt::format("Could not open {}: {}", path, error);
  if (document_loaded) {
    status = message;
  } else {
    open_error = message;
  }
  redraw_requested = true;
}

// ---- actions and text --------------------------------------------------------

namespace {

velyn_ui::action_host::ActionHost* action_host_of(velyn_ui::FrameContext& ctx) {
  velyn_ui::action_host::ActionHost* host = ctx.services ? ctx.services->actions() : nullptr;
  if (!host) {
    velyn_actions::log::write(velyn_actions::log::Level::Warning, velyn_actions::kDispatchFailedMessage,
                              "no action host");
  }
  return host;
}

}  // namespace

bool PdfApp::dispatch_actions(docstore::Document& document, velyn_ui::FrameContext& ctx,
                              std::span<const pdf_actions::PdfViewerAction> actions) {
  auto* host = action_host_of(ctx);
  if (!host) return false;
  auto outcome = pdf_actions::dispatch_viewer_actions(document, host->transport(), kApplicationId, actions);
  if (!outcome) return false;  // the executor logged it; the document is unchanged
  last_outcome = std::move(*outcome);
  // Show the change in this frame: the plan and the markup are read back now.
  reread(document, ctx);
  redraw_requested = true;
  return true;
}

bool PdfApp::dispatch_typed(docstore::Document& document, velyn_ui::FrameContext& ctx,
                            std::span<const velyn_actions::TypedAction* const> actions) {
  auto* host = action_host_of(ctx);
  if (!host) return false;
  const velyn_actions::ActionContext context{std::string(kApplicationId), std::string(kAppTitle), ""};
  auto outcome = velyn_actions::executor::dispatch_typed(document, pdf_actions::kViewerActionKind, actions,
                                                         host->transport(), context);
  if (!outcome) return false;
  last_outcome = std::move(*outcome);
  return true;
}

void PdfApp::apply_rail_outcomes(docstore::Document& document, velyn_ui::FrameContext& ctx) {
  auto outcomes = rail.take_outcomes();
  if (outcomes.empty()) return;
  const auto displayed = pdf_actions::DisplayedPlan::from(plan);
  using Kind = velyn_ui::widget::page_sidebar::OutcomeKind;
  for (const auto& o : outcomes) {
    pdf_actions::RailOutcome outcome;
    outcome.position = o.index;
    outcome.drop_index = o.drop_index;
    switch (o.kind) {
      case Kind::Select: outcome.kind = pdf_actions::RailOutcomeKind::Select; break;
      case Kind::Move: outcome.kind = pdf_actions::RailOutcomeKind::Move; break;
      case Kind::Duplicate: outcome.kind = pdf_actions::RailOutcomeKind::Duplicate; break;
      case Kind::Delete: outcome.kind = pdf_actions::RailOutcomeKind::Delete; break;
      case Kind::AddPages: outcome.kind = pdf_actions::RailOutcomeKind::AddPages; break;
    }
    const auto effect = pdf_actions::rail_effect(displayed, outcome);
    if (const auto* go = std::get_if<pdf_actions::RailGoToPage>(&effect)) {
      execute(*this, pdf_actions::PdfOperation::GoToPage{go->page});
    } else if (const auto* action = std::get_if<pdf_actions::PdfViewerAction>(&effect)) {
      execute(*this, document, ctx, *action);
    } else if (std::holds_alternative<pdf_actions::RailRequestImport>(effect)) {
      request_import_picker(*this);
    }
  }
  redraw_requested = true;
}

void PdfApp::request_text(std::uint64_t page_index) {
  if (!doc || !doc->raster_document) return;
  if (page_texts.contains(page_index + 1) || text_requested.contains(page_index)) return;
  text_requested.insert(page_index);
  auto submitted = client ? client->read_text(*doc->raster_document, page_index)
                          : std::expected<void, source::SourceWorkerError>(std::unexpected(source::SourceWorkerError{}));
  text_lane_full = false;
  if (!submitted) {
    // Not marked: the next trigger asks again. A full lane is no fault of the
    // worker; the page is asked for again as layers arrive.
    text_requested.erase(page_index);
    if (client && submitted.error().kind == source::SourceWorkerError::Kind::QueueFull) {
      text_lane_full = true;
    } else {
      status = "PDF text worker is unavailable";
    }
  }
}

void PdfApp::refresh_text_layers(velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme) {
  if (!doc) return;
  if (!text_needed()) {
    page_texts.clear();
    return;
  }
  const std::vector<std::uint64_t> visible = visible_pages();
  if (!selecting_text && !search_needs_text()) {
    std::erase_if(page_texts, [&visible](const auto& entry) {
      return std::find(visible.begin(), visible.end(), entry.first - 1) == visible.end();
    });
  }
  if (doc->raster_document) {
    for (const std::uint64_t i : visible) request_text(i);
    return;
  }
  // Pages shown from their blocks have no PDF text: their layers are laid out here.
  for (const std::uint64_t i : visible) {
    if (page_texts.contains(i + 1) || i >= page_sources.size()) continue;
    const std::uint64_t source_page = page_sources[i];
    if (source_page == 0 || source_page > doc->document.pages.size()) continue;
    page_texts[i + 1] = block_text_layer(doc->document.pages[source_page - 1], page_width, text, theme);
  }
}

void PdfApp::on_page_text(std::uint64_t page) { search_layer_arrived(*this, page); }

std::optional<std::uint64_t> PdfApp::position_of_source_page(std::uint64_t source_page) const {
  if (!doc || source_page == 0) return std::nullopt;
  if (!doc->raster_document) {
    const auto it = std::ranges::find(page_sources, source_page);
    if (it == page_sources.end()) return std::nullopt;
    return static_cast<std::uint64_t>(it - page_sources.begin()) + 1;
  }
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (!plan[i].imported && plan[i].source_page == source_page) return i + 1;
  }
  return std::nullopt;
}

std::optional<std::string> PdfApp::worker_entry_at(std::uint64_t index) const {
  if (applied_plan) return index < applied_plan->size() ? std::optional((*applied_plan)[index].id) : std::nullopt;
  if (!doc || index >= doc->source_page_count) return std::nullopt;
  return pdf_actions::seeded_entry_id(index + 1);
}

// ---- replies -----------------------------------------------------------------

void PdfApp::handle_reply(source::SourceReply reply) {
  const auto shown = [this](source::RasterDocumentId id) {
    return doc && doc->raster_document && *doc->raster_document == id;
  };
  const auto answers_open = [this](source::RequestId id) { return pending_open && pending_open->request_id == id; };
  std::visit(
      [&](auto&& r) {
        using R = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<R, source::Opened>) {
          if (answers_open(r.request_id)) {
            on_opened(std::move(r));
          } else if (client && r.opened.raster_document) {
            // Nobody wants this document any more: let the worker drop it
            // instead of holding its bytes until the next activation.
            (void)client->release(*r.opened.raster_document);
          }
        } else if constexpr (std::is_same_v<R, source::OpenFailed>) {
          if (!answers_open(r.request_id)) return;
          const std::string path = pending_open->path;
          pending_open.reset();
          // The status said "Opening PDF…"; the failure replaces it or, with no
          // document, leaves the status as it was before the open.
          if (status == "Opening PDF…") status.reset();
          record_open_failure(path, r.message);
          complete_host_operation(*this, false, fmt::format("Could not open {}: {}", path, r.message));
        } else if constexpr (std::is_same_v<R, source::OpenSuperseded>) {
          if (!answers_open(r.request_id)) return;
          pending_open.reset();
          redraw_requested = true;
        } else if constexpr (std::is_same_v<R, source::PageRendered>) {
          if (!shown(r.document)) return;
          const auto entry = worker_entry_at(r.page_index);
          if (!entry) return;
          const RasterKey key{*entry, r.width};
          if (!r.image || !r.image->rgba) {
            rasters.mark_failed(key, last_now);
          } else {
            rasters.insert(key, velyn_ui::Image::from_rgba(r.image->width, r.image->height, *r.image->rgba));
          }
          redraw_requested = true;
        } else if constexpr (std::is_same_v<R, source::PageRenderFailed>) {
          if (!shown(r.document)) return;
          if (const auto entry = worker_entry_at(r.page_index)) rasters.mark_failed({*entry, r.width}, last_now);
          status = fmt::format("Couldn’t render page {}: {}", r.page_index + 1, r.message);
          redraw_requested = true;
        } else if constexpr (std::is_same_v<R, source::PageTextFailed>) {
          if (!shown(r.document)) return;
          text_requested.erase(r.page_index);
          status = fmt::format("Couldn’t read text on page {}: {}", r.page_index + 1, r.message);
          redraw_requested = true;
        } else if constexpr (std::is_same_v<R, source::PageTextRead>) {
          if (!shown(r.document)) return;
          text_requested.erase(r.page_index);
          // Read from the sequence before a plan still on its way: its
          // positions are not the ones shown, and the plan drops layers anyway.
          if (pending_plan) return;
          // A layer always exists on the wire; a missing one reads as an empty page.
          page_texts[r.page_index + 1] = r.layer ? std::move(r.layer) : std::make_shared<const source::TextLayer>();
          on_page_text(r.page_index + 1);
          redraw_requested = true;
        } else if constexpr (std::is_same_v<R, source::PagePlanApplied>) {
          if (!pending_plan || !shown(r.document) || r.plan != *pending_plan) return;
          pending_plan.reset();
          applied_plan = std::move(r.plan);
          // Pages that failed may render now (their content may have arrived).
          rasters.forget_failures();
          // Rasters belong to entries and stay; text layers are kept by position.
          page_texts.clear();
          text_requested.clear();
          if (!r.page_sizes.empty()) {
            page_width = r.page_sizes.front().width;
            page_height = r.page_sizes.front().height;
          }
          redraw_requested = true;
        } else if constexpr (std::is_same_v<R, source::PagePlanFailed>) {
          if (!pending_plan || !shown(r.document)) return;
          pending_plan.reset();
          status = fmt::format("Couldn’t apply shared page plan: {}", r.message);
          redraw_requested = true;
        } else if constexpr (std::is_same_v<R, source::SavePrepared>) {
          on_save_prepared(*this, r);
        } else if constexpr (std::is_same_v<R, source::SaveCommitted>) {
          on_save_committed(*this, r);
        } else if constexpr (std::is_same_v<R, source::SaveFailed>) {
          on_save_failed(*this, r);
        } else if constexpr (std::is_same_v<R, source::ImportFailed>) {
          on_import_failed(*this, r);
        } else {
          // PagesImported changes the shared plan: update() hands it the document.
        }
      },
      std::move(reply));
}

void PdfApp::on_opened(source::Opened opened) {
  OpenDocumentState state;
  state.path = pending_open->path;
  pending_open.reset();
  state.source_page_count = opened.opened.document.pages.size();
  state.raster_document = opened.opened.raster_document;
  state.file_name = std::move(opened.opened.file_name);
  state.document = std::move(opened.opened.document);
  double width = state.document.page_width, height = state.document.page_height;
  if (!opened.opened.page_sizes.empty()) {
    width = opened.opened.page_sizes.front().width;
    height = opened.opened.page_sizes.front().height;
  }
  install_document(std::move(state), width, height);
  record = record_for_path(doc->path);
  waiting_for_record = true;
  if (doc->raster_document && client) {
    if (auto activated = client->activate(*doc->raster_document); !activated) {
      status = fmt::format("PDF source activation failed: {}", activated.error().message());
    }
  }
  complete_host_operation(*this, true, std::nullopt);
}

void PdfApp::install_document(OpenDocumentState state, double slot_width, double slot_height) {
  // The session is replaced whole: nothing that described the previous
  // document (its plan, rasters, text, matches, review, selection, record)
  // survives into this one.
  static_cast<DocumentSession&>(*this) = DocumentSession{};
  doc = std::move(state);
  page_width = slot_width;
  page_height = slot_height;
  document_loaded = true;
  for (std::uint64_t n = 1; n <= doc->source_page_count; ++n) {
    plan.push_back({pdf_actions::seeded_entry_id(n), n, std::nullopt});
    page_sources.push_back(n);
  }
  // View state that belonged to the previous document.
  open_error.reset();
  status.reset();
  files.pending_import.reset();   // its pages were meant for the previous document
  files.exported_heads.reset();   // nothing of this review was exported here yet
  fit = FitMode::Page;
  viewport.set_scroll({0, 0});
  current_page = 1;
  tool = Tool::Select;
  // Its query, editor and gestures described other pages.
  close_search(*this);
  close_page_jump(*this);
  sidebar.editor.reset();
  const pdf_actions::NoteSequence notes = input.notes;  // creation numbers stay unique in a session
  input = InteractionState{};
  input.notes = notes;
  // A wide window shows the page rail with a document; the narrow rules still apply.
  if (!panels.narrow) panels.thumbnails_open = true;
  redraw_requested = true;
}

}  // namespace pdf_app
