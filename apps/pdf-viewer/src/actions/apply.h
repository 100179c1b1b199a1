#pragma once
// Applying a viewer action to the shared document. Apply is a pure function of
// the action and the document it reads: unknown ids and mismatched records make
// it a no-op, single store writes that fail are dropped, and it never fails, so
// every instance applying the same actions to the same state agrees.
#include "actions/viewer_action.h"
#include "docstore/document.h"

namespace pdf_actions {

void apply_action(docstore::Transaction& txn, const PdfViewerAction& action);

}  // namespace pdf_actions
