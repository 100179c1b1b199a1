#include "app/block_text.h"

#include <glib.h>

#include <memory>

#include "app/ui/page_canvas.h"
#include "velyn_ui/text_renderer.h"

namespace pdf_app {

namespace source = pdf::source;

source::SharedTextLayer block_text_layer(const std::vector<source::Block>& blocks, double page_width,
                                         velyn_ui::TextRenderer& text, const velyn_ui::Theme& theme) {
  const double saved_scale = text.text_scale();
  text.set_text_scale(1.0);
  auto layer = std::make_shared<source::TextLayer>();
  for (const auto& placed : place_blocks(blocks, page_width, text, theme)) {
    if (placed.size <= 0 || placed.block->text.empty()) continue;
    const std::string& s = placed.block->text;
    if (!layer->text.empty()) {
      // Blocks are paragraphs: a break between them, as a PDF's text has.
      layer->boxes.push_back({0, 0, 0, 0, layer->text.size(), '\n'});
      layer->text.push_back('\n');
    }
    const auto boxes = text.char_boxes(s, placed.size, placed.weight, placed.width);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      const std::size_t begin = boxes[i].byte;
      const std::size_t end = i + 1 < boxes.size() ? boxes[i + 1].byte : s.size();
      if (begin >= end || end > s.size()) continue;
      const gunichar ch = g_utf8_get_char_validated(s.data() + begin, static_cast<gssize>(end - begin));
      if (ch == static_cast<gunichar>(-1) || ch == static_cast<gunichar>(-2)) continue;
      const auto& b = boxes[i].box;
      layer->boxes.push_back({placed.x + b.x0, placed.y + b.y0, b.width(), b.height(), layer->text.size(),
                              static_cast<std::uint32_t>(ch)});
      layer->text.append(s, begin, end - begin);
    }
  }
  text.set_text_scale(saved_scale);
  return layer;
}

}  // namespace pdf_app
