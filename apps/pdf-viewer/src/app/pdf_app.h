#pragma once
// PdfApp: the whole state of one running viewer, owned by the toolkit as its
// root widget. UI thread only. Drawing and input read and change this state;
// they never wait for the PDF worker.
//
// Invariants:
// - a worker reply changes the state only when it answers what is pending now
//   and, where it names a document, the document shown now; all else is dropped;
// - starting an open never unloads the shown document; only Opened replaces it;
// - the review model is only replaced wholesale from the shared document, and
//   only while the document handed in belongs to the desired record.
// Document states: empty → loading (open pending) → open (maybe with a further
// open pending) or failed (open error, no document).
// Record binding: unbound (no desired record) → waiting → bound.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "actions/review_model.h"
#include "actions/viewer_action.h"
#include "actions/viewer_dispatch.h"
#include "app/document_session.h"
#include "app/file_operations_state.h"
#include "app/page_jump.h"
#include "app/catalog_publication.h"
#include "app/raster_cache.h"
#include "app/review_sidebar_state.h"
#include "app/search_state.h"
#include "app/signature_pad_state.h"
#include "app/tool.h"
#include "app/ui/frame_layout.h"
#include "app/ui/toolbar.h"
#include "app/interaction_state.h"
#include "docstore/document.h"
#include "source/source_protocol.h"
#include "source/text_match.h"
#include "velyn_actions/executor.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/page_sidebar.h"
#include "velyn_ui/records/record.h"
#include "velyn_ui/status_bubble.h"
#include "velyn_ui/tooltip.h"
#include "velyn_ui/viewport_state.h"
#include "velyn_ui/widget.h"

namespace pdf::source {
class SourceClient;
}

namespace pdf_app {

using pdf_actions::kAppTitle;
inline constexpr double kContentCheckSeconds = 1;  // how often missing imported content is looked for
inline constexpr std::string_view kAwaitingContentText = "Imported pages are waiting for their content on this device";

inline constexpr double kMinZoom = 0.25;
inline constexpr double kMaxZoom = 6.0;
inline constexpr double kViewportMargin = 28;
inline constexpr double kPageGap = 22;       // content units between page slots
inline constexpr double kZoomStep = 1.15;    // toolbar buttons and Ctrl+wheel
inline constexpr int kThumbnailRequestsPerFrame = 2;
inline constexpr double kRailResizeEdge = 6;
// Closing the window with a save under way waits this long for it to finish.
inline constexpr double kCloseSaveWaitSeconds = 30;

inline constexpr std::string_view kRecordNamespace = "annotations";
inline constexpr std::string_view kRecordKind = "annotation-set";
inline constexpr std::string_view kRecordRelation = "marks-up";

// An open that was started and has not been answered yet.
struct PendingOpen {
  std::uint64_t request_id = 0;
  std::string path;
  std::string display_name;
};

// The record a viewer showing `path` binds to: derived from the normalised
// absolute path (relative paths are joined to the current directory).
velyn_ui::record::Record record_for_path(const std::string& path);

// The viewer derives from its session so that input and drawing name the
// document's state directly (app.plan, app.rasters); install_document
// replaces the session whole.
struct PdfApp final : velyn_ui::Widget, DocumentSession {
  // Source worker client (absent when it could not be created)
  std::shared_ptr<pdf::source::SourceClient> client;

  std::optional<PendingOpen> pending_open;
  std::optional<std::string> open_error;  // the last failed open, shown by the error screen

  // Bumped when the displayed sequence or the review model is read anew:
  // cheap keys for what is derived from them (the search catalogue).
  std::uint64_t plan_generation = 0;
  std::uint64_t review_generation = 0;

  // Viewport
  velyn_ui::ViewportState viewport = velyn_ui::ViewportState::with_zoom_bounds(kMinZoom, kMaxZoom);
  FitMode fit = FitMode::Page;
  double free_zoom = 1.0;
  std::uint64_t current_page = 1;
  std::uint64_t last_page_seen = 0;
  // The scroll that keeps the page being read in view after a plan change,
  // applied at the next layout, once the content has its new size.
  std::optional<velyn_ui::Point> viewport_scroll_after_plan;

  // Chrome
  velyn_ui::Rect window;
  PanelState panels;
  FrameLayout regions;  // the last layout pass
  double scale = 1.0;   // interface scale of the last layout
  std::optional<velyn_ui::Point> pointer;
  velyn_ui::StatusBubble page_bubble;
  bool page_bubble_pinned = false;
  PageJumpState page_jump;  // the page-number field in the bubble
  std::optional<std::string> keyboard_focus;  // the control Tab last reached (keyboard_focus.h)
  velyn_ui::Rect bubble_pill, bubble_left, bubble_right;
  velyn_ui::widget::tooltip::Tooltip tooltip;
  velyn_ui::PageSidebar rail{1.0};
  bool rail_resizing = false;
  bool synthetic_rail_drag = false;  // the reorder scenario's pending drag

  // Tools
  Tool tool = Tool::Select;
  pdf_actions::Swatch swatch = pdf_actions::Swatch::Yellow;

  // Input, search bar, review sidebar and signature pad (app_events, app/ui)
  InteractionState input;
  SearchState search;
  SidebarState sidebar;
  SignaturePadState signature_pad;
  bool text_lane_full = false;  // the last text request found the worker's lane full
  CatalogPublisher catalog;     // platform search entries of the bound document

  // File operations: pickers, the pending save and import, the operation host
  FileOperationsState files;

  // Status
  std::optional<std::string> status;
  // The last dispatched action's outcome, until the toolkit takes it.
  std::optional<velyn_actions::DispatchOutcome> last_outcome;

  // The author written into new markup.
  std::string local_author;

  // Demo (the sample and the screenshot scenarios)
  bool demo_mode = false;
  bool demo_considered = false;
  bool select_demo_note = false;

  // Frame flags
  bool redraw_requested = false;
  double last_now = 0;

  // Closing: the window's close was put off until the pending save ends, or
  // until this monotonic time passes.
  std::optional<double> close_deadline;

  // A viewer with a client of the process-wide worker.
  PdfApp();
  // A viewer with the given client (may be null: no worker).
  explicit PdfApp(std::shared_ptr<pdf::source::SourceClient> worker_client);
  ~PdfApp() override;

  // Starts opening `path`; a failure to start is recorded like a failed open.
  void start_open(const std::string& path);
  // Records a failed open: the status message while a document is shown, else
  // the open error that the error screen explains.
  void record_open_failure(const std::string& path, const std::string& error);
  // Shows the built-in sample document with demo mode on.
  void open_sample();
  // Applies one worker reply if it answers what is pending now.
  void handle_reply(pdf::source::SourceReply reply);

  // Viewport operations
  [[nodiscard]] std::uint64_t page_count() const;
  void apply_fit();
  void set_fit(FitMode mode);
  void zoom_by(double factor);
  void zoom_at(double factor, velyn_ui::Point at);
  void pan_by(double dx, double dy);
  void go_to_page(std::uint64_t page);
  void update_current_page();
  // The page (from 1) and page-space point under a screen point.
  struct PageHit {
    std::uint64_t page = 1;
    double x = 0, y = 0;
  };
  [[nodiscard]] std::optional<PageHit> hit_test(velyn_ui::Point screen) const;
  // Screen rect of page slot `index` (0-based).
  [[nodiscard]] velyn_ui::Rect page_rect(std::uint64_t index) const;
  // Issues this frame's render requests for visible pages and thumbnails.
  void request_rasters(const std::vector<velyn_ui::widget::page_sidebar::Thumb>& thumbnails);
  // The pages (0-based) whose slots meet the canvas.
  [[nodiscard]] std::vector<std::uint64_t> visible_pages() const;

  // Where the opened file's page `source_page` (from 1) shows now: the first
  // position (from 1) of the displayed sequence that holds it, none when the
  // page plan dropped it. Outline entries point at file pages; this is where
  // they lead after pages were duplicated, moved, deleted or imported.
  [[nodiscard]] std::optional<std::uint64_t> position_of_source_page(std::uint64_t source_page) const;

  // The plan entry at `index` (0-based) of the sequence the worker renders
  // from now: the last plan it applied, or the opened file's own pages.
  [[nodiscard]] std::optional<std::string> worker_entry_at(std::uint64_t index) const;

  // Asks the worker for the text layer of page `page_index` (0-based) unless
  // it is stored or already asked for. Only for documents with PDFium pages.
  void request_text(std::uint64_t page_index);
  // Whether the search keeps text layers: an open search with a query keeps
  // every layer, since dropping them would make a search without early
  // matches re-request all pages forever.
  [[nodiscard]] bool search_needs_text() const {
    return !search_matches.empty() || (panels.search_open && !search.field.text().empty());
  }
  // Whether text layers are needed now: a text selection, the search, or a
  // tool that reads text (Select, Highlight), so that the first press of a
  // selection or a highlight finds the layer of its page already there.
  [[nodiscard]] bool text_needed() const {
    return selecting_text || search_needs_text() || tool == Tool::Select || tool == Tool::Highlight;
  }
  // Each frame: asks for the visible pages' layers while they are needed (or,
  // for pages shown from their blocks, lays them out), else drops every
  // stored layer. When only the tool needs them, the layers of
  // pages that scrolled away (and hold no selection) are dropped too.
  void refresh_text_layers(velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme);
  // Called when a page's layer arrived; the search bar reruns its search here.
  void on_page_text(std::uint64_t page);

  // Whether the review holds changes that no save has exported yet: any
  // markup, comment, signature or page change, until a save of it completes.
  [[nodiscard]] bool has_unexported_changes() const;

  // Asks for the window to close (its close button, Ctrl+Q): at once, or,
  // while a save is under way, once it ends or kCloseSaveWaitSeconds pass
  // (close_ready tells the window when).
  enum class CloseTiming { Now, AfterSave };
  CloseTiming request_close(double now);

  // Dispatches the actions of one gesture of this viewer's input as one
  // change through the host's transport, then reads the review model back
  // once. False when it failed (logged as "action dispatch failed"; nothing
  // else changes).
  bool dispatch_actions(docstore::Document& document, velyn_ui::FrameContext& ctx,
                        std::span<const pdf_actions::PdfViewerAction> actions);
  bool dispatch_action(docstore::Document& document, velyn_ui::FrameContext& ctx,
                       const pdf_actions::PdfViewerAction& action) {
    return dispatch_actions(document, ctx, std::span(&action, 1));
  }
  // The same road for typed actions of other kinds (upkeep, the demo's markup).
  bool dispatch_typed(docstore::Document& document, velyn_ui::FrameContext& ctx,
                      std::span<const velyn_actions::TypedAction* const> actions);
  // Turns what the page rail queued into navigation and plan actions.
  void apply_rail_outcomes(docstore::Document& document, velyn_ui::FrameContext& ctx);

  // velyn_ui::Widget
  [[nodiscard]] velyn_ui::WidgetNames names() const override;
  [[nodiscard]] std::string title() const override { return std::string(kAppTitle); }
  void update(docstore::Document& document, velyn_ui::FrameContext& ctx) override;
  void layout(const velyn_ui::Rect& bounds, velyn_ui::FrameContext& ctx) override;
  void draw(velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) override;
  velyn_ui::Handled handle_event(const velyn_ui::Event& event, docstore::Document& document,
                                 velyn_ui::FrameContext& ctx) override;
  [[nodiscard]] velyn_ui::CursorShape cursor_at(velyn_ui::Point at) const override;
  [[nodiscard]] std::optional<velyn_ui::record::Record> desired_record() const override { return record; }
  [[nodiscard]] bool needs_frame() const override;
  [[nodiscard]] bool busy() const override;
  [[nodiscard]] std::optional<double> frame_due_in() const override;
  [[nodiscard]] bool text_input_focused() const override;
  [[nodiscard]] std::optional<velyn_ui::Rect> ime_cursor_rect() const override;
  [[nodiscard]] bool close_ready() const override;
  [[nodiscard]] std::optional<velyn_actions::DispatchOutcome> take_action_outcome() override {
    return std::exchange(last_outcome, std::nullopt);
  }

 private:
  void on_opened(pdf::source::Opened opened);
  // Shows `state` as the document, with pages in slots of the given size, and
  // drops everything that described the previous one: the one way a document
  // (the sample or an opened file) comes on screen.
  void install_document(OpenDocumentState state, double slot_width, double slot_height);
  // Reads the page plan and the review again when the shared document changed,
  // after dispatching the upkeep it needs, if any.
  void reread(docstore::Document& document, velyn_ui::FrameContext& ctx);
  void derive_plan(const docstore::Document& document);
  // Sends the worker the displayed sequence when it differs from what the
  // worker has or is about to have, or when imported content has arrived.
  void send_plan_to_worker();
  // The text field that has the keyboard focus, if one does.
  [[nodiscard]] const velyn_ui::widget::TextInput* focused_field() const;
  // A new displayed sequence keeps the page being read on screen: the view
  // follows it to its new position (duplicates and deletions before it shift it).
  void keep_reading_position(const std::vector<pdf_actions::PagePlanEntry>& next);
  void read_review(const docstore::Document& document);
};

// The author name for new markup: TAVEN_APP_ID when set and not empty, else "You".
std::string local_author_from_environment();

// Page (from 1) whose slot is nearest the content y at the top of the view.
std::uint64_t current_page_at(double content_y, double page_height, std::uint64_t page_count);
// Zoom that fits one page of w × h into a canvas of the given size.
std::optional<double> fit_page_zoom(double canvas_width, double canvas_height, double w, double h);

}  // namespace pdf_app
