#pragma once
// PdfApp: the whole state of one running viewer, owned by the toolkit as its
// root widget. UI thread only. Drawing and input read and change this state;
// they never wait for the PDF worker.
#include <optional>
#include <string>

#include "app/tool.h"
#include "app/ui/frame_layout.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/widget.h"

namespace pdf_app {

inline constexpr std::string_view kAppTitle = "PDF Viewer";

// An open that was started and has not been answered yet.
struct PendingOpen {
  std::uint64_t request_id = 0;
  std::string path;
  std::string display_name;
};

struct PdfApp final : velyn_ui::Widget {
  // Document
  bool document_loaded = false;
  std::optional<PendingOpen> pending_open;
  std::optional<std::string> open_error;  // the last failed open, shown by the error screen

  // Chrome
  velyn_ui::Rect window;
  PanelState panels;
  FrameLayout regions;  // the last layout pass
  double scale = 1.0;  // interface scale of the last layout
  std::optional<velyn_ui::Point> pointer;

  // Tools
  Tool tool = Tool::Select;

  // Status
  std::optional<std::string> status;

  // The author written into new markup.
  std::string local_author;

  // Frame flags
  bool redraw_requested = false;

  PdfApp();

  // Starts opening `path`; a failure to start is recorded like a failed open.
  void start_open(const std::string& path);
  // Records a failed open: the status message while a document is shown, else
  // the open error that the error screen explains.
  void record_open_failure(const std::string& path, const std::string& error);

  // velyn_ui::Widget
  [[nodiscard]] velyn_ui::WidgetNames names() const override;
  [[nodiscard]] std::string title() const override { return std::string(kAppTitle); }
  void update(docstore::Document& document, velyn_ui::FrameContext& ctx) override;
  void layout(const velyn_ui::Rect& bounds, velyn_ui::FrameContext& ctx) override;
  void draw(velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx) override;
  velyn_ui::Handled handle_event(const velyn_ui::Event& event, docstore::Document& document,
                                 velyn_ui::FrameContext& ctx) override;
  [[nodiscard]] velyn_ui::CursorShape cursor_at(velyn_ui::Point at) const override;
  [[nodiscard]] bool needs_frame() const override { return redraw_requested; }
  [[nodiscard]] bool busy() const override { return pending_open.has_value(); }
};

// The author name for new markup: TAVEN_APP_ID when set and not empty, else "You".
std::string local_author_from_environment();

}  // namespace pdf_app
