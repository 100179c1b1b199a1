#pragma once
// Rendering one plan page into RGBA pixels, with the worker's render cache.
// Worker thread only.
#include <cstdint>
#include <optional>

#include "source/page_image.h"
#include "source/worker_document.h"

namespace pdf::source {

inline constexpr std::uint64_t kMaxRenderPixels = 1ull << 25;  // area bound per rendered page

// The pixel width a page of `size` renders at for a requested width: the
// snapped width, capped by the area bound and 4096. Nothing when the size is
// invalid or the area bound allows fewer than 24 pixels.
std::optional<std::uint32_t> render_pixel_width(PageSize size, std::uint32_t requested_width);

// The image of plan position `page_index`, or nothing when it cannot be made.
std::optional<Image> render_page(WorkerDocument& doc, std::uint64_t page_index, std::uint32_t requested_width);

// PDFium's native BGRA rows (with stride) to tightly packed RGBA; `target`
// may be `source` when the stride is width * 4.
void bgra_to_rgba(const std::uint8_t* source, int stride, std::uint32_t width, std::uint32_t height,
                  std::uint8_t* target);

}  // namespace pdf::source
