#pragma once
// The worker's job bodies and the worker-private state they own: every client's
// open documents (by raster document id) and prepared saves. Worker thread only.
#include <filesystem>
#include <map>
#include <memory>

#include "source/source_worker.h"
#include "source/worker_document.h"

namespace pdf::source {

// A save prepared in its private directory, waiting for commit or cancel.
// Dropping it deletes the directory and everything in it.
struct PreparedSave {
  ClientId client = 0;
  SaveRequest request;
  std::filesystem::path private_dir;
  std::filesystem::path private_file;

  PreparedSave() = default;
  PreparedSave(const PreparedSave&) = delete;
  PreparedSave& operator=(const PreparedSave&) = delete;
  ~PreparedSave();
};

struct WorkerState {
  std::map<ClientId, std::map<RasterDocumentId, std::unique_ptr<WorkerDocument>>> documents;
  std::map<std::uint64_t, std::unique_ptr<PreparedSave>> prepared_saves;  // by save id

  WorkerDocument* lookup_document(ClientId client, RasterDocumentId id);
};

// The executor of the process-wide worker.
std::unique_ptr<JobExecutor> make_pdf_jobs();

// Job bodies of the save and import pipeline (save_import_jobs.cpp).
SourceReply run_prepare_save(WorkerState& state, ClientId client, const PrepareSave& request);
SourceReply run_commit_save(WorkerState& state, ClientId client, const CommitSave& request);
void run_cancel_save(WorkerState& state, ClientId client, const CancelSave& request);
SourceReply run_import_file(WorkerState& state, ClientId client, const ImportFile& request);

}  // namespace pdf::source
