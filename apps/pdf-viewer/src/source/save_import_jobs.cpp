// Save and import job bodies.
//
// A save moves through: PrepareSave (private directory created, flattened file
// written, prepared save registered) -> CommitSave (published, directory
// removed) | CancelSave or Close (directory removed). A prepare failure removes
// its directory at once; a prepared save is owned by exactly one map entry, so
// every path out of the map deletes its directory.
#include <algorithm>

#include "source/bounded_read.h"
#include "source/flatten.h"
#include "source/import_probe.h"
#include "source/plan_sources.h"
#include "source/review_snapshot.h"
#include "source/source_jobs.h"

namespace pdf::source {

namespace {
constexpr const char* kPreparedSaveGone = "the prepared save is no longer available";
constexpr const char* kImportFileEmpty = "the import file is empty";
constexpr const char* kContentStoreRefused = "the local content store refused the import";
}  // namespace

SourceReply run_prepare_save(WorkerState& state, ClientId client, const PrepareSave& request) {
  const SaveRequest& save = request.save;
  WorkerDocument* doc = state.lookup_document(client, save.document);
  if (doc == nullptr) return SaveFailed{save.save_id, kInactiveDocumentText};

  auto dir = create_private_save_dir(destination_directory(save.destination), save.save_id);
  if (!dir) return SaveFailed{save.save_id, dir.error().message};
  auto prepared = std::make_unique<PreparedSave>();
  prepared->client = client;
  prepared->request = save;
  prepared->private_dir = *dir;  // owned from here: dropping it removes the directory
  prepared->private_file = *dir / kPrivateSaveFileName;

  static const ReviewSnapshot kNoReview;
  const ReviewSnapshot& review = save.review ? *save.review : kNoReview;
  if (auto flattened = flatten_to_file(*doc, review, prepared->private_file); !flattened) {
    return SaveFailed{save.save_id, flattened.error().message};
  }
  SavePrepared reply{save.save_id, save.document, save.destination, prepared->private_file};
  state.prepared_saves[save.save_id] = std::move(prepared);  // replaces (and removes) an older one
  return reply;
}

SourceReply run_commit_save(WorkerState& state, ClientId client, const CommitSave& request) {
  const SaveRequest& save = request.save;
  auto it = state.prepared_saves.find(save.save_id);
  if (it == state.prepared_saves.end()) return SaveFailed{save.save_id, kPreparedSaveGone};
  // Taken out of the map whatever happens next; dropping it at the end of this
  // job removes the private directory (empty after a successful rename).
  std::unique_ptr<PreparedSave> prepared = std::move(it->second);
  state.prepared_saves.erase(it);
  const SaveRequest& kept = prepared->request;
  if (prepared->client != client || kept.document != save.document || kept.destination != save.destination ||
      prepared->private_file != request.private_file) {
    return SaveFailed{save.save_id, kPreparedSaveGone};
  }
  if (auto published = publish_private_save(prepared->private_file, prepared->private_dir, kept.destination,
                                            state.file_calls);
      !published) {
    return SaveFailed{save.save_id, published.error().message};
  }
  return SaveCommitted{save.save_id, kept.destination};
}

void run_cancel_save(WorkerState& state, ClientId client, const CancelSave& request) {
  auto it = state.prepared_saves.find(request.save.save_id);
  if (it != state.prepared_saves.end() && it->second->client == client) state.prepared_saves.erase(it);
}

void drop_client_saves(WorkerState& state, ClientId client) {
  for (auto it = state.prepared_saves.begin(); it != state.prepared_saves.end();) {
    if (it->second->client != client) {
      ++it;
      continue;
    }
    std::error_code ignored;
    std::filesystem::remove(it->second->private_file, ignored);
    it = state.prepared_saves.erase(it);
  }
}

SourceReply run_import_file(WorkerState& state, ClientId client, const ImportFile& request) {
  WorkerDocument* doc = state.lookup_document(client, request.document);
  if (doc == nullptr || doc->sources.empty()) return ImportFailed{request.request_id, kInactiveDocumentText};
  auto bytes = read_bounded(request.path, kImportSizeLimit);
  if (!bytes) return ImportFailed{request.request_id, bytes.error().message};
  if (bytes->empty()) return ImportFailed{request.request_id, kImportFileEmpty};
  auto probe = probe_import(doc->sources.front().rasterizer.pdfium(), *bytes);
  if (!probe) return ImportFailed{request.request_id, probe.error().message};

  const blobstore::BlobStore store = state.content_store();
  auto hash = store.put(*bytes);
  if (!hash || !store.contains(*hash)) return ImportFailed{request.request_id, kContentStoreRefused};
  return PagesImported{request.request_id, std::move(*hash), std::move(probe->kind), std::move(probe->page_sizes)};
}

SourceReply run_apply_plan(WorkerState& state, ClientId client, ApplyPagePlan& request) {
  WorkerDocument* doc = state.lookup_document(client, request.document);
  if (doc == nullptr) return PagePlanFailed{request.document, kInactiveDocumentText};
  if (auto resolved = resolve_plan_with_content(*doc, request.plan, state.content_store()); !resolved) {
    return PagePlanFailed{request.document, resolved.error().message};
  }
  return PagePlanApplied{request.document, std::move(request.plan), doc->plan_page_sizes()};
}

}  // namespace pdf::source
