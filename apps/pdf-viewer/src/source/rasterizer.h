#pragma once
// The worker-side PDFium document of an opened (or imported) PDF with the size
// of each of its pages. Worker thread only.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "source/document.h"
#include "source/pdfium_handles.h"
#include "source/pdfium_library.h"

namespace pdf::source {

inline constexpr std::size_t kOpenPageLimit = 2048;
inline constexpr std::size_t kOutlineEntryLimit = 200;

class Rasterizer {
 public:
  // Loads `bytes` (no password) and reads every page size. Nothing when PDFium
  // cannot load it, it has 0 or more than `page_limit` pages, or any page size
  // cannot be read or is not valid. PDFium's own errors are discarded.
  static std::optional<Rasterizer> open(const Pdfium& pdfium, std::vector<std::uint8_t> bytes,
                                        std::size_t page_limit = kOpenPageLimit);

  const Pdfium& pdfium() const { return *pdfium_; }
  const PdfiumApi& api() const { return pdfium_->api(); }
  FPDF_DOCUMENT handle() const { return document_.get(); }
  const std::vector<PageSize>& page_sizes() const { return page_sizes_; }
  std::size_t page_count() const { return page_sizes_.size(); }

  // Information entry `tag` ("Title", "Author", ...): empty when absent.
  std::string meta_text(const char* tag) const;
  // The bookmark tree flattened depth first, level 0, at most 200 entries.
  std::vector<OutlineEntry> outline() const;

 private:
  Rasterizer() = default;
  const Pdfium* pdfium_ = nullptr;
  // PDFium reads from the buffer for as long as the document is open, so the
  // bytes live in a stable heap block owned here and are declared first
  // (destroyed last).
  std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
  PdfiumDocument document_;
  std::vector<PageSize> page_sizes_;
};

// UTF-16LE (as PDFium returns strings) to UTF-8; unpaired surrogates dropped.
std::string utf16le_to_utf8(const unsigned char* data, std::size_t bytes);

}  // namespace pdf::source
