#include "source/plan_sources.h"

#include <algorithm>
#include <set>

#include "source/import_probe.h"
#include "source/pdf_writer.h"
#include "velyn/try.h"

namespace pdf::source {
namespace {

bool has_source(const WorkerDocument& doc, const std::string& hash) {
  return std::any_of(doc.sources.begin(), doc.sources.end(), [&](const PageSource& s) { return s.hash == hash; });
}

std::optional<Rasterizer> load_content(const Pdfium& pdfium, const PlanImport& imported,
                                       std::vector<std::uint8_t> bytes) {
  if (imported.kind == kImportKindPdf) return Rasterizer::open(pdfium, std::move(bytes), kImportPageLimit);
  // An image page is built as its own document, then reloaded like any PDF so
  // that rendering, text and flattening treat it as one more source.
  auto page_doc = make_image_page_document(pdfium, bytes);
  if (!page_doc) return std::nullopt;
  auto serialised = save_document_to_memory(pdfium.api(), page_doc->get());
  if (!serialised) return std::nullopt;
  return Rasterizer::open(pdfium, std::move(*serialised), 1);
}

}  // namespace

velyn::Result<void> resolve_plan_with_content(WorkerDocument& doc, const std::vector<PlanEntry>& plan,
                                              const blobstore::BlobStore& store) {
  // First pass: rejects a bad plan before any content is fetched, and serves
  // every entry whose content is already loaded.
  VELYN_TRY_VOID(resolve_plan(doc, plan));
  if (doc.sources.empty()) return {};
  const Pdfium& pdfium = doc.sources.front().rasterizer.pdfium();

  bool loaded_any = false;
  std::set<std::string> tried;  // each hash fetched at most once per application
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (doc.plan[i] || !plan[i].imported) continue;
    const PlanImport& imported = *plan[i].imported;
    if (has_source(doc, imported.hash) || !tried.insert(imported.hash).second) continue;
    auto bytes = store.get(imported.hash);
    if (!bytes || !blobstore::verify(imported.hash, *bytes)) continue;
    auto rasterizer = load_content(pdfium, imported, std::move(*bytes));
    if (!rasterizer) continue;
    doc.sources.push_back(PageSource{std::move(*rasterizer), imported.hash});
    loaded_any = true;
  }
  if (!loaded_any) return {};
  return resolve_plan(doc, plan);
}

}  // namespace pdf::source
