#pragma once
// A segmented control: equal segments side by side, one selected. Stateless
// painting; the caller keeps the selection and hit-tests the returned rects.
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "velyn_ui/geometry.h"
#include "velyn_ui/text_renderer.h"

namespace velyn_ui {
class Scene;
struct Theme;
}  // namespace velyn_ui

namespace velyn_ui::widget {

struct ToggleStyle {
  double label_size = 11.5;
  int weight = kWeightSemibold;
  // Inset of the selected segment's pill inside the track.
  double inset = 3;
};

struct ToggleGroup {
  // Paints a track over `rect` with one segment per label; `selected` is
  // filled with the surface colour and a border, the others show their label in
  // secondary text; `hovered` segments get the hover tint. Returns each
  // segment's rect, in label order.
  static std::vector<Rect> paint(Scene& scene, TextRenderer& renderer, const Theme& theme, const Rect& rect,
                                 std::span<const std::string_view> labels, std::size_t selected,
                                 std::optional<Point> pointer = std::nullopt, const ToggleStyle& style = {});
  // The segment rects `paint` uses, without painting.
  static std::vector<Rect> segments(const Rect& rect, std::size_t count);
  static std::optional<std::size_t> hit(std::span<const Rect> segments, Point p);
};

}  // namespace velyn_ui::widget
