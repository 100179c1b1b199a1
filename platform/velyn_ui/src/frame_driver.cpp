#include "frame_driver.h"

#include <cairo.h>

#include "velyn/try.h"
#include "velyn_ui/log.h"
#include "velyn_ui/scene.h"

namespace velyn_ui {

FrameDriver::FrameDriver(state::State state, std::unique_ptr<Widget> widget, Theme theme)
    : state_(std::move(state)), widget_(std::move(widget)), theme_(std::move(theme)), actions_(make_host(nullptr)) {}

action_host::ActionHost FrameDriver::make_host(std::shared_ptr<const velyn_actions::ActionRegistry> registry) {
  // The driver owns the host and outlives it, and never moves (it is held by
  // address), so the sink may keep `this`.
  return action_host::ActionHost(std::move(registry),
                                 [this](const docstore::Document& document, const docstore::Change&) -> velyn::Result<void> {
                                   // The scratch document belongs to no record: its
                                   // changes stay in this process, by design.
                                   if (&document == &scratch_) return {};
                                   VELYN_TRY_VOID(records_.persist_local_changes(document));
                                   return {};
                                 });
}

void FrameDriver::attach_registry(std::shared_ptr<const velyn_actions::ActionRegistry> registry) {
  actions_ = make_host(std::move(registry));
}

void FrameDriver::collect_outcome() {
  if (auto outcome = widget_->take_action_outcome()) {
    log::debug("action {} ({}): {} heads after", outcome->context.label, outcome->kind, outcome->heads_after.size());
  }
}

void FrameDriver::attach_records(record::RecordSet records, docstore::Document scratch) {
  records_ = std::move(records);
  scratch_ = std::move(scratch);
}

FrameContext FrameDriver::context() { return FrameContext{state_.text(), theme_, state_.now(), this}; }

docstore::Document& FrameDriver::current_document() {
  const auto desired = widget_->desired_record();
  if (!desired) return scratch_;
  auto doc = records_.document_for(*desired);
  if (!doc) {
    if (!logged_record_error_) log::warning("cannot open record {}: {}", desired->id.to_string(), doc.error().message);
    logged_record_error_ = true;
    return scratch_;
  }
  logged_record_error_ = false;
  return doc->get();
}

void FrameDriver::persist() {
  if (auto written = records_.persist_local_changes(); !written) {
    log::warning("cannot store changes in the room: {}", written.error().message);
  }
}

void FrameDriver::frame(cairo_t* cr, Size size, int device_scale) {
  (void)device_scale;
  FrameContext ctx = context();
  widget_->update(current_document(), ctx);
  persist();
  collect_outcome();
  const Rect bounds{0, 0, size.width, size.height};
  widget_->layout(bounds, ctx);
  last_bounds_ = bounds;
  Scene scene(cr);
  widget_->draw(scene, ctx);
  while (scene.depth() > 0) scene.pop();  // a widget that forgot a pop() must not leak state
}

Handled FrameDriver::dispatch(const Event& event) {
  if (const auto* move = std::get_if<PointerMove>(&event)) state_.pointer = move->at;
  if (std::holds_alternative<PointerLeave>(event)) state_.pointer.reset();
  FrameContext ctx = context();
  const Handled handled = widget_->handle_event(event, current_document(), ctx);
  persist();
  collect_outcome();
  return handled;
}

bool FrameDriver::wants_frames() const { return widget_->needs_frame() || widget_->busy(); }

bool FrameDriver::poll_records() {
  auto changed = records_.poll();
  if (!changed) {
    log::warning("cannot read the room: {}", changed.error().message);
    return false;
  }
  return *changed;
}

}  // namespace velyn_ui
