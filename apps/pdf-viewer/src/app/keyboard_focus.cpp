#include "app/keyboard_focus.h"

#include <fmt/format.h>

#include <algorithm>

#include "app/pdf_app.h"
#include "app/ui/toolbar.h"
#include "velyn_ui/scene.h"
#include "velyn_ui/theme.h"

namespace pdf_app {

namespace {
constexpr double kRingWidth = 2;
constexpr double kRingGap = 2;  // between a control and its ring
}  // namespace

std::vector<FocusTarget> focus_order(const PdfApp& app) {
  std::vector<FocusTarget> out;
  const ToolbarLayout bar = compute_toolbar_layout(app.regions.toolbar, app.scale, app.tool);
  out.push_back({"toolbar.thumbnails", bar.thumbnails});
  out.push_back({"toolbar.open", bar.open});
  out.push_back({"toolbar.save", bar.save});
  for (std::size_t i = 0; i < bar.tools.size(); ++i) out.push_back({fmt::format("toolbar.tool.{}", i), bar.tools[i].second});
  for (std::size_t i = 0; i < bar.swatches.size(); ++i) {
    out.push_back({fmt::format("toolbar.swatch.{}", i), bar.swatches[i].second});
  }
  out.push_back({"toolbar.zoom-out", bar.zoom_out});
  out.push_back({"toolbar.zoom-in", bar.zoom_in});
  out.push_back({"toolbar.fit", bar.fit});
  out.push_back({"toolbar.find", bar.find});
  out.push_back({"toolbar.sidebar", bar.sidebar});
  if (app.panels.search_open) {
    out.push_back({"search.field", app.search.field_rect});
    for (const auto& chip : app.search.chips) out.push_back({fmt::format("search.chip.{}", chip.id), chip.rect});
  }
  if (app.panels.sidebar_open) {
    // The sidebar's areas as it drew them, in drawing order (tabs first).
    for (std::size_t i = 0; i < app.sidebar.hits.size(); ++i) {
      const auto& hit = app.sidebar.hits[i];
      if (!hit.rect.has_area() || !app.regions.sidebar.contains(hit.rect.center())) continue;
      out.push_back({fmt::format("sidebar.{}.{}.{}", static_cast<int>(hit.kind), hit.number, hit.id), hit.rect});
    }
  }
  std::erase_if(out, [](const FocusTarget& t) { return !t.rect.has_area(); });
  return out;
}

std::optional<FocusTarget> focused_control(const PdfApp& app) {
  if (!app.keyboard_focus) return std::nullopt;
  for (auto& target : focus_order(app)) {
    if (target.name == *app.keyboard_focus) return target;
  }
  return std::nullopt;
}

void move_keyboard_focus(PdfApp& app, int direction) {
  const auto order = focus_order(app);
  if (order.empty()) return;
  std::size_t next = direction > 0 ? 0 : order.size() - 1;
  // Typing in the search field (clicked, or opened by Ctrl+F) is being there.
  const std::optional<std::string> current =
      app.panels.search_open && app.search.field.focused() ? std::optional<std::string>("search.field") : app.keyboard_focus;
  if (current) {
    const auto it = std::ranges::find_if(order, [&](const FocusTarget& t) { return t.name == *current; });
    if (it != order.end()) {
      const auto at = static_cast<std::size_t>(it - order.begin());
      next = (at + order.size() + static_cast<std::size_t>(direction > 0 ? 1 : order.size() - 1)) % order.size();
    }
  }
  app.keyboard_focus = order[next].name;
  // A text field in the ring takes the keyboard; leaving it gives it back.
  app.search.field.set_focused(order[next].name == "search.field");
  app.redraw_requested = true;
}

void draw_focus_ring(velyn_ui::Scene& scene, const velyn_ui::Theme& theme, const PdfApp& app) {
  const auto target = focused_control(app);
  if (!target) return;
  const velyn_ui::Rect ring = target->rect.inset(-kRingGap);
  scene.stroke_rounded_rect(ring, std::min(theme.radius + kRingGap, std::min(ring.width(), ring.height()) / 2),
                            kRingWidth, theme.colors.accent);
}

}  // namespace pdf_app
