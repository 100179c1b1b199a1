#pragma once
// Writing a PDFium document out through FPDF_SaveAsCopy: to a new file (created
// with the process umask, like any ordinary new file) or into memory. Also the
// text of PDFium's last error for step messages. Worker thread only.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "source/pdfium_api.h"
#include "velyn/error.h"

namespace pdf::source {

// PDFium's last error as words; "PDFium refused the operation" when it kept none
// (editing calls report failure without an error code).
std::string pdfium_error_text(const PdfiumApi& api);

// Creates or truncates `path` (mode 0666 before the umask) and writes the whole
// document. The error is the cause alone (the system's or PDFium's text).
velyn::Result<void> save_document_to_file(const PdfiumApi& api, FPDF_DOCUMENT document,
                                          const std::filesystem::path& path);

// The whole document as bytes.
velyn::Result<std::vector<std::uint8_t>> save_document_to_memory(const PdfiumApi& api, FPDF_DOCUMENT document);

}  // namespace pdf::source
