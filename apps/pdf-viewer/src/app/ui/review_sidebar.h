#pragma once
// The review sidebar: Comments, Contents and Signatures tabs, drawn as
// scrollable lists whose clickable areas form the hit list of the frame.
// UI thread only.
#include <string>
#include <vector>

#include "actions/review_model.h"
#include "app/review_sidebar_state.h"
#include "velyn_ui/event.h"
#include "velyn_ui/widget.h"

namespace docstore {
class Document;
}
namespace velyn_ui {
class Scene;
}

namespace pdf_app {

struct PdfApp;

inline constexpr double kTabBarHeight = 38;  // × interface scale
inline constexpr double kCardGap = 12;

// "No comments yet", or "{n} threads · {k} open".
std::string threads_header(const std::vector<pdf_actions::Comment>& comments);
// The tab labels, short above interface scale 1.25.
std::vector<std::string_view> tab_labels(double interface_scale);

// Switches to `tab`, opens the sidebar and brings row `id` into view next frame.
void reveal_in_sidebar(PdfApp& app, SidebarTab tab, std::string id);
void switch_tab(PdfApp& app, SidebarTab tab);
void scroll_sidebar(PdfApp& app, double dy);
// A press inside the sidebar: the smallest hit entry holding the point wins.
void press_sidebar(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, velyn_ui::Point at);
// Opens the editor of a comment body or a reply; commits or cancels it.
void open_comment_editor(PdfApp& app, EditorKind kind, const std::string& comment_id);
void commit_editor(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx);
// Keys, text and drags while an editor is open; Handled::No when none is.
velyn_ui::Handled editor_event(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx,
                               const velyn_ui::Event& event);

void draw_review_sidebar(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx);

}  // namespace pdf_app
