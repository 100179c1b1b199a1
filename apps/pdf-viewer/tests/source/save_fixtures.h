#pragma once
// Fixtures of the save and import tests: PNG and JPEG files made with libpng
// and TurboJPEG, a PNG header that declares any size, a document opened into a
// worker state, and the peer tools (qpdf, pdftotext, pdftoppm) that judge what
// we write.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "source/source_jobs.h"

namespace pdf::source::testing {

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// Solid-colour images.
std::vector<std::uint8_t> make_png(std::uint32_t width, std::uint32_t height, Rgb colour);
std::vector<std::uint8_t> make_jpeg(std::uint32_t width, std::uint32_t height, Rgb colour);
// A valid signature, IHDR and a token IDAT declaring `width` x `height`.
std::vector<std::uint8_t> png_declaring(std::uint32_t width, std::uint32_t height);
void write_bytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error
};
CommandResult run_command(const std::string& command);

// `pdftotext -layout FILE -` of one page (0: all pages).
std::string pdf_text(const std::filesystem::path& pdf, int page = 0);
// True when `qpdf --check` reports no errors (warnings allowed).
bool qpdf_check_ok(const std::filesystem::path& pdf, std::string* report = nullptr);
// Page count as qpdf sees it.
int qpdf_page_count(const std::filesystem::path& pdf);

// One page rendered by pdftoppm at 72 dpi, so one pixel is one point.
struct Raster {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  Rgb at(int x, int y) const;
};
Raster render_page(const std::filesystem::path& pdf, int page);
bool near(Rgb actual, Rgb expected, int tolerance);

// A worker state holding the PDF at `path` as raster document `kDocument` of
// client `kClient`, with a content store under `content_root`.
inline constexpr ClientId kClient = 7;
inline constexpr RasterDocumentId kDocument = 11;
std::unique_ptr<WorkerState> open_state(const std::filesystem::path& path, const std::filesystem::path& content_root);

}  // namespace pdf::source::testing
