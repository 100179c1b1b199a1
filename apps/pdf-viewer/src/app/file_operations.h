#pragma once
// File pickers and the operation host. The viewer never draws file dialogs:
// it sends a picker request (velyn_ui::portal), polls the answer once per
// frame, and turns a chosen path into an open, a save or an import. Open and
// SaveAs from automation run under the host's lifecycle: started with an
// operation id, answered pending, collected or cancelled later by that id.
// UI thread only.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/file_operations_state.h"
#include "velyn_ui/event.h"
#include "velyn_ui/portal/pick_request.h"

namespace pdf_app {

struct PdfApp;

inline constexpr std::string_view kPortalFailedCode = "pdf.portal_failed";

// The three picker requests, ready to send.
velyn_ui::portal::PickRequest open_pick_request();
velyn_ui::portal::PickRequest save_pick_request(std::string suggested_name);
velyn_ui::portal::PickRequest import_pick_request();

// Each sends its picker unless one of its kind is outstanding or the work it
// would start is already pending; save and import need PDFium pages.
void request_open_picker(PdfApp& app);
void request_save_picker(PdfApp& app);
void request_import_picker(PdfApp& app);

// Takes the answers that arrived, open first, then save, then import.
void consume_picker_answers(PdfApp& app);

// Toolbar Open/Save, the empty screen's "Open a PDF…" button, Ctrl+O, Ctrl+S.
velyn_ui::Handled handle_file_event(PdfApp& app, const velyn_ui::Event& event);

// The operation host's three entries. `mode` 0 means "not for the viewer" to
// apply_operation; start_operation runs Open and SaveAs whatever it is.
ApplyResult apply_operation(PdfApp& app, std::uint8_t mode, std::string_view action_kind, std::string_view payload);
StartResult start_operation(PdfApp& app, OperationId id, std::uint8_t mode, std::string_view action_kind,
                            std::string_view payload);
std::optional<CollectResult> poll_operation(PdfApp& app, OperationId id, bool cancel);

// Called when an open, save or picker path ends; does nothing unless a host
// operation is pending. Failure without a message reads as a cancelled choice.
void complete_host_operation(PdfApp& app, bool success, std::optional<std::string> message);

}  // namespace pdf_app
