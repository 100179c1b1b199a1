// Save and import job bodies. Flattening review markup and reading imported
// content through the content store are not part of this build yet, so these
// jobs refuse clearly instead of pretending to succeed; cancelling still drops
// a prepared save.
#include "source/source_jobs.h"

namespace pdf::source {

namespace {
constexpr const char* kSaveUnavailable = "saving annotated PDFs is not available in this build";
constexpr const char* kImportUnavailable = "importing pages is not available in this build";
}  // namespace

SourceReply run_prepare_save(WorkerState& state, ClientId client, const PrepareSave& request) {
  if (state.lookup_document(client, request.save.document) == nullptr) {
    return SaveFailed{request.save.save_id, kInactiveDocumentText};
  }
  return SaveFailed{request.save.save_id, kSaveUnavailable};
}

SourceReply run_commit_save(WorkerState& state, ClientId, const CommitSave& request) {
  // No save can have been prepared, so there is nothing to publish.
  state.prepared_saves.erase(request.save.save_id);
  return SaveFailed{request.save.save_id, "the prepared save is no longer available"};
}

void run_cancel_save(WorkerState& state, ClientId client, const CancelSave& request) {
  auto it = state.prepared_saves.find(request.save.save_id);
  if (it != state.prepared_saves.end() && it->second->client == client) state.prepared_saves.erase(it);
}

SourceReply run_import_file(WorkerState& state, ClientId client, const ImportFile& request) {
  if (state.lookup_document(client, request.document) == nullptr) {
    return ImportFailed{request.request_id, kInactiveDocumentText};
  }
  return ImportFailed{request.request_id, kImportUnavailable};
}

}  // namespace pdf::source
