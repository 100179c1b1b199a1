#include "source/source_jobs.h"

#include "source/open_document.h"
#include "source/page_render.h"
#include "source/page_text.h"

namespace pdf::source {

PreparedSave::~PreparedSave() {
  if (private_dir.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(private_dir, ignored);
}

blobstore::BlobStore local_content_store() {
  return blobstore::BlobStore(blobstore::default_root(kContentStoreApplicationId));
}

blobstore::BlobStore WorkerState::content_store() const {
  return content_root ? blobstore::BlobStore(*content_root) : local_content_store();
}

WorkerDocument* WorkerState::lookup_document(ClientId client, RasterDocumentId id) {
  auto docs = documents.find(client);
  if (docs == documents.end()) return nullptr;
  auto it = docs->second.find(id);
  return it == docs->second.end() ? nullptr : it->second.get();
}

namespace {

class PdfJobs final : public JobExecutor {
 public:
  std::optional<SourceReply> execute(ClientId client, SourceRequest request) override {
    return std::visit([&](auto& r) { return run(client, r); }, request);
  }

  explicit PdfJobs(std::optional<std::filesystem::path> content_root) { state_.content_root = std::move(content_root); }

  void close_client(ClientId client) override {
    state_.documents.erase(client);
    drop_client_saves(state_, client);
  }

 private:
  std::optional<SourceReply> run(ClientId client, OpenDocument& r) {
    auto result = open_document(r.path);
    if (!result) return OpenFailed{r.request_id, result.error().message};
    if (result->worker) {
      result->opened.raster_document = r.request_id;
      state_.documents[client][r.request_id] = std::move(result->worker);
    }
    return Opened{r.request_id, std::move(result->opened)};
  }
  std::optional<SourceReply> run(ClientId client, ActivateRasterDocument& r) {
    auto& docs = state_.documents[client];
    for (auto it = docs.begin(); it != docs.end();) it = it->first == r.document ? std::next(it) : docs.erase(it);
    return std::nullopt;
  }
  std::optional<SourceReply> run(ClientId client, ReleaseRasterDocument& r) {
    if (auto docs = state_.documents.find(client); docs != state_.documents.end()) docs->second.erase(r.document);
    return std::nullopt;
  }
  std::optional<SourceReply> run(ClientId client, RenderPage& r) {
    WorkerDocument* doc = state_.lookup_document(client, r.document);
    if (doc == nullptr) return PageRenderFailed{r.document, r.page_index, r.width, kInactiveDocumentText};
    return PageRendered{r.document, r.page_index, r.width, render_page(*doc, r.page_index, r.width)};
  }
  std::optional<SourceReply> run(ClientId client, ReadPageText& r) {
    WorkerDocument* doc = state_.lookup_document(client, r.document);
    if (doc == nullptr) return PageTextFailed{r.document, r.page_index, kInactiveDocumentText};
    return PageTextRead{r.document, r.page_index, read_text_layer(*doc, r.page_index)};
  }
  std::optional<SourceReply> run(ClientId client, ApplyPagePlan& r) { return run_apply_plan(state_, client, r); }
  std::optional<SourceReply> run(ClientId client, PrepareSave& r) { return run_prepare_save(state_, client, r); }
  std::optional<SourceReply> run(ClientId client, ImportFile& r) { return run_import_file(state_, client, r); }
  std::optional<SourceReply> run(ClientId client, CommitSave& r) { return run_commit_save(state_, client, r); }
  std::optional<SourceReply> run(ClientId client, CancelSave& r) {
    run_cancel_save(state_, client, r);
    return std::nullopt;
  }
  std::optional<SourceReply> run(ClientId client, Close&) {
    close_client(client);
    return std::nullopt;
  }

  WorkerState state_;
};

}  // namespace

std::unique_ptr<JobExecutor> make_pdf_jobs(std::optional<std::filesystem::path> content_root) {
  return std::make_unique<PdfJobs>(std::move(content_root));
}

SourceWorker& SourceWorker::get() {
  // Created on first use and never destroyed: the thread runs until exit.
  static SourceWorker* worker = SourceWorker::start(make_pdf_jobs()).release();
  return *worker;
}

}  // namespace pdf::source
