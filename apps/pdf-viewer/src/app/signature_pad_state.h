#pragma once
// The signature being prepared: typed or drawn, kept for the viewer's life
// and stored only when placed. UI thread only.
#include <cstdint>
#include <optional>
#include <vector>

#include "actions/viewer_action.h"
#include "velyn_ui/geometry.h"

namespace pdf_app {

enum class SignatureMode : std::uint8_t { Type = 0, Draw = 1 };

struct SignaturePadState {
  SignatureMode mode = SignatureMode::Type;
  std::string signer;
  std::vector<pdf_actions::Stroke> strokes;  // points normalised to 0–1 inside the pad
  std::optional<pdf_actions::Stroke> current;
  velyn_ui::Rect box;       // the pad box of the last frame (zero when not drawn)
  velyn_ui::Rect pad_rect;  // its drawing area in Draw mode
  velyn_ui::Rect clear_rect;
};

}  // namespace pdf_app
