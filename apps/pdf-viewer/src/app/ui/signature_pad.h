#pragma once
// The signature pad at the top of the Signatures tab: typed or drawn
// signatures, stroke capture and placing on a page. UI thread only.
#include <string>

#include "app/signature_pad_state.h"
#include "velyn_ui/geometry.h"
#include "velyn_ui/widget.h"

namespace docstore {
class Document;
}
namespace velyn_ui {
class Scene;
}

namespace pdf_app {

struct PdfApp;

inline constexpr double kPadTop = 74;  // below the list top: label, switch, gap
inline constexpr double kPadDrawHeight = 96;
inline constexpr double kPadTypeHeight = 58;
inline constexpr double kStrokeMinStep = 0.004;  // normalised |du| + |dv|

// Whether placing has something to place.
bool has_signature_content(const SignaturePadState& pad);
// Point normalised into the pad box (inset 10), clamped to 0–1.
pdf_actions::Point normalise_in_pad(const velyn_ui::Rect& box, velyn_ui::Point p);

// Stroke capture: a press inside the pad rect in Draw mode starts a stroke.
bool pad_press(PdfApp& app, velyn_ui::Point at);
bool pad_move(PdfApp& app, velyn_ui::Point at);
bool pad_release(PdfApp& app);
void set_signature_mode(PdfApp& app, SignatureMode mode);
void clear_strokes(PdfApp& app);

// Places the prepared signature centred on (x, y) of `page`.
void place_signature(PdfApp& app, docstore::Document& document, velyn_ui::FrameContext& ctx, std::uint64_t page,
                     double x, double y);

// The label of the place button for the current state.
std::string_view place_button_label(const PdfApp& app);

// Draws the pad below list top `y`; returns the top of the signature rows.
double draw_signature_pad(PdfApp& app, velyn_ui::Scene& scene, velyn_ui::FrameContext& ctx, double y);

}  // namespace pdf_app
