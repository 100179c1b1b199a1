#include "app/executor.h"

#include <type_traits>

#include "app/page_jump.h"
#include "app/pdf_app.h"
#include "app/search_run.h"
#include "app/ui/review_sidebar.h"

namespace pdf_app {
namespace {

enum class Panel { Rail, Sidebar };

void set_panel_open(PdfApp& app, Panel panel, bool open) {
  bool& mine = panel == Panel::Rail ? app.panels.thumbnails_open : app.panels.sidebar_open;
  bool& other = panel == Panel::Rail ? app.panels.sidebar_open : app.panels.thumbnails_open;
  mine = open;
  // A narrow window has room for one panel beside the page.
  if (open && app.panels.narrow) other = false;
  relayout(app);
}

void toggle_panel(PdfApp& app, Panel panel) {
  set_panel_open(app, panel, !(panel == Panel::Rail ? app.panels.thumbnails_open : app.panels.sidebar_open));
}

void carry_out(PdfApp& app, const pdf_actions::PdfOperation& operation) {
  using Op = pdf_actions::PdfOperation;
  std::visit(
      [&app](const auto& op) {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, Op::OpenSearch>) {
          open_search(app);
        } else if constexpr (std::is_same_v<T, Op::Open> || std::is_same_v<T, Op::SaveAs>) {
          // The file operations run these under their own lifecycle.
        } else if (!app.document_loaded) {
          // Nothing to move, zoom or show panels beside.
        } else if constexpr (std::is_same_v<T, Op::PreviousPage>) {
          app.go_to_page(app.current_page > 1 ? app.current_page - 1 : 1);
        } else if constexpr (std::is_same_v<T, Op::NextPage>) {
          app.go_to_page(app.current_page + 1);
        } else if constexpr (std::is_same_v<T, Op::ZoomIn>) {
          app.zoom_by(kZoomStep);
        } else if constexpr (std::is_same_v<T, Op::ZoomOut>) {
          app.zoom_by(1 / kZoomStep);
        } else if constexpr (std::is_same_v<T, Op::FitPage>) {
          app.set_fit(FitMode::Page);
        } else if constexpr (std::is_same_v<T, Op::FitWidth>) {
          app.set_fit(FitMode::Width);
        } else if constexpr (std::is_same_v<T, Op::ToggleSidebar>) {
          toggle_panel(app, Panel::Sidebar);
        } else if constexpr (std::is_same_v<T, Op::ToggleRail>) {
          toggle_panel(app, Panel::Rail);
        } else if constexpr (std::is_same_v<T, Op::GoToPage>) {
          app.go_to_page(op.page);
        } else if constexpr (std::is_same_v<T, Op::GoToSearchResult>) {
          show_search_bar(app);
          const auto& matches = app.search_matches;
          if (op.index < matches.size() && matches[op.index].page == op.page) {
            app.go_to_page(op.page);
          } else {
            app.status = "Find result is no longer available";
          }
        }
      },
      operation.value);
}

void carry_out(PdfApp& app, const Command& command) {
  using namespace command;
  std::visit(
      [&app](const auto& c) {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, pdf_actions::PdfOperation>) {
          carry_out(app, c);
        } else if constexpr (std::is_same_v<T, SetTool>) {
          app.tool = c.tool;
          if (c.tool != Tool::Select) set_interaction_mode(app, InteractionMode::Idle);
          if (c.tool == Tool::Sign) {
            switch_tab(app, SidebarTab::Signatures);
            if (!app.panels.sidebar_open) set_panel_open(app, Panel::Sidebar, true);
          }
        } else if constexpr (std::is_same_v<T, ShowSidebar>) {
          if (!app.panels.sidebar_open) set_panel_open(app, Panel::Sidebar, true);
        } else if constexpr (std::is_same_v<T, ToggleSearch>) {
          if (app.panels.search_open) {
            close_search(app);
          } else {
            open_search(app);
          }
        } else if (!app.document_loaded) {
          // The rest needs a document on screen.
        } else if constexpr (std::is_same_v<T, GoToFirstPage>) {
          app.go_to_page(1);
        } else if constexpr (std::is_same_v<T, GoToLastPage>) {
          app.go_to_page(app.page_count());
        } else if constexpr (std::is_same_v<T, ResetZoom>) {
          app.set_fit(FitMode::Page);
          app.viewport.set_scroll({0, 0});
          app.update_current_page();
        } else if constexpr (std::is_same_v<T, ToggleFit>) {
          app.set_fit(app.fit == FitMode::Page ? FitMode::Width : FitMode::Page);
        } else if constexpr (std::is_same_v<T, OpenPageJump>) {
          open_page_jump(app);
        } else if constexpr (std::is_same_v<T, HidePanels>) {
          app.panels.thumbnails_open = app.panels.sidebar_open = false;
          relayout(app);
        }
      },
      command);
}

}  // namespace

void relayout(PdfApp& app) {
  app.regions = compute_frame_layout(app.window, app.panels, app.scale);
  app.redraw_requested = true;
}

void execute(PdfApp& app, const Command& command) {
  carry_out(app, command);
  app.redraw_requested = true;
}

bool execute(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx,
             std::span<const pdf_actions::PdfViewerAction> actions) {
  return app.dispatch_actions(document, ctx, actions);
}

void set_interaction_mode(PdfApp& app, InteractionMode mode) {
  app.input.mode = mode;
  if (mode == InteractionMode::Idle) app.input.selection.reset();
  app.selecting_text = mode != InteractionMode::Idle;
  app.redraw_requested = true;
}

}  // namespace pdf_app
