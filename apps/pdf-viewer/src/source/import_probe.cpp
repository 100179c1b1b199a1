#include "source/import_probe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "source/image_decode.h"
#include "source/pdf_writer.h"

namespace pdf::source {

bool looks_like_pdf(std::span<const std::uint8_t> bytes) {
  static constexpr char kMagic[] = "%PDF-";
  return bytes.size() >= 5 && std::memcmp(bytes.data(), kMagic, 5) == 0;
}

double image_page_height(std::uint64_t width_px, std::uint64_t height_px) {
  const double w = static_cast<double>(std::max<std::uint64_t>(width_px, 1));
  const double h = static_cast<double>(std::max<std::uint64_t>(height_px, 1));
  return std::clamp(kImagePageWidth * h / w, kImagePageMinHeight, kImagePageMaxHeight);
}

std::uint32_t points_to_milli(double points) {
  const double milli = std::round(points * 1000.0);  // std::round: halves away from zero
  if (!(milli > 0)) return 0;
  if (milli >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(milli);
}

namespace {

velyn::Result<ImportProbe> probe_pdf(const Pdfium& pdfium, std::span<const std::uint8_t> bytes) {
  const PdfiumApi& api = pdfium.api();
  // PDFium reads the buffer only while the document is open, which ends here.
  PdfiumDocument doc(api.FPDF_LoadMemDocument64(bytes.data(), bytes.size(), nullptr), PdfiumDocumentCloser{&api});
  if (!doc) return velyn::fail("the file is not a readable PDF");
  const int count = api.FPDF_GetPageCount(doc.get());
  if (count > static_cast<int>(kImportPageLimit)) {
    return velyn::fail("the PDF exceeds the " + std::to_string(kImportPageLimit) + "-page import limit");
  }
  if (count <= 0) return velyn::fail("the PDF has no pages");
  ImportProbe probe{std::string(kImportKindPdf), {}};
  probe.page_sizes.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    FS_SIZEF size{};
    if (api.FPDF_GetPageSizeByIndexF(doc.get(), i, &size) == 0) return velyn::fail("reading PDF page size");
    const PageSize page{static_cast<double>(size.width), static_cast<double>(size.height)};
    if (!page_size_valid(page)) return velyn::fail("the PDF has an unsupported page size");
    probe.page_sizes.push_back(page);
  }
  return probe;
}

}  // namespace

velyn::Result<ImportProbe> probe_import(const Pdfium& pdfium, std::span<const std::uint8_t> bytes) {
  if (looks_like_pdf(bytes)) return probe_pdf(pdfium, bytes);
  // Only the header is needed for the size, but a full decode proves the file
  // is an image the page can show.
  auto image = decode_image(bytes);
  if (!image) return std::unexpected(image.error().prefixed("decoding the image"));
  return ImportProbe{std::string(kImportKindImage), {PageSize{kImagePageWidth, image_page_height(image->width, image->height)}}};
}

velyn::Result<PdfiumDocument> make_image_page_document(const Pdfium& pdfium, std::span<const std::uint8_t> bytes) {
  const PdfiumApi& api = pdfium.api();
  auto image = decode_image(bytes);
  if (!image) return std::unexpected(image.error().prefixed("decoding the image"));
  const double height = image_page_height(image->width, image->height);

  PdfiumDocument doc(api.FPDF_CreateNewDocument(), PdfiumDocumentCloser{&api});
  if (!doc) return velyn::fail("creating the image page document: " + pdfium_error_text(api));
  PdfiumPage page(api.FPDFPage_New(doc.get(), 0, kImagePageWidth, height), PdfiumPageCloser{&api});
  if (!page) return velyn::fail("creating the image page: " + pdfium_error_text(api));

  auto place = [&]() -> velyn::Result<void> {
    const int w = static_cast<int>(image->width);
    const int h = static_cast<int>(image->height);
    PdfiumBitmap bitmap(api.FPDFBitmap_Create(w, h, 1), PdfiumBitmapCloser{&api});
    if (!bitmap) return velyn::fail("the image bitmap could not be allocated");
    auto* dst = static_cast<std::uint8_t*>(api.FPDFBitmap_GetBuffer(bitmap.get()));
    const int stride = api.FPDFBitmap_GetStride(bitmap.get());
    if (dst == nullptr || stride < w * 4) return velyn::fail("the image bitmap could not be allocated");
    // RGBA rows to PDFium's BGRA.
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* src = image->rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 4;
      std::uint8_t* row = dst + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
      for (int x = 0; x < w; ++x, src += 4, row += 4) {
        row[0] = src[2];
        row[1] = src[1];
        row[2] = src[0];
        row[3] = src[3];
      }
    }
    FPDF_PAGEOBJECT object = api.FPDFPageObj_NewImageObj(doc.get());
    if (object == nullptr) return velyn::fail(pdfium_error_text(api));
    FPDF_PAGE pages[] = {page.get()};
    if (api.FPDFImageObj_SetBitmap(pages, 1, object, bitmap.get()) == 0 ||
        api.FPDFImageObj_SetMatrix(object, kImagePageWidth, 0, 0, height, 0, 0) == 0) {
      api.FPDFPageObj_Destroy(object);
      return velyn::fail(pdfium_error_text(api));
    }
    api.FPDFPage_InsertObject(page.get(), object);  // the page owns it from here
    return {};
  };
  if (auto placed = place(); !placed) return std::unexpected(placed.error().prefixed("placing the image on the page"));
  if (api.FPDFPage_GenerateContent(page.get()) == 0) {
    return velyn::fail("placing the image on the page: " + pdfium_error_text(api));
  }
  page.reset();
  return doc;
}

}  // namespace pdf::source
