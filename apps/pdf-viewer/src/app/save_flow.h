#pragma once
// The viewer's half of a save: deciding whether a save may start, sending the
// snapshot of the review with PrepareSave, committing what the worker
// prepared, and reporting the outcome. UI thread only.
//
// States: idle → (start_save) pending → (SavePrepared: CommitSave sent)
// pending → (SaveCommitted | SaveFailed | cancel) idle. The destination is
// written by the worker's atomic rename only; the opened file never is.
#include <filesystem>
#include <optional>
#include <string>

#include "source/source_protocol.h"

namespace pdf_app {

struct PdfApp;

// The path unchanged when its extension is "pdf" in any ASCII case (and valid
// UTF-8); otherwise the path with ".pdf" added to its last component.
std::filesystem::path ensure_pdf_extension(const std::filesystem::path& path);

// "{stem}-annotated.pdf" for the document's path, "document-annotated.pdf"
// when it has none or its stem is empty or not valid UTF-8.
std::string suggested_save_name(const std::optional<std::string>& document_path);

// What the saved status names: the destination's file name, or "the file".
std::string saved_file_label(const std::filesystem::path& destination);

// Sends PrepareSave for `destination` (extension already fixed). True when a
// save is now pending; otherwise the status says why.
bool start_save(PdfApp& app, const std::filesystem::path& destination);

// Withdraws the pending save, if any (the worker deletes what it prepared).
void cancel_save(PdfApp& app);

// Reply handlers; each ignores a reply that does not answer the pending save.
void on_save_prepared(PdfApp& app, const pdf::source::SavePrepared& reply);
void on_save_committed(PdfApp& app, const pdf::source::SaveCommitted& reply);
void on_save_failed(PdfApp& app, const pdf::source::SaveFailed& reply);

}  // namespace pdf_app
