// Engine figures for the first 50 pages of a PDF (generated when none is given):
// worker rendering against direct PDFium calls, open against a direct load, and
// text layers against pdftotext. Prints BENCH and RATIO lines.
#include <cairo-pdf.h>
#include <cairo.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "source/bounded_read.h"
#include "source/open_document.h"
#include "source/page_text.h"
#include "source/pdfium_library.h"
#include "source/source_worker.h"

using namespace pdf::source;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 50;
constexpr std::uint32_t kWidth = 1224;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void generate(const std::filesystem::path& path, int pages) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 612, 792);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 10);
  for (int p = 1; p <= pages; ++p) {
    for (int line = 0; line < 60; ++line) {
      cairo_move_to(cr, 54, 54 + line * 11.5);
      std::string text = "Page " + std::to_string(p) + " line " + std::to_string(line) +
                         ": the quick brown fox jumps over the lazy dog, again and again.";
      cairo_show_text(cr, text.c_str());
    }
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

double direct_open(const Pdfium& pdfium, const std::filesystem::path& path) {
  const PdfiumApi& api = pdfium.api();
  auto start = Clock::now();
  auto bytes = read_bounded(path, kOpenSizeLimit);
  FPDF_DOCUMENT doc = api.FPDF_LoadMemDocument64(bytes->data(), bytes->size(), nullptr);
  const int count = api.FPDF_GetPageCount(doc);
  for (int i = 0; i < count; ++i) {
    FS_SIZEF size{};
    api.FPDF_GetPageSizeByIndexF(doc, i, &size);
  }
  const double elapsed = ms_since(start);
  api.FPDF_CloseDocument(doc);
  return elapsed;
}

double direct_render(const Pdfium& pdfium, const std::filesystem::path& path, int pages) {
  const PdfiumApi& api = pdfium.api();
  auto bytes = read_bounded(path, kOpenSizeLimit);
  FPDF_DOCUMENT doc = api.FPDF_LoadMemDocument64(bytes->data(), bytes->size(), nullptr);
  auto start = Clock::now();
  for (int i = 0; i < pages; ++i) {
    FPDF_PAGE page = api.FPDF_LoadPage(doc, i);
    FS_SIZEF size{};
    api.FPDF_GetPageSizeByIndexF(doc, i, &size);
    const int height = static_cast<int>(size.height * kWidth / size.width + 0.5);
    FPDF_BITMAP bitmap = api.FPDFBitmap_Create(static_cast<int>(kWidth), height, 1);
    api.FPDFBitmap_FillRect(bitmap, 0, 0, static_cast<int>(kWidth), height, 0xFFFFFFFF);
    api.FPDF_RenderPageBitmap(bitmap, page, 0, 0, static_cast<int>(kWidth), height, 0, kFpdfRenderAnnotations);
    api.FPDFBitmap_Destroy(bitmap);
    api.FPDF_ClosePage(page);
  }
  const double elapsed = ms_since(start);
  api.FPDF_CloseDocument(doc);
  return elapsed;
}

// Renders through the process-wide worker: submit, then collect each reply.
double worker_render(const std::filesystem::path& path, int pages) {
  auto client = *SourceClient::open();
  auto wait_reply = [&] {
    for (;;) {
      auto replies = client->poll();
      if (!replies.empty()) return replies;
      std::this_thread::yield();
    }
  };
  (void)client->open_document(path);
  auto opened = wait_reply();
  const auto* reply = std::get_if<Opened>(&opened.front());
  if (reply == nullptr || !reply->opened.raster_document) {
    std::fprintf(stderr, "engine bench: the worker could not open %s with PDFium\n", path.c_str());
    std::exit(1);
  }
  const RasterDocumentId doc = *reply->opened.raster_document;
  (void)client->activate(doc);
  auto start = Clock::now();
  int received = 0;
  int next = 0;
  while (received < pages) {
    while (next < pages && next - received < 4) (void)client->render(doc, static_cast<std::uint64_t>(next++), kWidth);
    received += static_cast<int>(wait_reply().size());
  }
  return ms_since(start);
}

double our_text(const std::filesystem::path& path, int pages) {
  auto start = Clock::now();
  auto opened = open_document(path);
  std::size_t chars = 0;
  for (int i = 0; i < pages; ++i) chars += read_text_layer(*opened->worker, static_cast<std::uint64_t>(i))->boxes.size();
  const double elapsed = ms_since(start);
  if (chars == 0) std::fprintf(stderr, "engine bench: no text found in the first pages\n");
  return elapsed;
}

double pdftotext(const std::filesystem::path& path, int pages) {
  const std::string command = "pdftotext -q -f 1 -l " + std::to_string(pages) + " '" + path.string() + "' /dev/null";
  auto start = Clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return ms_since(start);
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path path;
  std::filesystem::path scratch;
  if (argc > 1) {
    path = argv[1];
  } else {
    std::string pattern = (std::filesystem::temp_directory_path() / "engine-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    scratch = pattern;
    path = scratch / "generated-500.pdf";
    generate(path, 500);
  }
  const Pdfium* pdfium = shared_pdfium();
  if (pdfium == nullptr) {
    std::fprintf(stderr, "engine bench: PDFium not found (set VELYN_PDFIUM_LIB)\n");
    return 1;
  }
  auto probe = open_document(path);
  if (!probe || !probe->worker) {
    std::fprintf(stderr, "engine bench: %s does not open with PDFium\n", path.c_str());
    return 1;
  }
  const int pages = std::min<int>(kPages, static_cast<int>(probe->worker->plan.size()));
  probe = {};

  // Warm-up so that both sides start with fonts and caches loaded.
  direct_render(*pdfium, path, 1);

  // Each figure is the best of three interleaved rounds: the machine is shared.
  double ours_open = 1e300, direct_open_ms = 1e300, ours_render = 1e300, direct_render_ms = 1e300;
  double ours_text = 1e300, peer_text = 1e300;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    auto opened = open_document(path);
    ours_open = std::min(ours_open, ms_since(start));
    opened = {};
    direct_open_ms = std::min(direct_open_ms, direct_open(*pdfium, path));
    ours_render = std::min(ours_render, worker_render(path, pages));
    direct_render_ms = std::min(direct_render_ms, direct_render(*pdfium, path, pages));
    ours_text = std::min(ours_text, our_text(path, pages));
    const double peer = pdftotext(path, pages);
    if (peer > 0) peer_text = std::min(peer_text, peer);
  }
  std::printf("BENCH open_document %.2f ms\n", ours_open);
  std::printf("BENCH direct_open %.2f ms\n", direct_open_ms);
  std::printf("RATIO open_vs_direct pdfium %.3f\n", ours_open / direct_open_ms);
  std::printf("BENCH worker_render_per_page %.2f ms\n", ours_render / pages);
  std::printf("BENCH direct_render_per_page %.2f ms\n", direct_render_ms / pages);
  std::printf("RATIO render_overhead pdfium %.3f\n", ours_render / direct_render_ms);
  std::printf("BENCH text_layer_per_page %.3f ms\n", ours_text / pages);
  if (peer_text < 1e300) {
    std::printf("BENCH pdftotext_per_page %.3f ms\n", peer_text / pages);
    std::printf("RATIO text_vs_pdftotext pdftotext %.3f\n", ours_text / peer_text);
  }
  if (!scratch.empty()) std::filesystem::remove_all(scratch);
  return 0;
}
