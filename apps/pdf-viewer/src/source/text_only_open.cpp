// The text-only open: poppler-cpp parses the PDF and extracts each page's text
// when PDFium is absent or refused the file.
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <climits>
#include <memory>
#include <mutex>

#include <fmt/format.h>

#include "source/open_document.h"
#include "source/rasterizer.h"
#include "velyn/utf8.h"

namespace pdf::source {
namespace {

// poppler reports parse errors through a process-wide callback; the last one
// becomes the cause of "pdf text extraction failed: {}". Only the worker
// thread opens documents, so one slot suffices.
thread_local std::string last_poppler_error;

void record_poppler_error(const std::string& message, void*) { last_poppler_error = message; }

void install_poppler_error_sink() {
  static std::once_flag once;
  std::call_once(once, [] { poppler::set_debug_error_function(&record_poppler_error, nullptr); });
}

}  // namespace

BoundedTextSink::BoundedTextSink(std::size_t limit, std::size_t initial_capacity) : limit_(limit) {
  text_.reserve(initial_capacity);
}

velyn::Result<void> BoundedTextSink::write(std::string_view bytes) {
  if (bytes.size() > limit_ - text_.size()) {
    exceeded_ = true;
    return velyn::fail("bounded PDF text output exceeded");
  }
  text_.append(bytes);
  return {};
}

velyn::Result<Document> open_text_only(const std::vector<std::uint8_t>& bytes, std::string title) {
  install_poppler_error_sink();
  last_poppler_error.clear();
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return velyn::fail("pdf text extraction failed: file too large");
  try {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
    if (!doc) {
      std::string cause = last_poppler_error.empty() ? "not a PDF document" : last_poppler_error;
      return velyn::fail(fmt::format("pdf text extraction failed: {}", cause));
    }
    // A document that needs a password comes back locked; touching its pages
    // would crash, so encryption is refused before anything else.
    if (doc->is_encrypted() || doc->is_locked()) return velyn::fail("encrypted PDFs require the native PDF backend");
    const int pages = doc->pages();
    if (pages > static_cast<int>(kOpenPageLimit)) {
      return velyn::fail(fmt::format("the PDF has more than the {}-page open limit", kOpenPageLimit));
    }
    if (pages <= 0) return velyn::fail("the PDF has no pages");

    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(pages));
    std::size_t total = 0;
    for (int i = 0; i < pages; ++i) {
      if (total >= kTextBudgetTotal) return velyn::fail("PDF text exceeds the bounded extraction limit");
      const std::size_t remaining = kTextBudgetTotal - total;
      BoundedTextSink sink(std::min(remaining, kTextBudgetPerPage), std::min(remaining, kTextInitialCapacity));
      velyn::Result<void> extracted;
      std::unique_ptr<poppler::page> page(doc->create_page(i));
      if (!page) {
        extracted = velyn::fail(last_poppler_error.empty() ? fmt::format("page {} cannot be read", i + 1)
                                                           : last_poppler_error);
      } else {
        poppler::byte_array utf8 = page->text(page->page_rect(), poppler::page::physical_layout).to_utf8();
        extracted = sink.write(std::string_view(utf8.data(), utf8.size()));
      }
      if (sink.exceeded()) return velyn::fail("PDF text exceeds the bounded extraction limit");
      if (!extracted) return velyn::fail(fmt::format("pdf text extraction failed: {}", extracted.error().message));
      std::string text = sink.take();
      // GLib and Pango, which lay this text out, stop at a NUL: text holding
      // one is refused like malformed text.
      if (text.find('\0') != std::string::npos || !velyn::is_valid_utf8(text)) {
        return velyn::fail("pdf text extraction returned invalid UTF-8");
      }
      total += text.size();
      texts.push_back(std::move(text));
    }
    return Document::from_text_pages(std::move(title), std::string(), texts);
  } catch (const std::exception& e) {
    return velyn::fail(fmt::format("pdf text extraction failed: {}", e.what()));
  } catch (...) {
    return velyn::fail("pdf text extraction failed: unknown error");
  }
}

}  // namespace pdf::source
