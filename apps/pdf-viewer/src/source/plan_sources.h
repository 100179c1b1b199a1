#pragma once
// Turning imported plan entries into page sources: content named by hash is
// fetched from the local content store, checked against its hash, and loaded
// once per document (as a PDF, or as a one-page image document); later entries
// with the same hash reuse the loaded source. Worker thread only.
#include <vector>

#include "blobstore/blob_store.h"
#include "source/worker_document.h"
#include "velyn/error.h"

namespace pdf::source {

// resolve_plan with imported content: a rejected plan changes nothing; content
// missing here, not matching its hash or not loadable leaves its slots
// awaiting until a later application finds it.
velyn::Result<void> resolve_plan_with_content(WorkerDocument& doc, const std::vector<PlanEntry>& plan,
                                              const blobstore::BlobStore& store);

}  // namespace pdf::source
