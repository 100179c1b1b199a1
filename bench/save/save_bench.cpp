// Save benchmark: a generated 1000-page PDF carrying 5,000 highlights, 500
// notes with comments and 50 signatures is flattened and published through the
// worker's save jobs, and compared with `qpdf --empty --pages FILE -- OUT` on
// the same file in the same run (best of several runs each).
#include <cairo-pdf.h>
#include <cairo.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "source/open_document.h"
#include "source/review_snapshot.h"
#include "source/source_jobs.h"

namespace {

using namespace pdf::source;
using pdf_actions::AnnoGeom;

constexpr int kRuns = 3;

void write_document(const std::filesystem::path& path, int pages) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 612, 792);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 11);
  for (int p = 1; p <= pages; ++p) {
    for (int line = 0; line < 40; ++line) {
      cairo_move_to(cr, 72, 72 + line * 16);
      const std::string text = "Page " + std::to_string(p) + " line " + std::to_string(line) +
                               ": the quick brown fox jumps over the lazy dog";
      cairo_show_text(cr, text.c_str());
    }
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

ReviewSnapshot make_review(int pages) {
  ReviewSnapshot review;
  auto page_of = [&](int i) { return static_cast<std::uint64_t>(i % pages + 1); };
  for (int i = 0; i < 5000; ++i) {
    review.annotations.push_back({"h" + std::to_string(i), page_of(i), static_cast<pdf_actions::Swatch>(i % 5), "You",
                                  AnnoGeom::Highlight{72, 72.0 + (i % 40) * 16, 300, 14}});
  }
  for (int i = 0; i < 500; ++i) {
    const std::string id = "n" + std::to_string(i);
    review.annotations.push_back({id, page_of(i * 2), pdf_actions::Swatch::Yellow, "You", AnnoGeom::Note{500, 100}});
    pdf_actions::Comment c;
    c.id = "c" + std::to_string(i);
    c.anno = id;
    c.body = "Review note number " + std::to_string(i) + " about this paragraph";
    review.comments.push_back(std::move(c));
  }
  for (int i = 0; i < 50; ++i) {
    pdf_actions::Signature s{"s" + std::to_string(i), page_of(i * 20), 350, 650, 200, 60, "Ada Lovelace", "2024-05-01",
                             std::nullopt};
    if (i % 2 == 1) {
      std::vector<pdf_actions::Point> stroke;
      for (int k = 0; k <= 40; ++k) stroke.push_back({k / 40.0, 0.5 + 0.4 * ((k % 4) - 1.5) / 1.5});
      s.strokes = std::vector<pdf_actions::Stroke>{stroke};
    }
    review.signatures.push_back(std::move(s));
  }
  return review;
}

double ms_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (shared_pdfium() == nullptr) {
    std::fprintf(stderr, "PDFium not found: set VELYN_PDFIUM_LIB to libpdfium.so\n");
    return 1;
  }
  char pattern[] = "/tmp/save-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path dir = pattern;
  const std::filesystem::path source = dir / "source.pdf";
  write_document(source, pages);

  auto opened = open_document(source);
  if (!opened || !opened->worker) {
    std::fprintf(stderr, "could not open the generated document\n");
    return 1;
  }
  WorkerState state;
  state.content_root = dir / "blobs";
  state.documents[1][1] = std::move(opened->worker);
  auto review = std::make_shared<const ReviewSnapshot>(make_review(pages));

  double ours = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    SaveRequest request{review, dir / "ours.pdf", static_cast<std::uint64_t>(run + 1), 1};
    const auto start = std::chrono::steady_clock::now();
    SourceReply prepared = run_prepare_save(state, 1, PrepareSave{request});
    if (!std::holds_alternative<SavePrepared>(prepared)) {
      std::fprintf(stderr, "save failed: %s\n", std::get<SaveFailed>(prepared).message.c_str());
      return 1;
    }
    SourceReply committed = run_commit_save(state, 1, CommitSave{request, std::get<SavePrepared>(prepared).private_file});
    if (!std::holds_alternative<SaveCommitted>(committed)) return 1;
    ours = std::min(ours, ms_since(start));
  }

  double peer = 1e300;
  const std::string command = "qpdf --empty --pages '" + source.string() + "' -- '" + (dir / "peer.pdf").string() + "'";
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "qpdf failed\n");
      return 1;
    }
    peer = std::min(peer, ms_since(start));
  }

  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("BENCH save_%d_pages_ms %.1f ms\n", pages, ours);
  std::printf("BENCH qpdf_copy_%d_pages_ms %.1f ms\n", pages, peer);
  std::printf("BENCH save_output_bytes %ju bytes\n", static_cast<std::uintmax_t>(std::filesystem::file_size(dir / "ours.pdf")));
  std::printf("BENCH save_peak_rss_mib %.1f MiB\n", usage.ru_maxrss / 1024.0);
  std::printf("RATIO save_vs_qpdf_copy qpdf %.2f\n", ours / peer);
  std::filesystem::remove_all(dir);
  return 0;
}
