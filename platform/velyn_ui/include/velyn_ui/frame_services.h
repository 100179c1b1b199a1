#pragma once
// What the host offers a widget during a frame beyond drawing: the record set
// (to learn which record a document belongs to).
#include "velyn_ui/record/record_set.h"

namespace velyn_ui {

class FrameServices {
 public:
  virtual ~FrameServices() = default;
  [[nodiscard]] virtual const record::RecordSet& records() const = 0;
};

}  // namespace velyn_ui
