#pragma once
// The viewer's half of a page import: asking the worker to import a file, and
// turning its answer into the shared plan's ImportPages action placed right
// after the page that was current. UI thread only.
//
// States: idle → (start_import) pending → (PagesImported | ImportFailed, or a
// new document opened) idle.
#include <optional>
#include <string>
#include <vector>

#include "actions/viewer_action.h"
#include "source/source_protocol.h"

namespace docstore {
class Document;
}
namespace velyn_ui {
struct FrameContext;
}

namespace pdf_app {

struct PdfApp;

// Sends ImportFile for `path`. True when an import is now pending; otherwise
// the status says why.
bool start_import(PdfApp& app, const std::string& path);

// One plan entry per reported page, pages numbered from 1, each with a new
// "import-" id; sizes in thousandths of a point, rounded half away from zero.
std::vector<pdf_actions::PagePlanEntry> imported_entries(const pdf::source::PagesImported& reply);

// Reply handlers; each ignores a reply that does not answer the pending import.
// PagesImported dispatches ImportPages on `document` and goes to the first new page.
void on_pages_imported(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx,
                       const pdf::source::PagesImported& reply);
void on_import_failed(PdfApp& app, const pdf::source::ImportFailed& reply);

}  // namespace pdf_app
