#pragma once
// What the host offers a widget during a frame beyond drawing: the record set
// (to learn which record a document belongs to) and the action host (to
// dispatch the actions its input makes).
#include "velyn_ui/action_host.h"
#include "velyn_ui/records/record_set.h"

namespace velyn_ui {

class FrameServices {
 public:
  virtual ~FrameServices() = default;
  [[nodiscard]] virtual const record::RecordSet& records() const = 0;
  // Null when the host dispatches nothing (tests that only draw).
  [[nodiscard]] virtual action_host::ActionHost* actions() { return nullptr; }
};

}  // namespace velyn_ui
