#pragma once
// What an imported file contributes to the page plan: probing its bytes (a PDF
// of at most kImportPageLimit pages, or one image page) and building the
// one-page PDF that shows an image. Worker thread only (PDFium).
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "actions/review_schema.h"
#include "source/document.h"
#include "source/pdfium_handles.h"
#include "source/pdfium_library.h"
#include "velyn/error.h"

namespace pdf::source {

inline constexpr std::uint64_t kImportSizeLimit = 64ull * 1024 * 1024;
inline constexpr std::size_t kImportPageLimit = 512;
inline constexpr double kImagePageWidth = 612.0;
inline constexpr double kImagePageMinHeight = 72.0;
inline constexpr double kImagePageMaxHeight = 3000.0;

// The kinds of imported content, as plan entries store them.
inline constexpr std::string_view kImportKindPdf = pdf_actions::values::kContentPdf;
inline constexpr std::string_view kImportKindImage = pdf_actions::values::kContentImage;

struct ImportProbe {
  std::string kind;  // kImportKindPdf or kImportKindImage
  std::vector<PageSize> page_sizes;
};

// True when the bytes begin with "%PDF-" (everything else is tried as an image).
bool looks_like_pdf(std::span<const std::uint8_t> bytes);

// The page height for an image of the given pixel size: 612 * height / width,
// clamped to 72..3000 (sides taken as at least one pixel).
double image_page_height(std::uint64_t width_px, std::uint64_t height_px);

// Points to thousandths of a point, rounded half away from zero, saturating.
std::uint32_t points_to_milli(double points);

// Errors: "the file is not a readable PDF", "the PDF exceeds the 512-page import
// limit", "the PDF has no pages", "reading PDF page size", "the PDF has an
// unsupported page size", "decoding the image: {}".
velyn::Result<ImportProbe> probe_import(const Pdfium& pdfium, std::span<const std::uint8_t> bytes);

// A new one-page document: the image stretched over a 612-point-wide page.
// Errors: "decoding the image: {}", "creating the image page document: {}",
// "creating the image page: {}", "placing the image on the page: {}".
velyn::Result<PdfiumDocument> make_image_page_document(const Pdfium& pdfium, std::span<const std::uint8_t> bytes);

}  // namespace pdf::source
