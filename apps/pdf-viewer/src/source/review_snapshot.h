#pragma once
// The review lists a save carries to the worker: private copies made on the UI
// thread when the save was requested, so later edits never reach a running
// flatten. Immutable once shared.
#include <vector>

#include "actions/review_model.h"

namespace pdf::source {

struct ReviewSnapshot {
  std::vector<pdf_actions::Annotation> annotations;
  std::vector<pdf_actions::Comment> comments;
  std::vector<pdf_actions::Signature> signatures;
};

}  // namespace pdf::source
