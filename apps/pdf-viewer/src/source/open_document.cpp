#include "source/open_document.h"

#include <glib.h>

#include "source/bounded_read.h"
#include "source/profile.h"
#include "velyn/try.h"
#include "velyn/utf8.h"

namespace pdf::source {
namespace {

bool blank(const std::string& text) {
  const char* p = text.c_str();
  while (*p != '\0') {
    if (!g_unichar_isspace(g_utf8_get_char(p))) return false;
    p = g_utf8_next_char(p);
  }
  return true;
}

}  // namespace

std::string display_file_name(const std::filesystem::path& path) {
  std::string name = path.filename().string();
  if (name.empty() || name == "." || name == ".." || !velyn::is_valid_utf8(name)) return "Document";
  return name;
}

std::string display_file_stem(const std::filesystem::path& path) {
  std::string stem = path.stem().string();
  if (!stem.empty() && path.has_extension() && velyn::is_valid_utf8(stem)) return stem;
  return display_file_name(path);
}

velyn::Result<OpenResult> open_document(const std::filesystem::path& path, PdfiumLookup lookup) {
  ProfileStep read_step("fs::read");
  auto bytes = read_bounded(path, kOpenSizeLimit);
  read_step.finish();
  if (!bytes) return std::unexpected(bytes.error());
  const std::string file_name = display_file_name(path);
  const std::string stem = display_file_stem(path);

  // Timed from the lookup, so the first open includes library discovery.
  ProfileStep parse_step("Rasterizer::open (pdfium parse + page sizes)");
  const Pdfium* pdfium = lookup();
  std::optional<Rasterizer> raster;
  if (pdfium != nullptr) {
    raster = Rasterizer::open(*pdfium, std::move(*bytes));
  } else {
    bytes->clear();
    bytes->shrink_to_fit();
  }
  parse_step.finish();

  if (raster) {
    auto worker = std::make_unique<WorkerDocument>(std::move(*raster));
    const Rasterizer& source = worker->sources.front().rasterizer;

    ProfileStep meta_step("metadata");
    std::string title = source.meta_text("Title");
    std::string author = source.meta_text("Author");
    std::string subject = source.meta_text("Subject");
    meta_step.finish();
    if (title.empty() || blank(title)) title = stem;

    std::vector<PageSize> sizes = worker->plan_page_sizes();
    const PageSize first = sizes.empty() ? kDefaultPageSize : sizes.front();

    ProfileStep blank_step("Document::blank_pages");
    Document doc = Document::blank_pages(std::move(title), std::move(author), worker->plan.size(), first.width,
                                         first.height);
    doc.subject = std::move(subject);
    blank_step.finish();

    ProfileStep outline_step("outline (bookmarks)");
    doc.outline = source.outline();
    outline_step.finish();

    OpenResult result;
    result.opened.document = std::move(doc);
    result.opened.file_name = file_name;
    result.opened.page_sizes = std::move(sizes);
    result.worker = std::move(worker);
    return result;
  }

  // Text-only: the bytes went to PDFium (or were dropped), so read them again.
  const auto again = VELYN_TRY(read_bounded(path, kOpenSizeLimit));
  OpenResult result;
  result.opened.document = VELYN_TRY(open_text_only(again, stem));
  result.opened.file_name = file_name;
  return result;
}

}  // namespace pdf::source
