#pragma once
// The worker's job bodies and the worker-private state they own: every client's
// open documents (by raster document id) and prepared saves. Worker thread only.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include "blobstore/blob_store.h"
#include "source/save_publish.h"

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

// The application identifier under which imported content is stored; the
// viewer's own identifier, so its availability checks see the same blobs.
inline constexpr std::string_view kContentStoreApplicationId = "io.velyn.pdfviewer";

// This device's content store under the environment of the moment
// (XDG_DATA_HOME): where the worker fetches imported content and where the
// viewer looks to learn that content has arrived.
blobstore::BlobStore local_content_store();

struct WorkerState {
  std::map<ClientId, std::map<RasterDocumentId, std::unique_ptr<WorkerDocument>>> documents;
  std::map<std::uint64_t, std::unique_ptr<PreparedSave>> prepared_saves;  // by save id
  // Where imported content lives; none: the default root, resolved at each use
  // so that the environment of the moment (XDG_DATA_HOME) decides.
  std::optional<std::filesystem::path> content_root;
  FileSystemCalls file_calls = system_file_calls();

  WorkerDocument* lookup_document(ClientId client, RasterDocumentId id);
  blobstore::BlobStore content_store() const;
};

// The executor of the process-wide worker; tests may give their own content root.
std::unique_ptr<JobExecutor> make_pdf_jobs(std::optional<std::filesystem::path> content_root = std::nullopt);

// Job bodies of the save and import pipeline (save_import_jobs.cpp).
SourceReply run_prepare_save(WorkerState& state, ClientId client, const PrepareSave& request);
SourceReply run_commit_save(WorkerState& state, ClientId client, const CommitSave& request);
void run_cancel_save(WorkerState& state, ClientId client, const CancelSave& request);
SourceReply run_import_file(WorkerState& state, ClientId client, const ImportFile& request);
SourceReply run_apply_plan(WorkerState& state, ClientId client, ApplyPagePlan& request);
// Releases the client's prepared saves: each private file is deleted (errors
// ignored), then its directory.
void drop_client_saves(WorkerState& state, ClientId client);

}  // namespace pdf::source
