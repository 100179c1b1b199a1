#include "source/rasterizer.h"

#include <glib.h>

#include <fmt/format.h>

#include "source/profile.h"

namespace pdf::source {
namespace {

constexpr unsigned long kTitleBufferLimit = 64 * 1024;  // bytes of UTF-16 per bookmark title / meta value

bool only_white_space(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    if (!g_unichar_isspace(g_utf8_get_char(p))) return false;
    p = g_utf8_next_char(p);
  }
  return true;
}

}  // namespace

std::string utf16le_to_utf8(const unsigned char* data, std::size_t bytes) {
  std::string out;
  out.reserve(bytes / 2);
  const std::size_t units = bytes / 2;
  auto unit = [&](std::size_t i) { return static_cast<std::uint32_t>(data[2 * i] | (data[2 * i + 1] << 8)); };
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = unit(i);
    if (c == 0) break;  // PDFium terminates its strings
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
      std::uint32_t low = unit(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        continue;
      }
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      continue;
    }
    char buffer[6];
    int len = g_unichar_to_utf8(c, buffer);
    out.append(buffer, static_cast<std::size_t>(len));
  }
  return out;
}

std::optional<Rasterizer> Rasterizer::open(const Pdfium& pdfium, std::vector<std::uint8_t> bytes,
                                           std::size_t page_limit) {
  const PdfiumApi& api = pdfium.api();
  Rasterizer r;
  r.pdfium_ = &pdfium;
  r.bytes_ = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));

  ProfileStep load("  FPDF_LoadMemDocument64 (parse from memory)");
  FPDF_DOCUMENT raw = api.FPDF_LoadMemDocument64(r.bytes_->data(), r.bytes_->size(), nullptr);
  load.finish();
  if (raw == nullptr) return std::nullopt;
  r.document_ = PdfiumDocument(raw, PdfiumDocumentCloser{&api});

  const int count = api.FPDF_GetPageCount(raw);
  if (count <= 0 || static_cast<std::size_t>(count) > page_limit) return std::nullopt;

  auto loop_start = std::chrono::steady_clock::now();
  r.page_sizes_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    FS_SIZEF size{};
    if (!api.FPDF_GetPageSizeByIndexF(raw, i, &size)) return std::nullopt;
    PageSize page{static_cast<double>(size.width), static_cast<double>(size.height)};
    if (!page_size_valid(page)) return std::nullopt;
    r.page_sizes_.push_back(page);
  }
  if (profiling_enabled()) {
    emit_profile_line(fmt::format("[pdf-profile]   page_size loop ({} pages): {:.1f}ms", count, elapsed_ms(loop_start)));
  }
  return r;
}

std::string Rasterizer::meta_text(const char* tag) const {
  const PdfiumApi& a = api();
  unsigned long needed = a.FPDF_GetMetaText(handle(), tag, nullptr, 0);
  if (needed <= 2 || needed > kTitleBufferLimit) return {};
  std::vector<unsigned char> buffer(needed);
  unsigned long got = a.FPDF_GetMetaText(handle(), tag, buffer.data(), needed);
  return utf16le_to_utf8(buffer.data(), std::min<unsigned long>(got, needed));
}

std::vector<OutlineEntry> Rasterizer::outline() const {
  const PdfiumApi& a = api();
  std::vector<OutlineEntry> entries;
  // Explicit stack instead of recursion: a hostile file may nest deeply. Cycles
  // are bounded by the visit cap.
  constexpr std::size_t kVisitLimit = 100000;
  std::size_t visits = 0;
  std::vector<FPDF_BOOKMARK> stack;
  if (FPDF_BOOKMARK first = a.FPDFBookmark_GetFirstChild(handle(), nullptr)) stack.push_back(first);
  while (!stack.empty() && entries.size() < kOutlineEntryLimit && visits < kVisitLimit) {
    FPDF_BOOKMARK mark = stack.back();
    stack.pop_back();
    ++visits;
    // Depth first: the next sibling waits below the first child.
    if (FPDF_BOOKMARK next = a.FPDFBookmark_GetNextSibling(handle(), mark)) stack.push_back(next);
    if (FPDF_BOOKMARK child = a.FPDFBookmark_GetFirstChild(handle(), mark)) stack.push_back(child);

    unsigned long needed = a.FPDFBookmark_GetTitle(mark, nullptr, 0);
    if (needed <= 2 || needed > kTitleBufferLimit) continue;
    std::vector<unsigned char> buffer(needed);
    unsigned long got = a.FPDFBookmark_GetTitle(mark, buffer.data(), needed);
    std::string title = utf16le_to_utf8(buffer.data(), std::min<unsigned long>(got, needed));
    if (title.empty() || only_white_space(title)) continue;

    std::uint64_t page = 1;
    if (FPDF_DEST dest = a.FPDFBookmark_GetDest(handle(), mark)) {
      int index = a.FPDFDest_GetDestPageIndex(handle(), dest);
      if (index >= 0) page = static_cast<std::uint64_t>(static_cast<std::uint16_t>(index)) + 1;
    }
    entries.push_back(OutlineEntry{std::move(title), page, 0});
  }
  return entries;
}

}  // namespace pdf::source
