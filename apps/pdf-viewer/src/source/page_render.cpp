#include "source/page_render.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include <fmt/format.h>

#include "source/profile.h"

namespace pdf::source {
namespace {

constexpr int kFpdfReverseByteOrder = 0x10;   // FPDF_REVERSE_BYTE_ORDER: RGBA instead of BGRA
constexpr std::uint8_t kOpaqueWhite = 0xFF;   // every channel of an opaque white pixel

// Pixel buffers of dropped page images come back here, so that the next render
// writes into memory that is already mapped instead of faulting in fresh pages
// (about a hundred faults and a millisecond per full-width page). Images are
// dropped on any thread, hence the mutex. Holds at most kPooledPixelBytes.
class PixelBufferPool {
 public:
  using Buffer = std::vector<std::uint8_t>;

  // A buffer of `size` bytes, each `fill`.
  std::shared_ptr<Buffer> take(std::size_t size, std::uint8_t fill) {
    std::unique_ptr<Buffer> buffer;
    {
      std::lock_guard lock(mutex_);
      // The smallest that fits and is not wastefully large.
      auto best = free_.end();
      for (auto it = free_.begin(); it != free_.end(); ++it) {
        const std::size_t capacity = (*it)->capacity();
        if (capacity >= size && capacity / 2 <= size && (best == free_.end() || capacity < (*best)->capacity()))
          best = it;
      }
      if (best != free_.end()) {
        buffer = std::move(*best);
        bytes_ -= buffer->capacity();
        free_.erase(best);
      }
    }
    if (buffer) buffer->assign(size, fill);
    else buffer = std::make_unique<Buffer>(size, fill);
    return std::shared_ptr<Buffer>(buffer.release(), [this](Buffer* b) { give(b); });
  }

 private:
  void give(Buffer* raw) {
    std::unique_ptr<Buffer> buffer(raw);
    std::lock_guard lock(mutex_);
    if (bytes_ + buffer->capacity() > kPooledPixelBytes) return;  // freed here
    bytes_ += buffer->capacity();
    free_.push_back(std::move(buffer));
  }

  static constexpr std::uint64_t kPooledPixelBytes = 32ull * 1024 * 1024;  // four full-width pages
  std::mutex mutex_;
  std::vector<std::unique_ptr<Buffer>> free_;
  std::uint64_t bytes_ = 0;
};

// Never destroyed: images may be dropped during exit, after static destructors.
PixelBufferPool& pixel_buffers() {
  static auto* pool = new PixelBufferPool;
  return *pool;
}

}  // namespace

std::optional<std::uint32_t> render_pixel_width(PageSize size, std::uint32_t requested_width) {
  if (!page_size_valid(size)) return std::nullopt;
  const double max_w = std::floor(std::sqrt(static_cast<double>(kMaxRenderPixels) * size.width / size.height));
  if (max_w < kWidthStep) return std::nullopt;
  double width = std::min<double>({static_cast<double>(snap_width(requested_width)), max_w,
                                   static_cast<double>(kMaxRenderWidth)});
  return static_cast<std::uint32_t>(width);
}

void bgra_to_rgba(const std::uint8_t* source, int stride, std::uint32_t width, std::uint32_t height,
                  std::uint8_t* target) {
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = source + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    std::uint8_t* out = target + static_cast<std::size_t>(y) * width * 4;
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t b = row[0], g = row[1], r = row[2], a = row[3];  // may alias out
      out[0] = r;
      out[1] = g;
      out[2] = b;
      out[3] = a;
      row += 4;
      out += 4;
    }
  }
}

std::optional<Image> render_page(WorkerDocument& doc, std::uint64_t page_index, std::uint32_t requested_width) {
  if (page_index >= doc.plan.size() || !doc.plan[page_index]) return std::nullopt;
  const PlanSlot slot = *doc.plan[page_index];
  if (slot.source >= doc.sources.size()) return std::nullopt;
  const Rasterizer& raster = doc.sources[slot.source].rasterizer;
  std::optional<PageSize> size = doc.source_page_size(slot.source, slot.page);
  if (!size) return std::nullopt;
  std::optional<std::uint32_t> pixel_width = render_pixel_width(*size, requested_width);
  if (!pixel_width) return std::nullopt;

  const RenderCache::Key key{slot.source, slot.page, *pixel_width};
  if (auto cached = doc.render_cache.find(key)) return cached;

  const PdfiumApi& api = raster.api();
  const auto started = std::chrono::steady_clock::now();
  PdfiumPage page = load_pdfium_page(api, raster.handle(), static_cast<int>(slot.page));
  if (!page) return std::nullopt;

  const int width = static_cast<int>(*pixel_width);
  const int height = static_cast<int>(std::lround(size->height * width / size->width));
  if (width < 1 || height < 1) return std::nullopt;
  // PDFium renders straight into the image's own buffer, in RGBA order (the
  // reverse of its native BGRA), onto the opaque white page the buffer starts
  // as: one pass over the pixels before rendering, none after.
  auto rgba = pixel_buffers().take(static_cast<std::size_t>(width) * height * 4, kOpaqueWhite);
  PdfiumBitmap bitmap(api.FPDFBitmap_CreateEx(width, height, kFpdfBitmapBgra, rgba->data(), width * 4),
                      PdfiumBitmapCloser{&api});
  if (!bitmap) return std::nullopt;
  api.FPDF_RenderPageBitmap(bitmap.get(), page.get(), 0, 0, width, height, 0,
                            kFpdfRenderAnnotations | kFpdfReverseByteOrder);
  if (profiling_enabled()) {
    emit_profile_line(fmt::format("[pdf-profile]   render page {} @ {}px: {:.1f}ms", page_index + 1, width,
                                  elapsed_ms(started)));
  }
  if (api.FPDFBitmap_GetBuffer(bitmap.get()) != rgba->data() || api.FPDFBitmap_GetWidth(bitmap.get()) != width ||
      api.FPDFBitmap_GetHeight(bitmap.get()) != height || api.FPDFBitmap_GetStride(bitmap.get()) != width * 4) {
    return std::nullopt;
  }
  bitmap.reset();

  Image image{*pixel_width, static_cast<std::uint32_t>(height), std::move(rgba)};
  if (image.rgba->size() != image.byte_size()) return std::nullopt;
  doc.render_cache.insert(key, image);
  return image;
}

}  // namespace pdf::source
