#include "source/page_text.h"

#include <glib.h>

#include <algorithm>

namespace pdf::source {
namespace {

bool keep_code_point(std::uint32_t code) {
  return code != 0 && !(code >= 0xD800 && code <= 0xDFFF) && code <= 0x10FFFF;
}

}  // namespace

TextLayer build_text_layer(const std::vector<RawChar>& chars, double page_height) {
  TextLayer layer;
  layer.boxes.reserve(std::min(chars.size(), kPageCharLimit));
  layer.text.reserve(std::min(chars.size(), kPageCharLimit));  // ASCII-sized; longer text grows it
  std::size_t kept = 0;
  for (const RawChar& c : chars) {
    if (!keep_code_point(c.code)) continue;
    if (kept == kPageCharLimit) return {};  // too many characters: no layer at all
    ++kept;
    CharBox box;
    if (c.box) {
      const double left = c.box->left;
      const double right = c.box->right;
      const double top = c.box->top;
      const double bottom = c.box->bottom;
      box.x = left;
      box.y = page_height - top;
      box.width = std::max(right - left, 0.0);
      box.height = std::max(top - bottom, 0.0);
    }
    box.byte_offset = layer.text.size();
    box.ch = c.code;
    char utf8[6];
    int len = g_unichar_to_utf8(c.code, utf8);
    layer.text.append(utf8, static_cast<std::size_t>(len));
    layer.boxes.push_back(box);
  }
  return layer;
}

SharedTextLayer read_text_layer(WorkerDocument& doc, std::uint64_t page_index) {
  if (page_index >= doc.plan.size() || !doc.plan[page_index]) return std::make_shared<const TextLayer>();
  const PlanSlot slot = *doc.plan[page_index];
  if (slot.source >= doc.sources.size()) return std::make_shared<const TextLayer>();
  const auto key = std::make_pair(slot.source, slot.page);
  if (auto it = doc.text_cache.find(key); it != doc.text_cache.end()) return it->second;

  const Rasterizer& raster = doc.sources[slot.source].rasterizer;
  const double height = doc.source_page_size(slot.source, slot.page).value_or(kDefaultPageSize).height;
  const PdfiumApi& api = raster.api();

  SharedTextLayer layer;
  PdfiumPage page = load_pdfium_page(api, raster.handle(), static_cast<int>(slot.page));
  PdfiumTextPage text(page ? api.FPDFText_LoadPage(page.get()) : nullptr, PdfiumTextPageCloser{&api});
  if (!text) {
    layer = std::make_shared<const TextLayer>();
  } else {
    const int count = api.FPDFText_CountChars(text.get());
    std::vector<RawChar> chars;
    chars.reserve(static_cast<std::size_t>(std::clamp(count, 0, static_cast<int>(kPageCharLimit) + 1)));
    std::size_t kept = 0;
    for (int i = 0; i < count && kept <= kPageCharLimit; ++i) {
      RawChar c;
      c.code = api.FPDFText_GetUnicode(text.get(), i);
      if (!keep_code_point(c.code)) continue;
      ++kept;
      FS_RECTF rect{};
      if (api.FPDFText_GetLooseCharBox(text.get(), i, &rect)) c.box = rect;
      chars.push_back(c);
    }
    layer = std::make_shared<const TextLayer>(build_text_layer(chars, height));
  }
  doc.text_cache.emplace(key, layer);
  return layer;
}

}  // namespace pdf::source
