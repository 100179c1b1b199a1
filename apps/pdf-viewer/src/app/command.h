#pragma once
// What input asks the viewer to do. Keys, the toolbar, the page bubble, the
// rail, the sidebar and automation only translate what happened into one of
// these; execute() (executor.h) carries it out. The operations are the ones
// automation can address; the rest are this viewer's own.
#include <variant>

#include "actions/operation.h"
#include "app/tool.h"

namespace pdf_app {

namespace command {
struct GoToFirstPage {};
struct GoToLastPage {};
struct ResetZoom {};     // fit page, scrolled to the top
struct ToggleFit {};     // the toolbar's Fit: page ⇄ width
struct ToggleSearch {};  // the toolbar's Find
struct OpenPageJump {};  // type the page to go to
struct ShowSidebar {};   // open the sidebar (the narrow-window rule applies)
struct HidePanels {};    // close the panels drawn over the canvas
struct SetTool {
  Tool tool = Tool::Select;
};
}  // namespace command

using Command = std::variant<pdf_actions::PdfOperation, command::GoToFirstPage, command::GoToLastPage,
                             command::ResetZoom, command::ToggleFit, command::ToggleSearch, command::OpenPageJump,
                             command::ShowSidebar, command::HidePanels, command::SetTool>;

}  // namespace pdf_app
