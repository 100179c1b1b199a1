// Engine figures for the first 50 pages of a PDF (generated when none is given):
// worker rendering against direct PDFium calls, open against a direct load, and
// text layers against pdftotext. Prints BENCH and RATIO lines.
#include <cairo-pdf.h>
#include <cairo.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>
#include <thread>

#include "source/bounded_read.h"
#include "source/open_document.h"
#include "source/page_render.h"
#include "source/page_text.h"
#include "source/pdfium_library.h"
#include "source/source_worker.h"

using namespace pdf::source;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 50;
constexpr std::uint32_t kWidth = 1224;
constexpr int kRounds = 5;

// Minor page faults of the whole process so far: fresh pixel memory costs one
// per 4 KiB touched, which is most of what separates a render path from another.
long minor_faults() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// CPU time of every thread of the process: unlike wall time it hardly moves
// when other work shares the machine, so it is the steadier render figure.
double process_cpu_ms() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Timing {
  double wall = 1e300;
  double cpu = 1e300;
  void keep_best(const Timing& t) {
    wall = std::min(wall, t.wall);
    cpu = std::min(cpu, t.cpu);
  }
};

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

// A page whose colours tell the channels apart: red text, a blue box, a green
// to yellow gradient and a small RGB image, over white.
void generate_colours(const std::filesystem::path& path) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 612, 792);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0.9, 0.1, 0.2);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 24);
  cairo_move_to(cr, 54, 80);
  cairo_show_text(cr, "Red text over white");
  cairo_set_source_rgba(cr, 0.1, 0.2, 0.9, 0.7);
  cairo_rectangle(cr, 54, 120, 200, 100);
  cairo_fill(cr);
  cairo_pattern_t* gradient = cairo_pattern_create_linear(300, 0, 560, 0);
  cairo_pattern_add_color_stop_rgb(gradient, 0, 0.1, 0.8, 0.2);
  cairo_pattern_add_color_stop_rgb(gradient, 1, 0.9, 0.9, 0.1);
  cairo_set_source(cr, gradient);
  cairo_rectangle(cr, 300, 120, 260, 100);
  cairo_fill(cr);
  cairo_pattern_destroy(gradient);
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 16, 16);
  auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(image));
  const int stride = cairo_image_surface_get_stride(image) / 4;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) data[y * stride + x] = (static_cast<std::uint32_t>(x * 16) << 16) | (y * 16u << 8) | 0x40u;
  cairo_surface_mark_dirty(image);
  cairo_scale(cr, 10, 10);
  cairo_set_source_surface(cr, image, 5.4, 26);
  cairo_paint(cr);
  cairo_surface_destroy(image);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

// The worker's pixels must be PDFium's own BGRA render with the channels
// reordered; a benchmark of wrong pixels would measure nothing.
bool same_pixels_as_direct(const Pdfium& pdfium, const std::filesystem::path& path) {
  auto opened = open_document(path);
  if (!opened || !opened->worker) return false;
  auto ours = render_page(*opened->worker, 0, kWidth);
  if (!ours) return false;
  const PdfiumApi& api = pdfium.api();
  auto bytes = read_bounded(path, kOpenSizeLimit);
  FPDF_DOCUMENT doc = api.FPDF_LoadMemDocument64(bytes->data(), bytes->size(), nullptr);
  FPDF_PAGE page = api.FPDF_LoadPage(doc, 0);
  const int width = static_cast<int>(ours->width), height = static_cast<int>(ours->height);
  FPDF_BITMAP bitmap = api.FPDFBitmap_Create(width, height, 1);
  api.FPDFBitmap_FillRect(bitmap, 0, 0, width, height, 0xFFFFFFFF);
  api.FPDF_RenderPageBitmap(bitmap, page, 0, 0, width, height, 0, kFpdfRenderAnnotations);
  std::vector<std::uint8_t> expected(static_cast<std::size_t>(width) * height * 4);
  bgra_to_rgba(static_cast<const std::uint8_t*>(api.FPDFBitmap_GetBuffer(bitmap)), api.FPDFBitmap_GetStride(bitmap),
               ours->width, ours->height, expected.data());
  api.FPDFBitmap_Destroy(bitmap);
  api.FPDF_ClosePage(page);
  api.FPDF_CloseDocument(doc);
  return expected == *ours->rgba;
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

Timing direct_render(const Pdfium& pdfium, const std::filesystem::path& path, int pages) {
  const PdfiumApi& api = pdfium.api();
  auto bytes = read_bounded(path, kOpenSizeLimit);
  FPDF_DOCUMENT doc = api.FPDF_LoadMemDocument64(bytes->data(), bytes->size(), nullptr);
  const double cpu = process_cpu_ms();
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
  const Timing elapsed{ms_since(start), process_cpu_ms() - cpu};
  api.FPDF_CloseDocument(doc);
  return elapsed;
}

// Renders through the process-wide worker: submit, then collect each reply.
// The collector naps between polls like the viewer's idle frame loop: spinning
// would take a core from the worker on a shared two-core machine. Four renders
// stay queued, so a nap never leaves the worker idle.
Timing worker_render(const std::filesystem::path& path, int pages) {
  auto client = *SourceClient::open();
  auto wait_reply = [&] {
    for (;;) {
      auto replies = client->poll();
      if (!replies.empty()) return replies;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
  const double cpu = process_cpu_ms();
  auto start = Clock::now();
  int received = 0;
  int next = 0;
  while (received < pages) {
    while (next < pages && next - received < 4) (void)client->render(doc, static_cast<std::uint64_t>(next++), kWidth);
    received += static_cast<int>(wait_reply().size());
  }
  return Timing{ms_since(start), process_cpu_ms() - cpu};
}

// The worker's render step alone, called in this thread: render_overhead less
// the hand-off between threads.
Timing our_render_step(const std::filesystem::path& path, int pages) {
  auto opened = open_document(path);
  const double cpu = process_cpu_ms();
  auto start = Clock::now();
  for (int i = 0; i < pages; ++i) {
    if (!render_page(*opened->worker, static_cast<std::uint64_t>(i), kWidth)) std::exit(1);
  }
  return Timing{ms_since(start), process_cpu_ms() - cpu};
}

// CPU time of finished child processes (pdftotext).
double children_cpu_ms() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

Timing our_text(const std::filesystem::path& path, int pages) {
  const double cpu = process_cpu_ms();
  auto start = Clock::now();
  auto opened = open_document(path);
  std::size_t chars = 0;
  for (int i = 0; i < pages; ++i) chars += read_text_layer(*opened->worker, static_cast<std::uint64_t>(i))->boxes.size();
  const Timing elapsed{ms_since(start), process_cpu_ms() - cpu};
  if (chars == 0) std::fprintf(stderr, "engine bench: no text found in the first pages\n");
  return elapsed;
}

// Wall time includes starting the process (the shell's too); CPU time is the
// children's, so the shell's share is small but counted.
std::optional<Timing> pdftotext(const std::filesystem::path& path, int pages) {
  const std::string command = "pdftotext -q -f 1 -l " + std::to_string(pages) + " '" + path.string() + "' /dev/null";
  const double cpu = children_cpu_ms();
  auto start = Clock::now();
  if (std::system(command.c_str()) != 0) return std::nullopt;
  return Timing{ms_since(start), children_cpu_ms() - cpu};
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
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "engine-check-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const std::filesystem::path check_dir = pattern;
    generate_colours(check_dir / "colours.pdf");
    const bool same = same_pixels_as_direct(*pdfium, check_dir / "colours.pdf");
    std::filesystem::remove_all(check_dir);
    if (!same) {
      std::fprintf(stderr, "engine bench: the worker's pixels differ from PDFium's own render\n");
      return 1;
    }
  }

  // Warm-up so that both sides start with fonts and caches loaded.
  direct_render(*pdfium, path, 1);

  // Each figure is the best of five interleaved rounds: the machine is shared.
  double ours_open = 1e300, direct_open_ms = 1e300;
  Timing ours_render, ours_step, direct, ours_text, peer_text;
  long ours_faults = std::numeric_limits<long>::max(), direct_faults = std::numeric_limits<long>::max();
  for (int round = 0; round < kRounds; ++round) {
    auto start = Clock::now();
    auto opened = open_document(path);
    ours_open = std::min(ours_open, ms_since(start));
    opened = {};
    direct_open_ms = std::min(direct_open_ms, direct_open(*pdfium, path));
    long faults = minor_faults();
    ours_render.keep_best(worker_render(path, pages));
    ours_faults = std::min(ours_faults, minor_faults() - faults);
    ours_step.keep_best(our_render_step(path, pages));
    faults = minor_faults();
    direct.keep_best(direct_render(*pdfium, path, pages));
    direct_faults = std::min(direct_faults, minor_faults() - faults);
    ours_text.keep_best(our_text(path, pages));
    if (const auto peer = pdftotext(path, pages)) peer_text.keep_best(*peer);
  }
  std::printf("BENCH open_document %.2f ms\n", ours_open);
  std::printf("BENCH direct_open %.2f ms\n", direct_open_ms);
  std::printf("RATIO open_vs_direct pdfium %.3f\n", ours_open / direct_open_ms);
  std::printf("BENCH worker_render_per_page %.2f ms\n", ours_render.wall / pages);
  std::printf("BENCH direct_render_per_page %.2f ms\n", direct.wall / pages);
  std::printf("RATIO render_overhead pdfium %.3f\n", ours_render.wall / direct.wall);
  std::printf("BENCH worker_render_cpu_per_page %.2f ms\n", ours_render.cpu / pages);
  std::printf("BENCH direct_render_cpu_per_page %.2f ms\n", direct.cpu / pages);
  std::printf("RATIO render_overhead_cpu pdfium %.3f\n", ours_render.cpu / direct.cpu);
  std::printf("BENCH render_step_per_page %.2f ms\n", ours_step.wall / pages);
  std::printf("RATIO render_step_cpu pdfium %.3f\n", ours_step.cpu / direct.cpu);
  std::printf("BENCH worker_render_faults_per_page %.0f faults\n", static_cast<double>(ours_faults) / pages);
  std::printf("BENCH direct_render_faults_per_page %.0f faults\n", static_cast<double>(direct_faults) / pages);
  std::printf("BENCH text_layer_per_page %.3f ms\n", ours_text.wall / pages);
  std::printf("BENCH text_layer_cpu_per_page %.3f ms\n", ours_text.cpu / pages);
  if (peer_text.wall < 1e300) {
    std::printf("BENCH pdftotext_per_page %.3f ms\n", peer_text.wall / pages);
    std::printf("BENCH pdftotext_cpu_per_page %.3f ms\n", peer_text.cpu / pages);
    std::printf("RATIO text_vs_pdftotext pdftotext %.3f\n", ours_text.wall / peer_text.wall);
    std::printf("RATIO text_vs_pdftotext_cpu pdftotext %.3f\n", ours_text.cpu / peer_text.cpu);
  }
  if (!scratch.empty()) std::filesystem::remove_all(scratch);
  return 0;
}
