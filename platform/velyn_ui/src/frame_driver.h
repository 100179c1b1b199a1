#pragma once
// The frame cycle shared by the window and the headless harness:
//   update(document) → layout(bounds) → draw(scene)
// plus event dispatch, persisting local changes to the room after every widget
// call that may have changed a document, and merging other processes' changes.
//
// The document handed to the widget is the one of its desired record (created
// in the record set on first request) or, while it wants none or the record
// cannot be opened, the scratch document. Actions the widget dispatches go
// through the driver's action host, whose transport appends each change to the
// room at once; the outcome is collected after the call.
#include <memory>

#include "docstore/document.h"
#include "velyn_actions/registry.h"
#include "velyn_ui/action_host.h"
#include "velyn_ui/event.h"
#include "velyn_ui/frame_services.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/records/record_set.h"
#include "velyn_ui/state.h"
#include "velyn_ui/theme.h"
#include "velyn_ui/widget.h"

typedef struct _cairo cairo_t;

namespace velyn_ui {

class FrameDriver final : public FrameServices {
 public:
  FrameDriver(state::State state, std::unique_ptr<Widget> widget, Theme theme);

  void attach_records(record::RecordSet records, docstore::Document scratch);
  // The registry the widget's actions are decoded with (none: every dispatch fails).
  void attach_registry(std::shared_ptr<const velyn_actions::ActionRegistry> registry);

  // One frame into `cr`, whose user space is logical pixels of `size`.
  void frame(cairo_t* cr, Size size, int device_scale);
  Handled dispatch(const Event& event);
  [[nodiscard]] bool wants_frames() const;
  // Merges changes other processes appended; true when any document changed.
  bool poll_records();

  Widget& widget() { return *widget_; }
  const Widget& widget() const { return *widget_; }
  state::State& state() { return state_; }
  const Theme& theme() const { return theme_; }
  [[nodiscard]] const record::RecordSet& records() const override { return records_; }
  [[nodiscard]] action_host::ActionHost* actions() override { return &actions_; }

 private:
  docstore::Document& current_document();
  FrameContext context();
  void persist();
  void collect_outcome();
  action_host::ActionHost make_host(std::shared_ptr<const velyn_actions::ActionRegistry> registry);

  state::State state_;
  std::unique_ptr<Widget> widget_;
  Theme theme_;
  record::RecordSet records_ = record::RecordSet::in_memory();
  docstore::Document scratch_;
  action_host::ActionHost actions_;
  Rect last_bounds_;
  bool logged_record_error_ = false;
};

}  // namespace velyn_ui
