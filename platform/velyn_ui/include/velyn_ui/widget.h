#pragma once
// The widget protocol: what the frame loop (window or headless) calls on the
// one root widget of an application, in this order each frame:
//   update(document) → layout(bounds) → draw(scene)
// and handle_event(...) for every input event in between. UI thread only.
#include <optional>
#include <string>
#include <string_view>

#include "velyn_actions/executor.h"
#include "velyn_ui/event.h"
#include "velyn_ui/geometry.h"

namespace docstore {
class Document;
}
namespace velyn_ui::record {
struct Record;
}

namespace velyn_ui {

class Scene;
class TextRenderer;
struct Theme;
class FrameServices;

// What a widget is called by hosts (logs, automation, operation routing).
struct WidgetNames {
  std::string_view type_name;       // "PdfApp"
  std::string_view key;             // "pdf_app"
  std::string_view operation_kind;  // action kind of the widget's operations
};

enum class CursorShape { Default, Text, Pointer, Grab, Grabbing, Crosshair, ResizeHorizontal };

// Everything a widget may use during one call, owned by the host.
struct FrameContext {
  TextRenderer& text;
  const Theme& theme;
  double now = 0;  // seconds on a monotonic clock
  FrameServices* services = nullptr;  // records, action host…; may be null in tests
};

class Widget {
 public:
  virtual ~Widget() = default;

  [[nodiscard]] virtual WidgetNames names() const = 0;
  [[nodiscard]] virtual std::string title() const = 0;

  // Once per frame, first: `document` is the shared document of the record the
  // widget asked for (desired_record), or a scratch document while it has none.
  virtual void update(docstore::Document& document, FrameContext& ctx) = 0;
  virtual void layout(const Rect& bounds, FrameContext& ctx) = 0;
  virtual void draw(Scene& scene, FrameContext& ctx) = 0;
  virtual Handled handle_event(const Event& event, docstore::Document& document, FrameContext& ctx) = 0;

  [[nodiscard]] virtual CursorShape cursor_at(Point) const { return CursorShape::Default; }
  // True while one of the widget's text fields has the keyboard focus. The
  // window then gives every key to the input method first, as a native text
  // entry does: what it turns into text arrives as TextCommit, and only what
  // it leaves reaches handle_event. The paste keys (Ctrl+V, Shift+Insert)
  // read the clipboard and deliver its text as a TextCommit.
  [[nodiscard]] virtual bool text_input_focused() const { return false; }
  // True once the widget, having vetoed a CloseRequest to finish its work
  // first, wants the window closed; the window then closes without asking again.
  [[nodiscard]] virtual bool close_ready() const { return false; }
  // Caret rectangle for placing the input method's candidate window.
  [[nodiscard]] virtual std::optional<Rect> ime_cursor_rect() const { return std::nullopt; }
  // The record whose shared document this widget wants to be handed.
  [[nodiscard]] virtual std::optional<record::Record> desired_record() const;
  // True while an animation or a requested redraw wants another frame soon.
  [[nodiscard]] virtual bool needs_frame() const { return false; }
  // Seconds after the frame just drawn at which the widget wants one more
  // frame although no input or wake-up comes (a retry falls due, content it
  // waits for may have arrived); none: no such wish. Asked after every frame.
  [[nodiscard]] virtual std::optional<double> frame_due_in() const { return std::nullopt; }
  // True while the widget waits for something (a document, a raster) that
  // will change what it shows; headless captures wait until this clears.
  [[nodiscard]] virtual bool busy() const { return false; }
  // Hands over, and forgets, the outcome of the last action the widget
  // dispatched; the host collects it after every call that may dispatch.
  [[nodiscard]] virtual std::optional<velyn_actions::DispatchOutcome> take_action_outcome() { return std::nullopt; }
};

}  // namespace velyn_ui
