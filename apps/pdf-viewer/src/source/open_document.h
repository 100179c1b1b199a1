#pragma once
// Turning a file path into an opened document: PDFium when available and able,
// else the text-only path. Worker thread only.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "source/document.h"
#include "source/source_protocol.h"
#include "source/worker_document.h"
#include "velyn/error.h"

namespace pdf::source {

struct OpenResult {
  OpenedDocument opened;                   // what the interface receives
  std::unique_ptr<WorkerDocument> worker;  // PDFium path only; stays in the worker
};

// File name (last component, or "Document") and stem (name without extension,
// falling back to the name, then "Document") of `path`.
std::string display_file_name(const std::filesystem::path& path);
std::string display_file_stem(const std::filesystem::path& path);

// Opens `path` with the process-wide PDFium (nullptr: text-only). Every failure
// is one text (see the read and text-only limits).
// `lookup` is called after the file was read (tests pass one returning nullptr
// to force the text-only path).
using PdfiumLookup = const Pdfium* (*)();
velyn::Result<OpenResult> open_document(const std::filesystem::path& path, PdfiumLookup lookup = &shared_pdfium);

// The text-only path on bytes already read. `title` becomes the title.
inline constexpr std::size_t kTextBudgetTotal = 16ull * 1024 * 1024;
inline constexpr std::size_t kTextBudgetPerPage = 1024 * 1024;
inline constexpr std::size_t kTextInitialCapacity = 64 * 1024;
velyn::Result<Document> open_text_only(const std::vector<std::uint8_t>& bytes, std::string title);

// A sink with a byte limit: a write that does not fit is refused whole and
// marks the sink exceeded.
class BoundedTextSink {
 public:
  BoundedTextSink(std::size_t limit, std::size_t initial_capacity);
  velyn::Result<void> write(std::string_view bytes);
  bool exceeded() const { return exceeded_; }
  const std::string& text() const { return text_; }
  std::string take() { return std::move(text_); }

 private:
  std::size_t limit_;
  std::string text_;
  bool exceeded_ = false;
};

}  // namespace pdf::source
