#pragma once
// Owned PDFium handles: each closes with its matching PDFium function. They
// never leave source/ and never leave the worker thread.
#include <memory>

#include "source/pdfium_api.h"

namespace pdf::source {

struct PdfiumDocumentCloser {
  const PdfiumApi* api = nullptr;
  void operator()(fpdf_document_t__* doc) const { api->FPDF_CloseDocument(doc); }
};
struct PdfiumPageCloser {
  const PdfiumApi* api = nullptr;
  void operator()(fpdf_page_t__* page) const { api->FPDF_ClosePage(page); }
};
struct PdfiumTextPageCloser {
  const PdfiumApi* api = nullptr;
  void operator()(fpdf_textpage_t__* text) const { api->FPDFText_ClosePage(text); }
};
struct PdfiumBitmapCloser {
  const PdfiumApi* api = nullptr;
  void operator()(fpdf_bitmap_t__* bitmap) const { api->FPDFBitmap_Destroy(bitmap); }
};

using PdfiumDocument = std::unique_ptr<fpdf_document_t__, PdfiumDocumentCloser>;
using PdfiumPage = std::unique_ptr<fpdf_page_t__, PdfiumPageCloser>;
using PdfiumTextPage = std::unique_ptr<fpdf_textpage_t__, PdfiumTextPageCloser>;
using PdfiumBitmap = std::unique_ptr<fpdf_bitmap_t__, PdfiumBitmapCloser>;

inline PdfiumPage load_pdfium_page(const PdfiumApi& api, FPDF_DOCUMENT doc, int index) {
  return PdfiumPage(api.FPDF_LoadPage(doc, index), PdfiumPageCloser{&api});
}

}  // namespace pdf::source
